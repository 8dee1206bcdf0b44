#include "platform/atomic_file.h"
#include "platform/autostart.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/process.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <system_error>

namespace velkan::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kGroup = "Desktop Entry";
// Characters that make an Exec argument need double quotes.
constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

fs::path entryFile() {
    return userConfigFolder() / "autostart" / "velkan.desktop";
}

// One Exec argument. Two layers of escaping apply: the Exec quoting (a backslash before
// " ` $ and \) and then the string escapes of every desktop-entry value, which double each
// backslash again.
std::string execArgument(std::string_view argument) {
    std::string escaped;
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\\') {
            escaped += "\\\\\\\\";
        } else {
            escaped += c;
        }
    }
    if (argument.find_first_of(kReservedInExec) == std::string_view::npos) {
        return escaped;
    }
    return '"' + escaped + '"';
}

bool isControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

} // namespace

std::optional<std::string> autostartEntry(const fs::path& program) {
    const std::string& path = program.native();
    // A relative name would be looked up in the session's PATH, which may find another
    // program. The format forbids '=' in the program's path; a '%' would have to be written
    // "%%", which GLib's launchers look for on disk as it stands and never find; and no escape
    // of a control character survives every launcher.
    if (!program.is_absolute() || path.find_first_of("=%") != std::string::npos ||
        std::any_of(path.begin(), path.end(), isControlCharacter)) {
        return std::nullopt;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velkan\n"
           "Comment=Keyboard configuration, waiting in the notification area\n"
           "Exec=" +
           execArgument(path) +
           " /Start\n"
           "Icon=velkan\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool autostartEnabled() {
    const IniDocument entry = IniDocument::readFile(entryFile());
    const auto exec = entry.value(kGroup, "Exec");
    // Hidden means deleted by the user; the other key is GNOME's own on/off switch.
    return exec && !exec->empty() && entry.value(kGroup, "Hidden") != "true" &&
           entry.value(kGroup, "X-GNOME-Autostart-enabled") != "false";
}

bool setAutostart(bool on) {
    const fs::path file = entryFile();
    std::error_code error;
    if (!on) {
        fs::remove(file, error);
        return !error;
    }
    const std::string name = executableFileName();
    if (name.empty()) {
        return false;
    }
    const auto text = autostartEntry(programFolder() / name);
    fs::create_directories(file.parent_path(), error);
    if (!text || error) {
        return false;
    }
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(text->data()), text->size());
    return writeFileAtomically(file, bytes);
}

} // namespace velkan::platform
