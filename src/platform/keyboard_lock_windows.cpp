#include "platform/keyboard_lock.h"
#include "platform/support_windows.h"

namespace velkan::platform {

// A named mutex of the login session: the OS lets it go when its holder ends, however it ends.
KeyboardLock::KeyboardLock(std::string_view interfacePath)
    : name_("Local\\" + keyboardLockName(interfacePath)) {}

KeyboardLock::~KeyboardLock() {
    release();
}

bool KeyboardLock::acquire(std::chrono::milliseconds timeout) {
    if (held_) {
        return true;
    }
    UniqueHandle mutex;
    switch (acquireNamedMutex(widen(name_), timeout, mutex)) {
    case MutexWait::acquired:
        handle_ = valueOf(mutex.release());
        held_ = true;
        return true;
    case MutexWait::heldElsewhere:
        return false;
    case MutexWait::failed:
        // No mutex to share with anyone: go ahead, as a missing lock must not keep the user
        // from the keyboard.
        return true;
    }
    return true;
}

void KeyboardLock::release() {
    if (held_) {
        UniqueHandle mutex(handleOf(std::exchange(handle_, kNoHandle)));
        releaseNamedMutex(mutex);
        held_ = false;
    }
}

bool KeyboardLock::held() const {
    return held_;
}

} // namespace velkan::platform
