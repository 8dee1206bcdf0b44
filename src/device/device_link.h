// The device link's process-wide state: the command channel with its lock and presence flag,
// the model sizes of the keyboard last recognised, and the active-profile cache. The presence
// monitor writes it; transactions and the sequences above read it.
#pragma once

#include "device/hid_device.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace velkan::device {

struct KeyboardModel {
    std::uint16_t vendorId;
    std::uint16_t productId;
    int keyCount;
    int tableBytes; // also the stride between key-table banks
};

inline constexpr KeyboardModel kKeyboard126{0x0C45, 0x5004, 126, 378};
inline constexpr KeyboardModel kKeyboard128{0x320F, 0x5000, 128, 512};

// The supported keyboard with these ids, if any.
std::optional<KeyboardModel> keyboardModelFor(std::uint16_t vendorId, std::uint16_t productId);

class DeviceLink {
public:
    explicit DeviceLink(platform::HidBackend& backend) : commandChannel(backend) {}

    // Open on the keyboard's configuration collection while it is present.
    HidDevice commandChannel;
    // True while the command channel is open on a recognised keyboard.
    std::atomic<bool> devicePresent{false};
    // Held across one whole transaction (write, read and every retry), so that two threads
    // never take each other's replies.
    std::mutex commandIoLock;

    // Sizes of the model last recognised; those of the 126-key model until then, and kept
    // when the keyboard goes away.
    std::atomic<int> keyCount{kKeyboard126.keyCount};
    std::atomic<int> tableBytes{kKeyboard126.tableBytes};

    // The keyboard's active profile as last read, -1 when unknown.
    std::atomic<int> activeProfileCache{-1};

    // The presence last reported by the monitor, and whether its first search is over (later
    // arrivals count as plugged in).
    std::atomic<bool> lastNotifiedPresent{false};
    std::atomic<bool> firstSearchDone{false};

    void setModel(const KeyboardModel& model) {
        keyCount = model.keyCount;
        tableBytes = model.tableBytes;
    }
};

} // namespace velkan::device
