#include "platform/paths.h"
#include "platform/support_windows.h"

#include <shlobj.h>
#include <string>

namespace velkan::platform {

std::optional<std::filesystem::path> userDataRoot() {
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

std::filesystem::path programFolder() {
    const std::filesystem::path executable = runningExecutable();
    if (executable.has_parent_path()) {
        return executable.parent_path();
    }
    std::error_code error;
    return std::filesystem::current_path(error);
}

std::filesystem::path userConfigFolder() {
    return userDataRoot().value_or(std::filesystem::path());
}

} // namespace velkan::platform
