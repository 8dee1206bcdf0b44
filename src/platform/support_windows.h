// What the Windows backends share: UTF-8 and UTF-16 conversions, an owned handle, the
// current user's identity, and named mutexes that exclude holders in this process as well.
// Included by *_windows.cpp files only.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <windows.h>

namespace velkan::platform {

// Ill-formed input becomes U+FFFD, as everywhere else in the program.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    void reset(HANDLE handle = nullptr) {
        if (valid()) {
            ::CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

// The faces keep a backend's handle in a std::intptr_t, which a file descriptor fits as well.
inline HANDLE handleOf(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}
inline std::intptr_t valueOf(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// The full path of the running executable; empty when the OS cannot tell it.
std::filesystem::path runningExecutable();

// The current user's security identifier in its text form ("S-1-5-21-..."); nullopt when the
// process token cannot be read.
std::optional<std::wstring> currentUserSid();

// The user behind a process, in the same form; nullopt for a process this user may not query.
std::optional<std::wstring> processUserSid(DWORD processId);

enum class MutexWait { acquired, heldElsewhere, failed };

// Takes the named mutex `name` into `handle`, waiting up to `timeout` (negative: without
// limit). A mutex its holder left by ending without letting go counts as taken. Every call is
// a holder of its own: a second taker in this process waits like one in another process, which
// a mutex on its own would let in at once when on the same thread.
MutexWait acquireNamedMutex(const std::wstring& name, std::chrono::milliseconds timeout,
                            UniqueHandle& handle);
// Lets go of a mutex that acquireNamedMutex took. The OS ties the mutex to the thread that
// took it: let go of it on that thread, or it stays taken until that thread ends.
void releaseNamedMutex(UniqueHandle& handle);

} // namespace velkan::platform
