#include "platform/key_event_translation.h"

#include <algorithm>
#include <iterator>

namespace velkan::platform {
namespace {

constexpr std::uint16_t kSysReqScan = 0x54;

// Keys whose presses the key-code rules never expect: they add a press of their own.
constexpr std::uint16_t kReleaseOnlyScans[] = {kScanE0 | 0x37, kSysReqScan, 0x71, 0x72};

constexpr std::uint8_t kFirstMultimediaVk = 0xA6; // browser back
constexpr std::uint8_t kLastMultimediaVk = 0xB7;  // calculator

} // namespace

std::optional<NativeKeyEvent> nativeKeyEvent(std::uint8_t vk, std::uint16_t scan, bool release,
                                             bool autoRepeat) {
    if (!release && std::find(std::begin(kReleaseOnlyScans), std::end(kReleaseOnlyScans), scan) !=
                        std::end(kReleaseOnlyScans)) {
        return std::nullopt;
    }
    std::uint32_t keyData = static_cast<std::uint32_t>(scan & 0xFF) << kKeyDataScanShift;
    if ((scan & kScanE0) != 0) {
        keyData |= kKeyDataExtended;
    }
    if (release || autoRepeat) {
        keyData |= kKeyDataPreviousDown;
    }
    if (release) {
        keyData |= kKeyDataReleased;
    }
    return NativeKeyEvent{vk, keyData};
}

bool isPassThroughKey(const NativeKeyEvent& event) {
    return event.vk >= kFirstMultimediaVk && event.vk <= kLastMultimediaVk;
}

} // namespace velkan::platform
