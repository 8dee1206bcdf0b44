// KeyboardEvents that records every event the device threads report, by name, for tests to
// wait on and count.
#pragma once

#include "device/keyboard_events.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace velkan::device::test {

class RecordingClient : public KeyboardEvents {
public:
    void keyboardArrived(Arrival arrival) override {
        notePresence();
        record(arrival == Arrival::atStart ? "arrived at start" : "arrived");
    }
    void keyboardRemoved() override {
        notePresence();
        record("removed");
    }
    void lightingChangedOnKeyboard() override { record("lighting changed"); }
    void keyboardReset() override { record("reset"); }
    void trayImageWanted(TrayImage image) override {
        record(image == TrayImage::usual ? "tray usual" : "tray alternate");
    }
    void problemFound(KeyboardProblem problem) override {
        record(problem == KeyboardProblem::noPermission ? "no permission"
                                                        : "default table unreadable");
    }

    // When set, the presence the link gives at each arrival and removal is kept: what the
    // window would see if it asked while handling the event.
    const std::atomic<bool>* presence = nullptr;
    std::vector<bool> presenceSeen() const {
        std::lock_guard lock(mutex_);
        return presenceSeen_;
    }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    int count(const std::string& call) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
    }
    // Waits until `call` has been recorded `times` times; false after `limit`.
    bool waitFor(const std::string& call, int times = 1,
                 std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(
            lock, limit, [&] { return std::count(calls_.begin(), calls_.end(), call) >= times; });
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

private:
    void notePresence() {
        if (presence != nullptr) {
            std::lock_guard lock(mutex_);
            presenceSeen_.push_back(presence->load());
        }
    }
    void record(std::string call) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::vector<bool> presenceSeen_;
};

} // namespace velkan::device::test
