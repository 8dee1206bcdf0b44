// Starting the program with the desktop session, hidden in the notification area: the user's
// own XDG autostart entry, $XDG_CONFIG_HOME/autostart/velkan.desktop, or on Windows the value
// "Velkan" of the user's Run key.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace velkan::platform {

// The desktop will start the program with the next session: the user's entry exists, names a
// program, and neither the user nor the desktop's start-up settings have switched it off.
bool autostartEnabled();

// Writes the entry, which starts this very executable with "/Start", or removes it. The entry
// is replaced atomically, so a session starting meanwhile sees the old or the new one. False
// when it could not be written or removed.
bool setAutostart(bool on);

// The entry's text for `program`; nullopt for a path that the desktops' launchers cannot start
// from an Exec line (relative, or with control characters, '=' or '%'). On Windows the Run
// value's command line; nullopt for a relative path or one with control characters or '"'.
std::optional<std::string> autostartEntry(const std::filesystem::path& program);

} // namespace velkan::platform
