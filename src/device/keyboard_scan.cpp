#include "device/keyboard_scan.h"

#include "device/device_link.h"

#include <cctype>

namespace velkan::device {

namespace {

// Position just after `marker` in `text`, ignoring case, from `from` on; npos when absent.
std::size_t findMarkerEnd(std::string_view text, std::string_view marker, std::size_t from) {
    for (std::size_t i = from; i + marker.size() <= text.size(); ++i) {
        bool match = true;
        for (std::size_t j = 0; j < marker.size() && match; ++j) {
            match = std::tolower(static_cast<unsigned char>(text[i + j])) == marker[j];
        }
        if (match) {
            return i + marker.size();
        }
    }
    return std::string_view::npos;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Only the low 16 bits are kept, so a long run of digits cannot overflow.
std::uint16_t hexAt(std::string_view text, std::size_t position) {
    std::uint32_t value = 0;
    for (; position < text.size() && hexDigit(text[position]) >= 0; ++position) {
        value = ((value << 4) | static_cast<std::uint32_t>(hexDigit(text[position]))) & 0xFFFF;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

HidIds hidIdsFromPath(std::string_view path) {
    HidIds ids;
    std::size_t searchFrom = 0;
    const std::size_t vid = findMarkerEnd(path, "vid_", 0);
    if (vid != std::string_view::npos) {
        ids.vendorId = hexAt(path, vid);
        searchFrom = vid;
    }
    const std::size_t pid = findMarkerEnd(path, "pid_", searchFrom);
    if (pid != std::string_view::npos) {
        ids.productId = hexAt(path, pid);
    }
    return ids;
}

bool scanForKeyboardCollection(HidDevice& device, const CollectionWanted& wanted,
                               bool* permissionDenied) {
    while (auto path = device.nextPath()) {
        const HidIds ids = hidIdsFromPath(*path);
        if (!keyboardModelFor(ids.vendorId, ids.productId)) {
            continue;
        }
        if (!device.open(*path, {.read = wanted.read, .write = wanted.write})) {
            if (permissionDenied && device.backend().permissionDenied(*path)) {
                *permissionDenied = true;
            }
            continue;
        }
        if (keyboardModelFor(device.vendorId(), device.productId()) &&
            device.usagePage() == wanted.usagePage && device.usage() == wanted.usage) {
            return true;
        }
        device.close();
    }
    return false;
}

} // namespace velkan::device
