#include "device/presence_monitor.h"

#include "device/keyboard_scan.h"

namespace velkan::device {

namespace {
constexpr auto kInitialShowSettle = std::chrono::milliseconds(10);
}

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
        arrival_.readArrivalMirrors(client_);
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
        arrival_.probeDeviceInfo();
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

// Once while a keyboard this user may not open stays plugged in; plugging it in again without
// access tells it again.
void PresenceMonitor::tellPermissionDenied(bool denied) {
    if (denied && !permissionDeniedTold_) {
        client_.showMessage(kNoPermissionMessage);
    }
    permissionDeniedTold_ = denied;
}

} // namespace velkan::device
