#include "device/input_report_reader.h"

#include "device/keyboard_scan.h"

#include <algorithm>
#include <chrono>

namespace velkan::device {

namespace {
constexpr auto kTrayWorkerHold = std::chrono::milliseconds(1);
}

InputReportReader::InputReportReader(platform::HidBackend& backend, KeyboardEvents& events)
    : eventChannel_(backend), events_(events) {}

InputReportReader::~InputReportReader() {
    stop();
}

void InputReportReader::start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
    }
}

void InputReportReader::stop() {
    // The flag goes first: a reader that opens the channel after the cancel below sees it.
    stop_.request();
    eventChannel_.cancel();
    if (thread_.joinable()) {
        thread_.join();
    }
    eventChannel_.close();
    joinTrayWorkers();
}

void InputReportReader::run() {
    while (!stop_.requested()) {
        // A failed enumeration is tried again after the search interval.
        if (eventChannel_.enumerate() &&
            scanForKeyboardCollection(eventChannel_, kEventCollection)) {
            readEvents();
            eventChannel_.close();
        }
        if (!stop_.waitFor(kSearchInterval)) {
            return;
        }
    }
}

// Reads until a read fails: the keyboard was unplugged, or stop() cancelled the wait.
void InputReportReader::readEvents() {
    if (stop_.requested()) {
        return;
    }
    std::vector<std::uint8_t> report(eventChannel_.inputReportLength(), 0);
    std::size_t length = 0;
    while (eventChannel_.read(report, &length, platform::kHidInfiniteTimeout)) {
        // Each report carries one event code; a release sets none.
        for (const platform::HidUsage& usage :
             eventChannel_.buttonsSet(std::span(report).first(std::min(length, report.size())))) {
            if (usage.page == kEventCollection.usagePage) {
                react(usage.id);
                break;
            }
        }
    }
}

void InputReportReader::react(std::uint16_t code) {
    switch (code) {
    case event_code::kLightingChanged:
        events_.lightingChangedOnKeyboard();
        break;
    case event_code::kKeyboardReset:
        events_.keyboardReset();
        break;
    case event_code::kTrayIconRestore:
        requestTrayImage(TrayImage::usual);
        break;
    case event_code::kTrayIconAlternate:
        requestTrayImage(TrayImage::alternate);
        break;
    default:
        break; // 0x1801-0x1804, releases (0) and unknown codes need nothing
    }
}

void InputReportReader::requestTrayImage(TrayImage image) {
    // Finished workers are reaped here so the list stays short.
    std::erase_if(trayWorkers_, [](TrayWorker& worker) {
        if (!worker.done->load()) {
            return false;
        }
        worker.thread.join();
        return true;
    });
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(trayMutex_);
        ticket = trayTicketsIssued_++;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([this, image, ticket, done] {
        {
            std::unique_lock lock(trayMutex_);
            trayTurn_.wait(lock, [&] { return trayTicketServing_ == ticket; });
            events_.trayImageWanted(image);
            std::this_thread::sleep_for(kTrayWorkerHold);
            ++trayTicketServing_;
        }
        trayTurn_.notify_all();
        done->store(true);
    });
    trayWorkers_.push_back({std::move(worker), std::move(done)});
}

void InputReportReader::joinTrayWorkers() {
    for (TrayWorker& worker : trayWorkers_) {
        worker.thread.join();
    }
    trayWorkers_.clear();
}

} // namespace velkan::device
