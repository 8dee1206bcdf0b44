// Starting other programs and finding running ones: the companion process, the updater, the
// desktop's handler for documents and web addresses, an on-screen keyboard, and the search for
// a running instance of this program by its executable's file name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan::platform {

// This program's executable file name, without its folder ("velkan", "velkan.exe").
std::string executableFileName();

// The file name of the program `name` as this system spells it: "name", or "name.exe" on
// Windows.
std::string executableFile(std::string_view name);

// The ids of the running processes of the current user whose executable's file name equals
// `fileName`, compared case-insensitively; lowest first, empty when there is none. With
// `excludeSelf` the calling process is never among them.
std::vector<int> findProcessesByExecutableName(std::string_view fileName, bool excludeSelf);

// Starts `program` with `arguments`, detached: no terminal, standard streams on /dev/null, its
// own session, never waited for and never left behind as a zombie. False when the program is
// missing, not executable, or could not be started. `hidden` asks Windows to start it with its
// window hidden (the companion process); Linux programs have no window from their starter.
bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   bool hidden = false);

// Opens a file or a web address with the desktop's default handler. False when no handler
// could be started.
bool openWithDesktop(std::string_view documentOrAddress);

// `name` found in the folders of PATH as an executable file.
std::optional<std::filesystem::path> findExecutableInPath(std::string_view name);

// Starts the first installed on-screen keyboard unless one is running already (Windows: the
// system's own, with the file-system redirection of a 32-bit process on 64-bit Windows off
// meanwhile, which would hide it). False when none is installed or it could not be started.
bool startOnScreenKeyboard();

} // namespace velkan::platform
