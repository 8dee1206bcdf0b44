// One keyboard, several programs of the user: the desktop program, velkanctl, and the threads of
// each take this lock around every whole command sequence, so that their chunked transfers never
// interleave on the wire. It is advisory: it holds back only those who ask for it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkan::platform {

class KeyboardLock {
public:
    // The lock of the keyboard behind `interfacePath` (its command collection); not taken yet.
    explicit KeyboardLock(std::string_view interfacePath);
    ~KeyboardLock(); // releases when held
    KeyboardLock(const KeyboardLock&) = delete;
    KeyboardLock& operator=(const KeyboardLock&) = delete;

    static constexpr std::chrono::milliseconds kWaitForever{-1};

    // Waits up to `timeout` (kWaitForever, or any negative time: without limit) for the lock.
    // False when another holder, in this process or in another, kept it the whole time. Every
    // object is a holder of its own, so two in one process exclude each other as well.
    //
    // When no lock file can be had (no usable runtime folder, a name that cannot be created)
    // there is nothing to share with anyone: the answer is true without holding anything, as a
    // missing lock file must not keep the user from the keyboard.
    [[nodiscard]] bool acquire(std::chrono::milliseconds timeout);
    void release();
    // Whether this object holds the lock now; false after an acquire() that went ahead without
    // a lock file.
    bool held() const;

private:
    static constexpr std::intptr_t kNoHandle = -1;
    std::string name_;
    // The backend's lock object: a file descriptor or an OS handle.
    std::intptr_t handle_ = kNoHandle;
    bool held_ = false;
};

// The name every process of the user derives for the lock of `interfacePath`: a plain file
// name whatever the path holds, "velkan-keyboard-" and the path's start with anything but
// letters, digits, '-', '_' and '.' made '_', then a hash of the whole path.
std::string keyboardLockName(std::string_view interfacePath);

} // namespace velkan::platform
