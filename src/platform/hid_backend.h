// The HID service of the platform layer: list HID interfaces, open one top-level collection by
// its interface path, tell its usage, report lengths and the buttons set in an input report,
// move whole reports with a time-out that another thread can cut short.
// One backend per OS (hidraw on Linux) plus the simulated keyboard's; everything above talks to
// this face only.
//
// Interface paths carry the ids as "vid_XXXX" and "pid_XXXX" (lower-case hex) and, when one
// device interface holds several top-level collections, "&colNN" (from 01), so the same path
// filter works on every backend. Example: "/dev/hidraw3#vid_0c45&pid_5004&col01".
#pragma once

#include "platform/hid_descriptor.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velkan::platform {

inline constexpr int kHidInfiniteTimeout = -1;

enum class HidIoStatus {
    ok,        // the whole report moved
    timedOut,  // nothing moved within the time-out
    cancelled, // cancel() ended the wait, or a cancel was pending when it began
    failed,    // the device is gone or the OS refused the transfer
};

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

struct HidOpenMode {
    bool read = false;
    bool write = false;
};

// One opened top-level collection.
class HidInterface {
public:
    virtual ~HidInterface() = default;

    virtual const HidAttributes& attributes() const = 0;
    virtual const HidCollectionInfo& collection() const = 0;

    // The button usages that are on in one input report of this collection (first byte the
    // report id), in report order; empty for a report it cannot read.
    virtual std::vector<HidUsage> buttonsSet(std::span<const std::uint8_t> report) const = 0;

    // Reads the next input report of this collection (reports of other collections of the
    // same device interface are skipped) into `buffer`: first byte the report id, 0 when the
    // device numbers none. Waits up to `timeoutMs`, or for ever with kHidInfiniteTimeout.
    // `transferred` is the byte count delivered, 0 unless the result is ok. A report longer
    // than the buffer is cut to it. Once this returns, the backend no longer touches `buffer`.
    virtual HidIoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                             std::size_t& transferred) = 0;

    // Writes one output report (first byte the report id). Waits up to `timeoutMs` even when
    // the OS blocks longer inside the transfer; a transfer still running after the time-out
    // works on the backend's own copy of the report, never on `report`.
    virtual HidIoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                              std::size_t& transferred) = 0;

    // Safe from any thread. Wakes one read or write that is waiting now, which returns
    // cancelled; when none is waiting the signal stays pending and the next read or write to
    // begin returns cancelled at once.
    virtual void cancel() = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Interface paths of the HID collections present now, in a stable order. nullopt when the
    // set of devices cannot be had at all; no devices is an empty list.
    virtual std::optional<std::vector<std::string>> enumerate() = 0;

    // nullptr when the path is unknown, gone, unreadable or refused (permissions, sharing).
    virtual std::unique_ptr<HidInterface> open(const std::string& path, HidOpenMode mode) = 0;

    // True when the last open() of `path` failed because this user may not open the device,
    // which the user can fix, unlike a device that is gone. Safe from any thread. Backends
    // without access rights of their own keep this default.
    virtual bool permissionDenied(const std::string& /*path*/) const { return false; }

    // Cheap check that the device behind a path is still attached, without opening it for I/O
    // and without sending anything to it.
    virtual bool probe(const std::string& path) = 0;
};

// The backend of the OS the program runs on (hidraw, or the Windows HID class).
std::unique_ptr<HidBackend> makeSystemHidBackend();

// Builds the path of one collection: "<node>#vid_xxxx&pid_xxxx", with "&colNN" added when the
// node holds more than one top-level collection (`collectionIndex` counts from 0).
std::string makeHidInterfacePath(const std::string& node, std::uint16_t vendorId,
                                 std::uint16_t productId, std::size_t collectionIndex,
                                 std::size_t collectionCount);

} // namespace velkan::platform
