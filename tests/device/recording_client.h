// A DeviceLinkClient that records every request the device link's threads make, for tests to
// wait on and count.
#pragma once

#include "device/device_link_client.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace velkan::device::test {

class RecordingClient : public DeviceLinkClient {
public:
    void keyboardArrived() override { record("arrived"); }
    void keyboardRemoved() override { record("removed"); }
    void showMainWindow() override { record("show"); }
    void hideMainWindow() override { record("hide"); }
    void startLightingReadBackTimer() override { record("timer1051"); }
    void startKeyboardResetTimer() override { record("timer1053"); }
    void setTrayIcon(int image) override { record("tray" + std::to_string(image)); }
    void showMessage(std::string_view languageKey) override {
        record("message " + std::string(languageKey));
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
};

} // namespace velkan::device::test
