// The key code space and the constant key tables: every key's code, row, virtual key, chooser
// id, device code and language key; the keyboard's 106 standard key positions; the multimedia
// and keyboard-function tables; and the pure conversions between codes, rows, HID usages, the
// keyboard's 3-byte key entries, modifier masks and key events. No state.
#pragma once

#include "lang/text_lookup.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkan::model {

// Scan-code based key identity: 0x001-0x07F plain make codes, 0x101-0x17F 0xE0-prefixed ones,
// 0x200-0x211 the keyboard's 18 extra keys; other values in 0x100-0x17F name the program's
// own functions.
using KeyCode = std::uint16_t;
// Row of KeyInfoTable (0-255) or, for extra keys, 256-273.
using KeyIndex = std::uint16_t;

inline constexpr KeyCode kFirstExtraKeyCode = 0x200;
inline constexpr int kExtraKeyCount = 18;
inline constexpr std::size_t kKeyInfoRows = 256;
inline constexpr std::size_t kStandardKeyCount = 106;
inline constexpr std::uint16_t kEmptyKeyId = 0xFFFF;

struct KeyInfo {
    std::uint8_t vk = 0;
    std::uint16_t keyId = kEmptyKeyId;
    std::string_view name;        // English reference name
    std::uint8_t altVk = 0;       // equal to vk except for the keypad's second meanings
    std::uint8_t deviceCode = 0;  // the firmware's one-byte name of the key or function
    std::string_view languageKey; // empty for rows without a displayed name
};

struct UsageRef {
    std::uint16_t page = 0; // 0 none, 1 system control, 2 mouse, 7 keyboard, 12 consumer
    std::uint16_t usage = 0;
    friend bool operator==(const UsageRef&, const UsageRef&) = default;
};

// Pages of UsageRef.
inline constexpr std::uint16_t kUsagePageNone = 0;
inline constexpr std::uint16_t kUsagePageSystem = 1;
inline constexpr std::uint16_t kUsagePageMouse = 2;
inline constexpr std::uint16_t kUsagePageKeyboard = 7;
inline constexpr std::uint16_t kUsagePageConsumer = 12;

// Type bytes of DeviceKeyEntry.
inline constexpr std::uint8_t kEntryNone = 0;
inline constexpr std::uint8_t kEntryMouse = 1;
inline constexpr std::uint8_t kEntryKeyboard = 2;
inline constexpr std::uint8_t kEntryConsumer = 3;
inline constexpr std::uint8_t kEntrySystem = 4;
inline constexpr std::uint8_t kEntryMacro = 5;
inline constexpr std::uint8_t kEntryExtraKey = 6;
// Byte 1 of a keyboard entry: byte 2 is a modifier mask, or a single key's device code.
inline constexpr std::uint8_t kKeyboardModifiers = 0x01;
inline constexpr std::uint8_t kKeyboardKey = 0x02;

// The keyboard's 3-byte description of what a key does: type and two data bytes.
struct DeviceKeyEntry {
    std::uint8_t type = 0;
    std::uint8_t b1 = 0;
    std::uint8_t b2 = 0;
    friend bool operator==(const DeviceKeyEntry&, const DeviceKeyEntry&) = default;
};

// A key of the keyboard picture: one of the nine G keys, a standard position or Fn. Its number
// is the key's name in the layout tables (the backlight grid, the spiral, the keys off the
// grid) and seeds the preview's still scatter, so it is kept as data; code passes keys as
// this type, never as a bare int.
struct KeyButton {
    int number = 0;
    friend bool operator==(const KeyButton&, const KeyButton&) = default;
};

// Fn: never assigned, only painted in the per-key view.
inline constexpr KeyButton kFnKey{1174};
// The last G key, which opens the macro page only.
inline constexpr KeyButton kMacroKey{1143};

struct KeyPosition {
    KeyCode code;
    std::string_view name;
    KeyButton button;
};

struct MediaKey {
    std::uint16_t consumerUsage;
    KeyCode code;
    std::string_view languageKey;
};

// All 256 rows, indexed by KeyIndex; 157 are filled.
const std::array<KeyInfo, kKeyInfoRows>& KeyInfoTable();
// The keyboard's standard keys in the order the main window numbers its key buttons.
const std::array<KeyPosition, kStandardKeyCount>& KeyPositionList();
// The nine G keys, in bank order.
const std::array<KeyButton, 9>& GKeyButtons();
// Consumer usage of device codes 0xC0 + i (entries 18-31 are 0).
const std::array<std::uint16_t, 32>& ConsumerByDeviceCode();
const std::array<MediaKey, 18>& MediaKeyTable();
inline constexpr int kFunctionKeyCount = 11;
// Language key of keyboard function i: "FUNC_KEY_DESC1" .. "FUNC_KEY_DESC11".
std::string functionKeyLanguageKey(int position);
// The key codes of the eight modifier bits, bit 0 first.
const std::array<KeyCode, 8>& ModifierMask();

KeyIndex keyIndexFromCode(KeyCode code);
KeyCode keyCodeFromIndex(KeyIndex index);
UsageRef usageFromKeyCode(KeyCode code);
KeyCode keyCodeFromUsage(UsageRef usage);
KeyCode keyCodeFromModifierMask(std::uint8_t mask);
// The single bit of a modifier key code, 0 for any other code.
std::uint8_t modifierMaskFromKeyCode(KeyCode code);
KeyCode keyCodeFromEntry(DeviceKeyEntry entry);
// The entry of a mouse button (0x171-0x173) or wheel step (0x161, 0x162); all zero for any
// other code.
DeviceKeyEntry mouseEntryFromKeyCode(KeyCode code);
KeyCode keyCodeFromKeyId(std::uint16_t keyId);
// The displayed name, with the "UNKNOWN_KEY" format as fallback, cut to `capacity` - 1
// UTF-16 units (every caller passes 260).
std::string keyNameFromCode(KeyCode code, const lang::TextLookup& texts,
                            std::size_t capacity = 260);
std::string keyNameFromKeyId(std::uint16_t keyId, const lang::TextLookup& texts);
// A key message or low-level key event: virtual key and key data (bits 16-23 scan code,
// bit 24 extended).
KeyCode keyCodeFromKeyEvent(std::uint8_t vk, std::uint32_t keyData);
KeyCode keyCodeFromMouseMessage(std::uint32_t message);
bool isButtonUpMessage(std::uint32_t message);
bool needsSyntheticPress(KeyCode code);

// Key and macro names travel as UTF-8 in the program and as UTF-16 in the keyboard and the
// files; a malformed sequence on either side becomes U+FFFD.
std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);
// The number of leading units of `text`, at most `units`, that can be kept without cutting a
// surrogate pair in half.
std::size_t utf16CutLength(std::u16string_view text, std::size_t units);

} // namespace velkan::model
