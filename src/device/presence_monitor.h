// The presence monitor: finds the keyboard's configuration collection, keeps it open as the
// command channel, notices removal within a tenth of a second by probing the path, and reports
// every arrival and removal once.
#pragma once

#include "device/device_link.h"
#include "device/keyboard_events.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velkan::platform {
class KeyboardLock;
}

namespace velkan::device {

inline constexpr auto kPresentProbeInterval = std::chrono::milliseconds(100);
inline constexpr auto kSearchInterval = std::chrono::milliseconds(1000);

// Sleeps that a stop request cuts short.
class StopSignal {
public:
    // False when stop was requested before or during the wait.
    bool waitFor(std::chrono::milliseconds duration);
    void request();
    bool requested() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

class PresenceMonitor {
public:
    PresenceMonitor(DeviceLink& link, KeyboardEvents& events, ArrivalCommands& arrival);
    ~PresenceMonitor();
    PresenceMonitor(const PresenceMonitor&) = delete;
    PresenceMonitor& operator=(const PresenceMonitor&) = delete;

    // A monitor given a settle time waits that long before its first look at the keyboard.
    void start(std::chrono::milliseconds settle = {});
    // Ends the thread; the command channel is closed and the keyboard counts as absent.
    void stop();

private:
    // Reports a change of presence once; an arrival reads the mirrors first.
    void reportPresence(bool present);
    void run(std::chrono::milliseconds settle);
    void probePass();
    void watchOnce();
    void searchOnce(bool& firstPass);
    void tellPermissionDenied(bool denied);
    [[nodiscard]] bool lockKeyboard(platform::KeyboardLock& lock);

    DeviceLink& link_;
    KeyboardEvents& events_;
    ArrivalCommands& arrival_;
    StopSignal stop_;
    std::thread thread_;
    bool permissionDeniedTold_ = false; // the monitor's thread only
};

} // namespace velkan::device
