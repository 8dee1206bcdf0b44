// HidDevice: one HID interface of the keyboard, opened by path. The program keeps two for its
// whole run: the command channel (vendor configuration collection) and the event channel
// (consumer-control collection).
//
// The owner thread enumerates, opens, reads, writes and closes. The one cross-thread operation
// is close: it wakes a read or write that another thread is waiting in (which then returns
// false) and releases the interface only after that thread has left the device.
#pragma once

#include "platform/hid_backend.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkan::device {

class HidDevice {
public:
    explicit HidDevice(platform::HidBackend& backend);
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Rebuilds the path list from the interfaces present now and rewinds the cursor. False,
    // with an empty list, when the set of devices cannot be had.
    bool enumerate();
    // The path at the cursor, advancing it; nullopt when the list is empty or exhausted.
    std::optional<std::string> nextPath();

    // Closes whatever is open, then opens `path`. The path list survives.
    bool open(std::string_view path, platform::HidOpenMode mode);
    // Wakes a waiting read or write and releases the interface. False when nothing was open.
    bool close();
    // Safe from any thread: wakes the read or write waiting now, or, when none is, makes the
    // next one on this open interface fail at once. The owner thread closes.
    void cancel();

    // One report in or out, waiting at most `timeoutMs` (or for ever with
    // platform::kHidInfiniteTimeout). `transferred`, when given, receives the byte count, 0 on
    // failure. False on time-out, cancel, unplug or a device that is not open.
    bool read(std::span<std::uint8_t> buffer, std::size_t* transferred, int timeoutMs);
    bool write(std::span<const std::uint8_t> report, std::size_t* transferred, int timeoutMs);

    // The button usages on in one input report of the open collection; empty when none is open.
    std::vector<platform::HidUsage> buttonsSet(std::span<const std::uint8_t> report) const;

    bool isOpen() const;
    platform::HidBackend& backend() const { return backend_; }
    const std::string& path() const { return path_; }
    std::uint16_t vendorId() const { return attributes_.vendorId; }
    std::uint16_t productId() const { return attributes_.productId; }
    std::uint16_t versionNumber() const { return attributes_.versionNumber; }
    std::uint16_t usagePage() const { return collection_.usagePage; }
    std::uint16_t usage() const { return collection_.usage; }
    std::uint16_t inputReportLength() const { return collection_.inputReportLength; }
    std::uint16_t outputReportLength() const { return collection_.outputReportLength; }

private:
    // Keeps the open interface alive for one read or write and counts it as pending, so that
    // close can cancel it and wait for it to leave.
    platform::HidInterface* beginIo();
    void endIo();
    template <typename Transfer> bool runIo(std::size_t* transferred, Transfer transfer);

    platform::HidBackend& backend_;

    std::vector<std::string> pathList_;
    std::size_t pathCursor_ = 0;
    std::string path_;

    mutable std::mutex ioMutex_;
    std::condition_variable ioIdle_;
    std::unique_ptr<platform::HidInterface> interface_;
    int pendingIo_ = 0;

    platform::HidAttributes attributes_;
    platform::HidCollectionInfo collection_;
};

} // namespace velkan::device
