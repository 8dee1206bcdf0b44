// The few process-environment steps tests take, on POSIX systems and on Windows alike.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace velkan::test {

// Sets `name` to `value`, or removes it for nullopt.
inline void setEnvironment(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // An empty value removes the variable, which is what nullopt means here as well.
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
#endif
}

inline int currentProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// A new, empty folder "<prefix>-XXXXXX" inside `parent`; nullopt when none could be made.
inline std::optional<std::filesystem::path> makeTemporaryFolder(const std::filesystem::path& parent,
                                                                const std::string& prefix) {
    std::random_device seed;
    std::mt19937 random(seed());
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix + "-";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[random() % (sizeof kLetters - 1)];
        }
        std::error_code error;
        // create_directory reports false for a folder that was there already.
        if (std::filesystem::create_directory(parent / name, error)) {
            return parent / name;
        }
        if (error) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace velkan::test
