#include "device/presence_monitor.h"

#include "device/keyboard_scan.h"
#include "platform/keyboard_lock.h"

#include <vector>

namespace velkan::device {

namespace {
// Another program's command sequence is waited out in steps this long, so that a stop request
// still ends the thread promptly.
constexpr auto kKeyboardLockStep = std::chrono::milliseconds(50);

// Passes every event on to the program at once, except problems, which are kept until
// tellHeldProblems().
class HeldProblems final : public KeyboardEvents {
public:
    explicit HeldProblems(KeyboardEvents& events) : events_(events) {}

    void keyboardArrived(Arrival arrival) override { events_.keyboardArrived(arrival); }
    void keyboardRemoved() override { events_.keyboardRemoved(); }
    void lightingChangedOnKeyboard() override { events_.lightingChangedOnKeyboard(); }
    void keyboardReset() override { events_.keyboardReset(); }
    void trayImageWanted(TrayImage image) override { events_.trayImageWanted(image); }
    void problemFound(KeyboardProblem problem) override { held_.push_back(problem); }

    void tellHeldProblems() {
        for (const KeyboardProblem problem : held_) {
            events_.problemFound(problem);
        }
        held_.clear();
    }

private:
    KeyboardEvents& events_;
    std::vector<KeyboardProblem> held_;
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

PresenceMonitor::PresenceMonitor(DeviceLink& link, KeyboardEvents& events, ArrivalCommands& arrival)
    : link_(link), events_(events), arrival_(arrival) {}

PresenceMonitor::~PresenceMonitor() {
    stop();
}

void PresenceMonitor::start(std::chrono::milliseconds settle) {
    if (!thread_.joinable()) {
        thread_ = std::thread([this, settle] { run(settle); });
    }
}

void PresenceMonitor::stop() {
    stop_.request();
    if (thread_.joinable()) {
        thread_.join();
    }
    link_.devicePresent = false;
    link_.commandChannel.close();
}

void PresenceMonitor::reportPresence(bool present) {
    if (present == link_.lastNotifiedPresent) {
        return;
    }
    if (!present) {
        link_.activeProfileCache = -1;
        link_.lastNotifiedPresent = false;
        events_.keyboardRemoved();
    } else {
        // A problem the arrival reads find is told through the window, which may itself be
        // waiting for the keyboard lock: it is told once the lock is let go.
        HeldProblems held(events_);
        {
            platform::KeyboardLock lock(link_.commandChannel.path());
            if (!lockKeyboard(lock)) {
                return;
            }
            arrival_.readArrivalMirrors(held);
        }
        held.tellHeldProblems();
        // Set before the window hears of it: the window it opens for the arrival asks whether
        // a keyboard is there.
        link_.lastNotifiedPresent = true;
        events_.keyboardArrived(link_.firstSearchDone ? Arrival::pluggedIn : Arrival::atStart);
    }
}

void PresenceMonitor::run(std::chrono::milliseconds settle) {
    if (settle.count() > 0 && !stop_.waitFor(settle)) {
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
    if (!channel.enumerate()) {
        return;
    }
    if (scanForKeyboardCollection(channel, kCommandCollection)) {
        link_.devicePresent = true;
        platform::KeyboardLock lock(channel.path());
        if (lockKeyboard(lock)) {
            arrival_.probeDeviceInfo();
        }
        channel.close();
    }
    link_.devicePresent = false;
}

void PresenceMonitor::watchOnce() {
    HidDevice& channel = link_.commandChannel;
    if (channel.backend().probe(channel.path())) {
        return;
    }
    link_.devicePresent = false;
    // A pending command fails at once instead of waiting for its time-outs.
    channel.close();
    reportPresence(false);
}

void PresenceMonitor::searchOnce(bool& firstPass) {
    HidDevice& channel = link_.commandChannel;
    // A failed enumeration is tried again after the search interval: the keyboard must still
    // be found once the system lists devices again.
    if (!channel.enumerate()) {
        return;
    }
    bool permissionDenied = false;
    if (scanForKeyboardCollection(channel, kCommandCollection, &permissionDenied)) {
        if (auto model = keyboardModelFor(channel.vendorId(), channel.productId())) {
            link_.setModel(*model);
        }
        link_.devicePresent = true;
        reportPresence(true);
    }
    tellPermissionDenied(permissionDenied && !link_.devicePresent);
    if (firstPass) {
        firstPass = false;
        reportPresence(link_.devicePresent);
        link_.firstSearchDone = true;
    }
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
        events_.problemFound(KeyboardProblem::noPermission);
    }
    permissionDeniedTold_ = denied;
}

} // namespace velkan::device
