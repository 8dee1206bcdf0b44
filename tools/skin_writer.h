// Writes the default skin into a folder: every picture of the layout table and every window's
// INI file, UTF-16LE with a byte-order mark like the desktop's own INI files.
#pragma once

#include <filesystem>

namespace velkan::skingen {

// Creates the folder when missing and replaces the skin's files in it; other files stay.
// False, after saying on stderr what failed, when a file cannot be written.
bool writeSkin(const std::filesystem::path& folder);

} // namespace velkan::skingen
