// Host-side copies of keyboard memory that the device link refreshes on every arrival: the
// factory key table image and the macro capacity. Both are read by the UI thread while the
// presence monitor may refresh them, hence the lock.
#pragma once

#include "device/device_link.h"
#include "device/keyboard_events.h"
#include "protocol/command_set.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace velkan::protocol {

using KeyTableImage = std::array<std::uint8_t, kMaxTableBytes>;

// Until the keyboard's own table has been read: its first 64 entries as the keyboard ships
// them, the rest zero.
KeyTableImage builtInDefaultKeyTable();

class DeviceMirrors : public device::ArrivalCommands {
public:
    explicit DeviceMirrors(device::DeviceLink& link) : link_(link) {}

    KeyTableImage defaultKeyTable() const;
    // Bytes of macro memory the keyboard offers (information block byte 11 x 128).
    int macroCapacity() const;

    // The keyboard's factory table into the image; false (image kept) when it cannot be read.
    bool readDefaultKeyTable();

    void probeDeviceInfo() override;
    // Factory key table (on failure the image is kept and the user is told) and macro
    // capacity (kept on failure).
    void readArrivalMirrors(device::KeyboardEvents& events) override;

private:
    device::DeviceLink& link_;
    mutable std::mutex mutex_;
    KeyTableImage defaultKeyTable_ = builtInDefaultKeyTable();
    int macroCapacity_ = 0;
};

} // namespace velkan::protocol
