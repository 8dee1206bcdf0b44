#include "platform/keyboard_lock.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace velkan::platform {
namespace {

using Clock = std::chrono::steady_clock;

// flock() cannot wait with a time-out; a waiter with one tries again this often.
constexpr auto kRetryPause = std::chrono::milliseconds(5);
int openLockFile(const std::string& fileName) {
    const auto folder = userRuntimeFolder();
    if (!folder) {
        return -1;
    }
    // The file stays when the lock is let go: removing it would race with a process that has
    // just opened it and would then lock a file nobody else sees.
    return ::open((*folder / fileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

enum class Attempt { locked, heldElsewhere, failed };

Attempt lockFile(int fd, bool wait) {
    int result = 0;
    do {
        result = ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        return Attempt::locked;
    }
    return errno == EWOULDBLOCK ? Attempt::heldElsewhere : Attempt::failed;
}

} // namespace

KeyboardLock::KeyboardLock(std::string_view interfacePath)
    : name_(keyboardLockName(interfacePath) + ".lock") {}

KeyboardLock::~KeyboardLock() {
    // Closing the descriptor lets the lock go with it.
    if (handle_ != kNoHandle) {
        ::close(static_cast<int>(handle_));
    }
}

bool KeyboardLock::acquire(std::chrono::milliseconds timeout) {
    if (held_) {
        return true;
    }
    if (handle_ == kNoHandle) {
        const int fd = openLockFile(name_);
        if (fd < 0) {
            return true;
        }
        handle_ = fd;
    }
    const bool forever = timeout < std::chrono::milliseconds::zero();
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        switch (lockFile(static_cast<int>(handle_), forever)) {
        case Attempt::locked:
            held_ = true;
            return true;
        case Attempt::failed:
            // Out of kernel lock records or the like: nobody can be told apart, so go ahead.
            return true;
        case Attempt::heldElsewhere:
            break;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kRetryPause, deadline - now));
    }
}

void KeyboardLock::release() {
    if (held_) {
        ::flock(static_cast<int>(handle_), LOCK_UN);
        held_ = false;
    }
}

bool KeyboardLock::held() const {
    return held_;
}

} // namespace velkan::platform
