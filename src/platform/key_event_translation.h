// The desktop's key events in the form the key capture and the macro recorder judge: a virtual
// key and a key data word, so that the key-code rules see the same pair on every desktop.
#pragma once

#include <cstdint>
#include <optional>

namespace velkan::platform {

// Bits of the key data word.
inline constexpr unsigned kKeyDataScanShift = 16;           // bits 16-23: scan code set 1 make code
inline constexpr std::uint32_t kKeyDataExtended = 1U << 24; // the make code has 0xE0
inline constexpr std::uint32_t kKeyDataPreviousDown = 1U << 30; // held before this event
inline constexpr std::uint32_t kKeyDataReleased = 1U << 31;

struct NativeKeyEvent {
    std::uint8_t vk = 0;
    std::uint32_t keyData = 0;

    bool isRelease() const { return (keyData & kKeyDataReleased) != 0; }
    // A press of a key that is already down.
    bool isAutoRepeat() const { return !isRelease() && (keyData & kKeyDataPreviousDown) != 0; }

    friend bool operator==(const NativeKeyEvent&, const NativeKeyEvent&) = default;
};

// Scan codes the translations work with are 9-bit: the make code, with this bit for the 0xE0
// prefix.
inline constexpr std::uint16_t kScanE0 = 0x100;

// The event of a key at `scan` that the translation took for virtual key `vk`: the key data's
// scan field, extended flag and transition bits filled in as a keyboard hook would see them.
// nullopt for the presses of keys the key-code rules take on their release alone (Print
// Screen, Sys Req and the two Korean keys), as they add the press themselves.
std::optional<NativeKeyEvent> nativeKeyEvent(std::uint8_t vk, std::uint16_t scan, bool release,
                                             bool autoRepeat);

// One key event as the window system reports it: the xkb key code (evdev code + 8, what Qt
// gives as the native scan code on X11 and Wayland) and the key symbol of the current
// modifier state (Qt's native virtual key). The virtual key follows the symbol where the
// symbol names a key whatever the layout or the modifiers; otherwise the key's place on the
// board decides it.
//
// nullopt for a key the program has no name for, for the release that closes an auto-repeat
// and for the presses of Print Screen (Sys Req with Alt) and the two Korean keys: those keys
// are taken on their release alone, and the key-code rules add the press themselves.
std::optional<NativeKeyEvent> translateX11Key(std::uint32_t x11KeyCode, std::uint32_t keysym,
                                              bool release, bool autoRepeat);

// One key event as Windows reports it: the virtual key (Qt's native virtual key, where Shift,
// Ctrl and Alt are not told left from right) and the scan code with 0x100 for the 0xE0 prefix
// (Qt's native scan code, bits 16-24 of the key message's lParam). Left and right modifiers
// are told apart by their scan codes. nullopt as for translateX11Key.
std::optional<NativeKeyEvent> translateWindowsKey(std::uint32_t virtualKey, std::uint32_t scanCode,
                                                  bool release, bool autoRepeat);

// The translation of the window system the program runs on, from Qt's native scan code and
// native virtual key of a key event: translateX11Key on Linux, translateWindowsKey on Windows.
std::optional<NativeKeyEvent> translateNativeKey(std::uint32_t nativeScanCode,
                                                 std::uint32_t nativeVirtualKey, bool release,
                                                 bool autoRepeat);

// The 18 multimedia keys, which keep working while a dialog captures keys.
bool isPassThroughKey(const NativeKeyEvent& event);

} // namespace velkan::platform
