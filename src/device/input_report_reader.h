// The input-report reader: keeps the keyboard's consumer-control collection open as the event
// channel and turns the event codes the keyboard sends there into keyboard events.
#pragma once

#include "device/keyboard_events.h"
#include "device/presence_monitor.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velkan::device {

namespace event_code {
inline constexpr std::uint16_t kLightingChanged = 0x0401;
inline constexpr std::uint16_t kKeyboardReset = 0x0402;
inline constexpr std::uint16_t kTrayIconRestore = 0x1810;
inline constexpr std::uint16_t kTrayIconAlternate = 0x1811;
} // namespace event_code

class InputReportReader {
public:
    InputReportReader(platform::HidBackend& backend, KeyboardEvents& events);
    ~InputReportReader();
    InputReportReader(const InputReportReader&) = delete;
    InputReportReader& operator=(const InputReportReader&) = delete;

    void start();
    void stop();

    // Reacts to one event code as the keyboard's event table says.
    void react(std::uint16_t code);

private:
    void run();
    void readEvents();
    void requestTrayImage(TrayImage image);
    void joinTrayWorkers();

    HidDevice eventChannel_;
    KeyboardEvents& events_;
    StopSignal stop_;
    std::thread thread_;

    // Tray requests run on short-lived workers so a slow tray never holds up the reader; one
    // at a time, in the order they came (each waits for its ticket).
    struct TrayWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex trayMutex_;
    std::condition_variable trayTurn_;
    std::uint64_t trayTicketsIssued_ = 0;
    std::uint64_t trayTicketServing_ = 0;
    std::vector<TrayWorker> trayWorkers_;
};

} // namespace velkan::device
