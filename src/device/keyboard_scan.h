// Finding the keyboard among the HID interfaces: the ids named in an interface path, and the
// scan that opens the first supported keyboard collection with the wanted usage.
#pragma once

#include "device/hid_device.h"

#include <cstdint>
#include <string_view>

namespace velkan::device {

struct HidIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// Reads the hexadecimal numbers after "vid_" and after it "pid_" (any case) in a path, up to
// the first non-hex character, keeping the low 16 bits; a missing marker gives 0.
HidIds hidIdsFromPath(std::string_view path);

struct CollectionWanted {
    std::uint16_t usagePage;
    std::uint16_t usage;
    bool read;
    bool write;
};

inline constexpr CollectionWanted kCommandCollection{0xFF1C, 0x0092, true, true};
inline constexpr CollectionWanted kEventCollection{0x000C, 0x0001, true, false};

// Walks the rest of the device's path list. Paths that name no supported keyboard are skipped
// unopened; the others are opened and kept only when the attributes name a supported keyboard
// and the collection has the wanted usage. True with the device left open on the first match.
// `permissionDenied`, when given, is set (never cleared) when a supported keyboard's path was
// passed over because this user may not open it.
bool scanForKeyboardCollection(HidDevice& device, const CollectionWanted& wanted,
                               bool* permissionDenied = nullptr);

} // namespace velkan::device
