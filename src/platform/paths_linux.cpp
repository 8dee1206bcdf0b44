#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velkan::platform {

namespace {

// A relative value in these variables is invalid by the base-directory convention and is
// ignored, as is an empty one.
std::optional<std::filesystem::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    std::filesystem::path path(value);
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    return path;
}

// $HOME, else the account's home from the user database; the current folder as a last resort.
std::filesystem::path homeFolder() {
    if (auto home = absoluteFromEnvironment("HOME")) {
        return *home;
    }
    passwd entry{};
    passwd* found = nullptr;
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    std::error_code error;
    return std::filesystem::current_path(error);
}

// Others may see into the folder but never create, replace or remove anything in it.
bool isPrivateFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

std::filesystem::path programFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.has_parent_path()) {
        return executable.parent_path();
    }
    return std::filesystem::current_path(error);
}

std::optional<std::filesystem::path> userDataRoot() {
    if (auto folder = absoluteFromEnvironment("XDG_DATA_HOME")) {
        return folder;
    }
    return homeFolder() / ".local" / "share";
}

std::filesystem::path userConfigFolder() {
    if (auto folder = absoluteFromEnvironment("XDG_CONFIG_HOME")) {
        return *folder;
    }
    return homeFolder() / ".config";
}

std::optional<std::filesystem::path> userRuntimeFolder() {
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    if (value != nullptr && value[0] == '/' && isPrivateFolder(value)) {
        return std::filesystem::path(value);
    }
    const std::filesystem::path fallback = "/tmp/velkan-" + std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    // Someone else may have created the name first, as a folder or as a symlink.
    if (!isPrivateFolder(fallback)) {
        return std::nullopt;
    }
    return fallback;
}

} // namespace velkan::platform
