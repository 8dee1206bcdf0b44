#include "platform/paths.h"
#include "platform/support_windows.h"

#include <shlobj.h>
#include <string>

namespace velkan::platform {

namespace {

std::optional<std::filesystem::path> roamingAppData() {
    PWSTR folder = nullptr;
    const HRESULT result =
        ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &folder);
    std::optional<std::filesystem::path> path;
    if (SUCCEEDED(result) && folder != nullptr) {
        path = std::filesystem::path(folder);
    }
    ::CoTaskMemFree(folder);
    return path;
}

} // namespace

std::filesystem::path programFolder() {
    const std::filesystem::path executable = runningExecutable();
    if (executable.has_parent_path()) {
        return executable.parent_path();
    }
    std::error_code error;
    return std::filesystem::current_path(error);
}

std::optional<std::filesystem::path> userDataFolder(std::string_view subfolder) {
    const std::filesystem::path sub(widen(subfolder));
    // Appending a rooted path would replace the base instead of extending it.
    if (sub.has_root_path()) {
        return std::nullopt;
    }
    auto folder = roamingAppData();
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

std::filesystem::path userConfigFolder() {
    return roamingAppData().value_or(std::filesystem::path());
}

} // namespace velkan::platform
