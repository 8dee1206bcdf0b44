// The presence monitor: finds the keyboard's configuration collection, keeps it open as the
// command channel, notices removal within a tenth of a second by probing the path, and reports
// every arrival and removal once through OnDeviceStateChanged.
#pragma once

#include "device/device_link.h"
#include "device/device_link_client.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

namespace velkan::platform {
class KeyboardLock;
}

namespace velkan::device {

inline constexpr auto kPresentProbeInterval = std::chrono::milliseconds(100);
inline constexpr auto kSearchInterval = std::chrono::milliseconds(1000);

// The message shown when a keyboard is plugged in that this user may not open.
inline constexpr std::string_view kNoPermissionMessage = "MAIN_NO_PERMISSION_PROMPT";

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
    PresenceMonitor(DeviceLink& link, DeviceLinkClient& client, ArrivalCommands& arrival);
    ~PresenceMonitor();
    PresenceMonitor(const PresenceMonitor&) = delete;
    PresenceMonitor& operator=(const PresenceMonitor&) = delete;

    void start();
    // Ends the thread; the command channel is closed and the keyboard counts as absent.
    void stop();

    // Reports a change of presence once: removal closes editors, hides the window and shows
    // the no-keyboard icon; arrival reads the mirrors, has the main window read the keyboard
    // back and shows the connected icon; the very first arrival also shows the window.
    int OnDeviceStateChanged(bool present);

private:
    void run();
    void probePass();
    void watchOnce();
    void searchOnce(bool& firstPass);
    void tellPermissionDenied(bool denied);
    [[nodiscard]] bool lockKeyboard(platform::KeyboardLock& lock);

    DeviceLink& link_;
    DeviceLinkClient& client_;
    ArrivalCommands& arrival_;
    StopSignal stop_;
    std::thread thread_;
    bool permissionDeniedTold_ = false; // the monitor's thread only
};

} // namespace velkan::device
