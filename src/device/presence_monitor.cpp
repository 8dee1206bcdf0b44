#include "device/presence_monitor.h"

#include "device/keyboard_scan.h"
#include "platform/keyboard_lock.h"

#include <string>
#include <vector>

namespace velkan::device {

namespace {
constexpr auto kInitialShowSettle = std::chrono::milliseconds(10);
// Another program's command sequence is waited out in steps this long, so that a stop request
// still ends the thread promptly.
constexpr auto kKeyboardLockStep = std::chrono::milliseconds(50);

// Passes every call on to the program at once, except messages, which are kept until
// showHeldMessages().
class HeldMessages final : public DeviceLinkClient {
public:
    explicit HeldMessages(DeviceLinkClient& client) : client_(client) {}

    void keyboardArrived() override { client_.keyboardArrived(); }
    void keyboardRemoved() override { client_.keyboardRemoved(); }
    void showMainWindow() override { client_.showMainWindow(); }
    void hideMainWindow() override { client_.hideMainWindow(); }
    void startLightingReadBackTimer() override { client_.startLightingReadBackTimer(); }
    void startKeyboardResetTimer() override { client_.startKeyboardResetTimer(); }
    void setTrayIcon(int image) override { client_.setTrayIcon(image); }
    void showMessage(std::string_view languageKey) override { held_.emplace_back(languageKey); }

    void showHeldMessages() {
        for (const std::string& key : held_) {
            client_.showMessage(key);
        }
        held_.clear();
    }

private:
    DeviceLinkClient& client_;
    std::vector<std::string> held_;
};

} // namespace

bool StopSignal::waitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return stop_; });
}

void StopSignal::request() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
}

bool StopSignal::requested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

PresenceMonitor::PresenceMonitor(DeviceLink& link, DeviceLinkClient& client,
                                 ArrivalCommands& arrival)
    : link_(link), client_(client), arrival_(arrival) {}

PresenceMonitor::~PresenceMonitor() {
    stop();
}

void PresenceMonitor::start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
    }
}

void PresenceMonitor::stop() {
    stop_.request();
    if (thread_.joinable()) {
        thread_.join();
    }
    link_.devicePresent = false;
    link_.commandChannel.CloseHid();
}

int PresenceMonitor::OnDeviceStateChanged(bool present) {
    if (present == link_.lastNotifiedPresent) {
        return 0;
    }
    if (!present) {
        link_.activeProfileCache = -1;
        client_.keyboardRemoved();
        client_.hideMainWindow();
        link_.connectionTrayIcon = kTrayIconNoKeyboard;
        client_.setTrayIcon(kTrayIconNoKeyboard);
    } else {
        // A message the arrival reads ask for waits on the window, which may itself be waiting
        // for the keyboard lock: it is shown once the lock is let go.
        HeldMessages held(client_);
        {
            platform::KeyboardLock lock(link_.commandChannel.path());
            if (!lockKeyboard(lock)) {
                return 0;
            }
            arrival_.readArrivalMirrors(held);
        }
        held.showHeldMessages();
        client_.keyboardArrived();
        link_.connectionTrayIcon = kTrayIconConnected;
        client_.setTrayIcon(kTrayIconConnected);
    }
    link_.lastNotifiedPresent = present;
    if (!link_.initialShowHandled) {
        if (present) {
            client_.showMainWindow();
        }
        link_.initialShowHandled = true;
    }
    return 0;
}

void PresenceMonitor::run() {
    if (link_.initialShowHandled && !stop_.waitFor(kInitialShowSettle)) {
        return;
    }
    bool firstPass = true;
    probePass();
    while (!stop_.requested()) {
        if (link_.devicePresent) {
            watchOnce();
        } else {
            searchOnce(firstPass);
        }
        if (!stop_.waitFor(link_.devicePresent ? kPresentProbeInterval : kSearchInterval)) {
            return;
        }
    }
}

// Wakes a keyboard that is already there before the watch starts: one information read.
void PresenceMonitor::probePass() {
    HidDevice& channel = link_.commandChannel;
    if (!channel.EnumerateHidInterfaces()) {
        return;
    }
    if (scanForKeyboardCollection(channel, kCommandCollection)) {
        link_.devicePresent = true;
        platform::KeyboardLock lock(channel.path());
        if (lockKeyboard(lock)) {
            arrival_.probeDeviceInfo();
        }
        channel.CloseHid();
    }
    channel.FreeHidPathList();
    link_.devicePresent = false;
}

void PresenceMonitor::watchOnce() {
    HidDevice& channel = link_.commandChannel;
    if (channel.backend().probe(channel.path())) {
        return;
    }
    link_.devicePresent = false;
    // A pending command fails at once instead of waiting for its time-outs.
    channel.CloseHid();
    OnDeviceStateChanged(false);
}

void PresenceMonitor::searchOnce(bool& firstPass) {
    HidDevice& channel = link_.commandChannel;
    // A failed enumeration is tried again after the search interval: the keyboard must still
    // be found once the system lists devices again.
    if (!channel.EnumerateHidInterfaces()) {
        return;
    }
    bool permissionDenied = false;
    if (scanForKeyboardCollection(channel, kCommandCollection, &permissionDenied)) {
        if (auto model = keyboardModelFor(channel.vendorId(), channel.productId())) {
            link_.setModel(*model);
        }
        link_.devicePresent = true;
        OnDeviceStateChanged(true);
    }
    tellPermissionDenied(permissionDenied && !link_.devicePresent);
    if (firstPass) {
        firstPass = false;
        OnDeviceStateChanged(link_.devicePresent);
        if (!link_.devicePresent) {
            link_.initialShowHandled = true;
        }
    }
    channel.FreeHidPathList();
}

// Waits for the keyboard as long as another program uses it; false when a stop request came
// meanwhile.
bool PresenceMonitor::lockKeyboard(platform::KeyboardLock& lock) {
    while (!lock.acquire(kKeyboardLockStep)) {
        if (stop_.requested()) {
            return false;
        }
    }
    return true;
}

// Once while a keyboard this user may not open stays plugged in; plugging it in again without
// access tells it again.
void PresenceMonitor::tellPermissionDenied(bool denied) {
    if (denied && !permissionDeniedTold_) {
        client_.showMessage(kNoPermissionMessage);
    }
    permissionDeniedTold_ = denied;
}

} // namespace velkan::device
