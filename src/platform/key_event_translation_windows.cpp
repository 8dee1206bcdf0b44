#include "platform/key_event_translation.h"

namespace velkan::platform {

namespace {

// Virtual keys the OS reports for both keys of a pair; the scan code tells which one it was.
constexpr std::uint32_t kVkShift = 0x10;
constexpr std::uint32_t kVkControl = 0x11;
constexpr std::uint32_t kVkMenu = 0x12;
constexpr std::uint8_t kVkLeftShift = 0xA0;
constexpr std::uint8_t kVkRightShift = 0xA1;
constexpr std::uint8_t kVkLeftControl = 0xA2;
constexpr std::uint8_t kVkRightControl = 0xA3;
constexpr std::uint8_t kVkLeftMenu = 0xA4;
constexpr std::uint8_t kVkRightMenu = 0xA5;
constexpr std::uint16_t kRightShiftScan = 0x36;
// Virtual keys are one byte; 0xFF, for keys that have none, lets the scan code decide.
constexpr std::uint32_t kLastVk = 0xFF;
// Bits of the native scan code: the make code and the 0xE0 prefix.
constexpr std::uint32_t kScanBits = 0x1FF;

std::uint8_t sidedVk(std::uint32_t vk, std::uint16_t scan) {
    const bool right = (scan & kScanE0) != 0;
    switch (vk) {
    case kVkShift:
        return (scan & 0xFF) == kRightShiftScan ? kVkRightShift : kVkLeftShift;
    case kVkControl:
        return right ? kVkRightControl : kVkLeftControl;
    case kVkMenu:
        return right ? kVkRightMenu : kVkLeftMenu;
    default:
        return static_cast<std::uint8_t>(vk);
    }
}

} // namespace

std::optional<NativeKeyEvent> translateWindowsKey(std::uint32_t virtualKey, std::uint32_t scanCode,
                                                  bool release, bool autoRepeat) {
    // Keys that make up their events (an IME's, a remote session's packets) carry no scan
    // code; the key-code rules have no name for them.
    const auto scan = static_cast<std::uint16_t>(scanCode & kScanBits);
    if (virtualKey == 0 || virtualKey > kLastVk || scanCode > kScanBits || (scan & 0xFF) == 0 ||
        (release && autoRepeat)) {
        return std::nullopt;
    }
    return nativeKeyEvent(sidedVk(virtualKey, scan), scan, release, autoRepeat);
}

std::optional<NativeKeyEvent> translateNativeKey(std::uint32_t nativeScanCode,
                                                 std::uint32_t nativeVirtualKey, bool release,
                                                 bool autoRepeat) {
    return translateWindowsKey(nativeVirtualKey, nativeScanCode, release, autoRepeat);
}

} // namespace velkan::platform
