#include "platform/key_event_translation.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <linux/input-event-codes.h>

namespace velkan::platform {

namespace {

// xkb numbers keys as the kernel does, shifted by 8.
constexpr std::uint32_t kXkbKeyCodeOffset = 8;
constexpr std::size_t kXkbKeyCodeCount = 256;

struct KeyPlace {
    std::uint16_t evdevCode = 0;
    std::uint16_t scan = 0; // 0: the program has no name for the key
    std::uint8_t vk = 0;    // the key's virtual key on a US layout
};

// Every key the key tables name. Num Lock and Pause trade make codes, as the key tables expect;
// keys that no virtual key describes carry 0xFF, which lets the scan code alone decide.
constexpr KeyPlace kKeyPlaces[] = {
    {KEY_ESC, 0x01, 0x1B},
    {KEY_1, 0x02, 0x31},
    {KEY_2, 0x03, 0x32},
    {KEY_3, 0x04, 0x33},
    {KEY_4, 0x05, 0x34},
    {KEY_5, 0x06, 0x35},
    {KEY_6, 0x07, 0x36},
    {KEY_7, 0x08, 0x37},
    {KEY_8, 0x09, 0x38},
    {KEY_9, 0x0A, 0x39},
    {KEY_0, 0x0B, 0x30},
    {KEY_MINUS, 0x0C, 0xBD},
    {KEY_EQUAL, 0x0D, 0xBB},
    {KEY_BACKSPACE, 0x0E, 0x08},
    {KEY_TAB, 0x0F, 0x09},
    {KEY_Q, 0x10, 0x51},
    {KEY_W, 0x11, 0x57},
    {KEY_E, 0x12, 0x45},
    {KEY_R, 0x13, 0x52},
    {KEY_T, 0x14, 0x54},
    {KEY_Y, 0x15, 0x59},
    {KEY_U, 0x16, 0x55},
    {KEY_I, 0x17, 0x49},
    {KEY_O, 0x18, 0x4F},
    {KEY_P, 0x19, 0x50},
    {KEY_LEFTBRACE, 0x1A, 0xDB},
    {KEY_RIGHTBRACE, 0x1B, 0xDD},
    {KEY_ENTER, 0x1C, 0x0D},
    {KEY_LEFTCTRL, 0x1D, 0xA2},
    {KEY_A, 0x1E, 0x41},
    {KEY_S, 0x1F, 0x53},
    {KEY_D, 0x20, 0x44},
    {KEY_F, 0x21, 0x46},
    {KEY_G, 0x22, 0x47},
    {KEY_H, 0x23, 0x48},
    {KEY_J, 0x24, 0x4A},
    {KEY_K, 0x25, 0x4B},
    {KEY_L, 0x26, 0x4C},
    {KEY_SEMICOLON, 0x27, 0xBA},
    {KEY_APOSTROPHE, 0x28, 0xDE},
    {KEY_GRAVE, 0x29, 0xC0},
    {KEY_LEFTSHIFT, 0x2A, 0xA0},
    {KEY_BACKSLASH, 0x2B, 0xDC},
    {KEY_Z, 0x2C, 0x5A},
    {KEY_X, 0x2D, 0x58},
    {KEY_C, 0x2E, 0x43},
    {KEY_V, 0x2F, 0x56},
    {KEY_B, 0x30, 0x42},
    {KEY_N, 0x31, 0x4E},
    {KEY_M, 0x32, 0x4D},
    {KEY_COMMA, 0x33, 0xBC},
    {KEY_DOT, 0x34, 0xBE},
    {KEY_SLASH, 0x35, 0xBF},
    {KEY_RIGHTSHIFT, 0x36, 0xA1},
    {KEY_KPASTERISK, 0x37, 0x6A},
    {KEY_LEFTALT, 0x38, 0xA4},
    {KEY_SPACE, 0x39, 0x20},
    {KEY_CAPSLOCK, 0x3A, 0x14},
    {KEY_F1, 0x3B, 0x70},
    {KEY_F2, 0x3C, 0x71},
    {KEY_F3, 0x3D, 0x72},
    {KEY_F4, 0x3E, 0x73},
    {KEY_F5, 0x3F, 0x74},
    {KEY_F6, 0x40, 0x75},
    {KEY_F7, 0x41, 0x76},
    {KEY_F8, 0x42, 0x77},
    {KEY_F9, 0x43, 0x78},
    {KEY_F10, 0x44, 0x79},
    {KEY_NUMLOCK, kScanE0 | 0x45, 0x90},
    {KEY_SCROLLLOCK, 0x46, 0x91},
    {KEY_KP7, 0x47, 0x67},
    {KEY_KP8, 0x48, 0x68},
    {KEY_KP9, 0x49, 0x69},
    {KEY_KPMINUS, 0x4A, 0x6D},
    {KEY_KP4, 0x4B, 0x64},
    {KEY_KP5, 0x4C, 0x65},
    {KEY_KP6, 0x4D, 0x66},
    {KEY_KPPLUS, 0x4E, 0x6B},
    {KEY_KP1, 0x4F, 0x61},
    {KEY_KP2, 0x50, 0x62},
    {KEY_KP3, 0x51, 0x63},
    {KEY_KP0, 0x52, 0x60},
    {KEY_KPDOT, 0x53, 0x6E},
    {KEY_102ND, 0x56, 0xE2},
    {KEY_F11, 0x57, 0x7A},
    {KEY_F12, 0x58, 0x7B},
    {KEY_RO, 0x73, 0xC1},
    {KEY_HENKAN, 0x79, 0xFF},
    {KEY_KATAKANAHIRAGANA, 0x70, 0xFF},
    {KEY_MUHENKAN, 0x7B, 0xEB},
    {KEY_KPENTER, kScanE0 | 0x1C, 0x0D},
    {KEY_RIGHTCTRL, kScanE0 | 0x1D, 0xA3},
    {KEY_KPSLASH, kScanE0 | 0x35, 0x6F},
    {KEY_SYSRQ, kScanE0 | 0x37, 0x2C},
    {KEY_RIGHTALT, kScanE0 | 0x38, 0xA5},
    {KEY_HOME, kScanE0 | 0x47, 0x24},
    {KEY_UP, kScanE0 | 0x48, 0x26},
    {KEY_PAGEUP, kScanE0 | 0x49, 0x21},
    {KEY_LEFT, kScanE0 | 0x4B, 0x25},
    {KEY_RIGHT, kScanE0 | 0x4D, 0x27},
    {KEY_END, kScanE0 | 0x4F, 0x23},
    {KEY_DOWN, kScanE0 | 0x50, 0x28},
    {KEY_PAGEDOWN, kScanE0 | 0x51, 0x22},
    {KEY_INSERT, kScanE0 | 0x52, 0x2D},
    {KEY_DELETE, kScanE0 | 0x53, 0x2E},
    {KEY_MUTE, kScanE0 | 0x20, 0xAD},
    {KEY_VOLUMEDOWN, kScanE0 | 0x2E, 0xAE},
    {KEY_VOLUMEUP, kScanE0 | 0x30, 0xAF},
    {KEY_PAUSE, 0x45, 0x13},
    {KEY_KPCOMMA, 0x7E, 0xC2},
    {KEY_HANGEUL, 0x72, 0xFF},
    {KEY_HANJA, 0x71, 0xE9},
    {KEY_YEN, 0x7D, 0xFF},
    {KEY_LEFTMETA, kScanE0 | 0x5B, 0x5B},
    {KEY_RIGHTMETA, kScanE0 | 0x5C, 0x5C},
    {KEY_COMPOSE, kScanE0 | 0x5D, 0x5D},
    {KEY_STOP, kScanE0 | 0x68, 0xA9},
    {KEY_CALC, kScanE0 | 0x21, 0xB7},
    // USB keyboards report My Computer as the file browser, PS/2 ones as the computer.
    {KEY_FILE, kScanE0 | 0x6B, 0xB6},
    {KEY_MAIL, kScanE0 | 0x6C, 0xB4},
    {KEY_BOOKMARKS, kScanE0 | 0x66, 0xAB},
    {KEY_COMPUTER, kScanE0 | 0x6B, 0xB6},
    {KEY_BACK, kScanE0 | 0x6A, 0xA6},
    {KEY_FORWARD, kScanE0 | 0x69, 0xA7},
    {KEY_NEXTSONG, kScanE0 | 0x19, 0xB0},
    {KEY_PLAYPAUSE, kScanE0 | 0x22, 0xB3},
    {KEY_PREVIOUSSONG, kScanE0 | 0x10, 0xB1},
    {KEY_STOPCD, kScanE0 | 0x24, 0xB2},
    // Likewise the media player key: USB keyboards send the control-panel usage.
    {KEY_CONFIG, kScanE0 | 0x6D, 0xB5},
    {KEY_HOMEPAGE, kScanE0 | 0x32, 0xAC},
    {KEY_REFRESH, kScanE0 | 0x67, 0xA8},
    {KEY_F13, 0x64, 0x7C},
    // Keyboards with separate play and pause keys.
    {KEY_PLAYCD, kScanE0 | 0x22, 0xB3},
    {KEY_PAUSECD, kScanE0 | 0x22, 0xB3},
    {KEY_SEARCH, kScanE0 | 0x65, 0xAA},
    {KEY_MEDIA, kScanE0 | 0x6D, 0xB5},
};

constexpr std::array<KeyPlace, kXkbKeyCodeCount> buildPlacesByKeyCode() {
    std::array<KeyPlace, kXkbKeyCodeCount> places{};
    for (const KeyPlace& place : kKeyPlaces) {
        places[place.evdevCode + kXkbKeyCodeOffset] = place;
    }
    return places;
}

constexpr bool keyCodesFitAndDiffer() {
    std::array<bool, kXkbKeyCodeCount> seen{};
    for (const KeyPlace& place : kKeyPlaces) {
        const std::size_t at = place.evdevCode + kXkbKeyCodeOffset;
        if (at >= kXkbKeyCodeCount || seen[at] || place.scan == 0) {
            return false;
        }
        seen[at] = true;
    }
    return true;
}
static_assert(keyCodesFitAndDiffer());

constexpr std::array<KeyPlace, kXkbKeyCodeCount> kPlacesByKeyCode = buildPlacesByKeyCode();

// Key symbols, as the X protocol numbers them.
constexpr std::uint32_t kSymSysReq = 0xFF15;
constexpr std::uint32_t kSymKeypadFirstDigit = 0xFFB0;
constexpr std::uint32_t kSymKeypadLastDigit = 0xFFB9;
constexpr std::uint32_t kSymFirstFunctionKey = 0xFFBE; // F1
constexpr std::uint32_t kSymLastFunctionKey = 0xFFCA;  // F13, the last the key tables name

struct SymbolVk {
    std::uint32_t keysym;
    std::uint8_t vk;
};

// Symbols that name one key or function whatever the layout. Punctuation is left out on
// purpose: its symbols move between keys with Shift and from layout to layout, so those
// keys keep the virtual key of their place.
constexpr SymbolVk kSymbolVks[] = {
    {0x0020, 0x20},     // space
    {0xFE20, 0x09},     // ISO_Left_Tab (Shift+Tab)
    {0xFF08, 0x08},     // BackSpace
    {0xFF09, 0x09},     // Tab
    {0xFF0D, 0x0D},     // Return
    {0xFF13, 0x13},     // Pause
    {0xFF14, 0x91},     // Scroll_Lock
    {kSymSysReq, 0x2C}, // Sys_Req
    {0xFF1B, 0x1B},     // Escape
    {0xFF50, 0x24},     // Home
    {0xFF51, 0x25},     // Left
    {0xFF52, 0x26},     // Up
    {0xFF53, 0x27},     // Right
    {0xFF54, 0x28},     // Down
    {0xFF55, 0x21},     // Prior
    {0xFF56, 0x22},     // Next
    {0xFF57, 0x23},     // End
    {0xFF61, 0x2C},     // Print
    {0xFF63, 0x2D},     // Insert
    {0xFF67, 0x5D},     // Menu
    {0xFF6B, 0x03},     // Break
    {0xFF7F, 0x90},     // Num_Lock
    {0xFF8D, 0x0D},     // KP_Enter
    {0xFF95, 0x24},     // KP_Home
    {0xFF96, 0x25},     // KP_Left
    {0xFF97, 0x26},     // KP_Up
    {0xFF98, 0x27},     // KP_Right
    {0xFF99, 0x28},     // KP_Down
    {0xFF9A, 0x21},     // KP_Prior
    {0xFF9B, 0x22},     // KP_Next
    {0xFF9C, 0x23},     // KP_End
    {0xFF9D, 0x0C},     // KP_Begin
    {0xFF9E, 0x2D},     // KP_Insert
    {0xFF9F, 0x2E},     // KP_Delete
    {0xFFAA, 0x6A},     // KP_Multiply
    {0xFFAB, 0x6B},     // KP_Add
    {0xFFAD, 0x6D},     // KP_Subtract
    {0xFFAE, 0x6E},     // KP_Decimal
    {0xFFAF, 0x6F},     // KP_Divide
    {0xFFE1, 0xA0},     // Shift_L
    {0xFFE2, 0xA1},     // Shift_R
    {0xFFE3, 0xA2},     // Control_L
    {0xFFE4, 0xA3},     // Control_R
    {0xFFE5, 0x14},     // Caps_Lock
    {0xFFE9, 0xA4},     // Alt_L
    {0xFFEA, 0xA5},     // Alt_R
    {0xFFEB, 0x5B},     // Super_L
    {0xFFEC, 0x5C},     // Super_R
    {0xFFFF, 0x2E},     // Delete
    {0x1008FF11, 0xAE}, // XF86AudioLowerVolume
    {0x1008FF12, 0xAD}, // XF86AudioMute
    {0x1008FF13, 0xAF}, // XF86AudioRaiseVolume
    {0x1008FF14, 0xB3}, // XF86AudioPlay
    {0x1008FF15, 0xB2}, // XF86AudioStop
    {0x1008FF16, 0xB1}, // XF86AudioPrev
    {0x1008FF17, 0xB0}, // XF86AudioNext
    {0x1008FF18, 0xAC}, // XF86HomePage
    {0x1008FF19, 0xB4}, // XF86Mail
    {0x1008FF1B, 0xAA}, // XF86Search
    {0x1008FF1D, 0xB7}, // XF86Calculator
    {0x1008FF26, 0xA6}, // XF86Back
    {0x1008FF27, 0xA7}, // XF86Forward
    {0x1008FF28, 0xA9}, // XF86Stop
    {0x1008FF29, 0xA8}, // XF86Refresh
    {0x1008FF30, 0xAB}, // XF86Favorites
    {0x1008FF31, 0xB3}, // XF86AudioPause
    {0x1008FF32, 0xB5}, // XF86AudioMedia
    {0x1008FF33, 0xB6}, // XF86MyComputer
    {0x1008FF5D, 0xB6}, // XF86Explorer
    {0x1008FF73, 0xA8}, // XF86Reload
};

// Letters and digits take their own virtual key on every layout; a layout that moves them
// moves the captured key with them.
std::optional<std::uint8_t> vkFromKeysym(std::uint32_t keysym) {
    if ((keysym >= '0' && keysym <= '9') || (keysym >= 'A' && keysym <= 'Z')) {
        return static_cast<std::uint8_t>(keysym);
    }
    if (keysym >= 'a' && keysym <= 'z') {
        return static_cast<std::uint8_t>(keysym - 'a' + 'A');
    }
    if (keysym >= kSymKeypadFirstDigit && keysym <= kSymKeypadLastDigit) {
        return static_cast<std::uint8_t>(0x60 + (keysym - kSymKeypadFirstDigit));
    }
    if (keysym >= kSymFirstFunctionKey && keysym <= kSymLastFunctionKey) {
        return static_cast<std::uint8_t>(0x70 + (keysym - kSymFirstFunctionKey));
    }
    const auto found =
        std::find_if(std::begin(kSymbolVks), std::end(kSymbolVks),
                     [keysym](const SymbolVk& entry) { return entry.keysym == keysym; });
    if (found == std::end(kSymbolVks)) {
        return std::nullopt;
    }
    return found->vk;
}

constexpr std::uint16_t kSysReqScan = 0x54;

} // namespace

std::optional<NativeKeyEvent> translateX11Key(std::uint32_t x11KeyCode, std::uint32_t keysym,
                                              bool release, bool autoRepeat) {
    if (x11KeyCode >= kXkbKeyCodeCount) {
        return std::nullopt;
    }
    const KeyPlace& place = kPlacesByKeyCode[x11KeyCode];
    // A held key repeats its press only; a release in the middle of the repeat is not one.
    if (place.scan == 0 || (release && autoRepeat)) {
        return std::nullopt;
    }
    // With Alt held, Print Screen answers as the old Sys Req key.
    const std::uint16_t scan =
        place.evdevCode == KEY_SYSRQ && keysym == kSymSysReq ? kSysReqScan : place.scan;
    return nativeKeyEvent(vkFromKeysym(keysym).value_or(place.vk), scan, release, autoRepeat);
}

std::optional<NativeKeyEvent> translateNativeKey(std::uint32_t nativeScanCode,
                                                 std::uint32_t nativeVirtualKey, bool release,
                                                 bool autoRepeat) {
    return translateX11Key(nativeScanCode, nativeVirtualKey, release, autoRepeat);
}

} // namespace velkan::platform
