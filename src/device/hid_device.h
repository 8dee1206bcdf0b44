// HidDevice: one HID interface of the keyboard, opened by path, with its capabilities, report
// buffers and input data items. The program keeps two for its whole run: the command channel
// (vendor configuration collection) and the event channel (consumer-control collection).
//
// The owner thread enumerates, opens, reads, writes and closes. The one cross-thread operation
// is CloseHid: it wakes a read or write that another thread is waiting in (which then returns
// false) and releases the handle and buffers only after that thread has left the device.
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

// Interface paths longer than this are refused: the path field holds 260 characters with its
// terminator.
inline constexpr std::size_t kMaxHidPathLength = 259;

// One input, output or feature datum: a button capability (usage list) or one value usage.
struct HidDataItem {
    bool isButtonData = false;
    std::uint16_t usagePage = 0;
    std::uint32_t status = platform::kHidStatusSuccess; // last parser status
    std::uint32_t reportId = 0;
    bool isDataSet = false; // a report has updated the item

    // Button items: the usage range, the room of the usage list and the usages found on in the
    // last report, 0-terminated when fewer than the room.
    std::uint32_t usageMin = 0;
    std::uint32_t usageMax = 0;
    std::uint32_t maxUsageLength = 0;
    std::vector<std::uint16_t> usages;

    // Value items: the usage and its last raw and scaled value.
    std::uint16_t usage = 0;
    std::uint32_t value = 0;
    std::int32_t scaledValue = 0;
};

class HidDevice {
public:
    explicit HidDevice(platform::HidBackend& backend);
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Rebuilds the path list from the interfaces present now and rewinds the cursor. False,
    // with an empty list, when the set of devices cannot be had.
    bool EnumerateHidInterfaces();
    // The path at the cursor, advancing it; nullopt when the list is empty or exhausted.
    std::optional<std::string> NextHidPath();
    void FreeHidPathList();

    // Closes whatever is open, then opens `path` and reads its attributes, capabilities and
    // report layout, allocating the report buffers and data items once for this open.
    // Overlapped I/O is how every read and write works here; the flag is kept for callers.
    bool OpenHid(std::string_view path, bool wantRead, bool wantWrite, bool overlapped,
                 bool exclusive);
    // Wakes a waiting read or write, releases buffers and items and closes the handle. The
    // path list survives. False when nothing was open.
    bool CloseHid();
    // Safe from any thread: wakes the read or write waiting now, or, when none is, makes the
    // next one on this open interface fail at once. Buffers and items stay; the owner thread
    // closes.
    void CancelIo();

    // One report in or out, waiting at most `timeoutMs` (or for ever with
    // platform::kHidInfiniteTimeout). `transferred`, when given, receives the byte count, 0 on
    // failure. False on time-out, cancel, unplug or a device that is not open.
    bool ReadReport(std::span<std::uint8_t> buffer, std::size_t* transferred, int timeoutMs);
    bool WriteReport(std::span<const std::uint8_t> report, std::size_t* transferred, int timeoutMs);

    // Updates the input data items from one input report (first byte the report id). Items of
    // other report ids are left as they were. False when a value item cannot be read; items
    // processed before it keep their new content.
    bool UnpackInputReport(std::span<const std::uint8_t> report);

    bool isOpen() const;
    platform::HidBackend& backend() const { return backend_; }
    const std::string& path() const { return path_; }
    std::uint16_t vendorId() const { return attributes_.vendorId; }
    std::uint16_t productId() const { return attributes_.productId; }
    std::uint16_t versionNumber() const { return attributes_.versionNumber; }
    std::uint16_t usagePage() const { return caps_.usagePage; }
    std::uint16_t usage() const { return caps_.usage; }
    std::uint16_t inputReportByteLength() const { return caps_.inputReportByteLength; }
    std::uint16_t outputReportByteLength() const { return caps_.outputReportByteLength; }
    std::uint16_t featureReportByteLength() const { return caps_.featureReportByteLength; }
    const platform::HidCaps& caps() const { return caps_; }

    // The per-type report buffer (zeroed at open, sized to the report byte length) and items.
    std::span<std::uint8_t> reportBuffer(platform::HidReportType type);
    const std::vector<HidDataItem>& dataItems(platform::HidReportType type) const;

private:
    // Keeps the open interface alive for one read or write and counts it as pending, so that
    // CloseHid can cancel it and wait for it to leave.
    platform::HidInterface* beginIo();
    void endIo();
    template <typename Transfer> bool runIo(std::size_t* transferred, Transfer transfer);
    void buildDataItems(const platform::HidCollection& collection);
    void releaseOpenState();

    platform::HidBackend& backend_;

    std::vector<std::string> pathList_;
    std::size_t pathCursor_ = 0;

    bool wantRead_ = false;
    bool wantWrite_ = false;
    bool overlapped_ = false;
    bool exclusive_ = false;
    std::string path_;

    mutable std::mutex ioMutex_;
    std::condition_variable ioIdle_;
    std::unique_ptr<platform::HidInterface> interface_;
    int pendingIo_ = 0;

    platform::HidAttributes attributes_;
    platform::HidCaps caps_;
    std::vector<std::uint8_t> reportBuffers_[platform::kHidReportTypeCount];
    std::vector<HidDataItem> dataItems_[platform::kHidReportTypeCount];
};

} // namespace velkan::device
