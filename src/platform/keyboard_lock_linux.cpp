#include "platform/keyboard_lock.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace velkan::platform {
namespace {

using Clock = std::chrono::steady_clock;

// flock() cannot wait with a time-out; a waiter with one tries again this often.
constexpr auto kRetryPause = std::chrono::milliseconds(5);
// Enough of the path to tell the file apart by eye; the hash keeps long paths distinct.
constexpr std::size_t kReadablePathBytes = 80;

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3;
    }
    return hash;
}

// A plain file name whatever the path holds, the same in every process: the path's start with
// anything but letters, digits, '-', '_' and '.' made '_', then a hash of the whole path.
std::string lockFileName(std::string_view interfacePath) {
    std::string name = "velkan-keyboard-";
    for (const char c : interfacePath.substr(0, kReadablePathBytes)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    char hash[24];
    std::snprintf(hash, sizeof hash, "-%016llx.lock",
                  static_cast<unsigned long long>(fnv1a(interfacePath)));
    return name + hash;
}

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
    : fileName_(lockFileName(interfacePath)) {}

KeyboardLock::~KeyboardLock() {
    // Closing the descriptor lets the lock go with it.
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool KeyboardLock::acquire(std::chrono::milliseconds timeout) {
    if (held_) {
        return true;
    }
    if (fd_ < 0) {
        fd_ = openLockFile(fileName_);
        if (fd_ < 0) {
            return true;
        }
    }
    const bool forever = timeout < std::chrono::milliseconds::zero();
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        switch (lockFile(fd_, forever)) {
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
        ::flock(fd_, LOCK_UN);
        held_ = false;
    }
}

bool KeyboardLock::held() const {
    return held_;
}

} // namespace velkan::platform
