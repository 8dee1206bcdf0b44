#include "platform/paths.h"

#include <string>
#include <system_error>

namespace velkan::platform {

std::optional<std::filesystem::path> userDataFolder(std::string_view subfolder) {
    // The name is UTF-8 on every system.
    const std::filesystem::path sub(std::u8string(subfolder.begin(), subfolder.end()));
    // Appending a rooted path would replace the base instead of extending it.
    if (sub.has_root_path()) {
        return std::nullopt;
    }
    auto folder = userDataRoot();
    if (!folder) {
        return std::nullopt;
    }
    if (!sub.empty()) {
        *folder /= sub;
    }
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    if (error || !std::filesystem::is_directory(*folder, error)) {
        return std::nullopt;
    }
    return folder;
}

} // namespace velkan::platform
