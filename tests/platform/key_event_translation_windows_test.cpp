#include "model/key_codes.h"
#include "platform/key_event_translation.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace velkan::platform {
namespace {

using model::KeyCode;

// A key as Windows reports it (virtual key and native scan code, 0x100 for the 0xE0 prefix)
// and the key code the key-code rules must make of the event.
struct KeyCase {
    const char* name;
    std::uint32_t vk;
    std::uint32_t scan;
    std::uint8_t expectedVk;
    KeyCode code;
};

constexpr KeyCase kKeys[] = {
    {"A", 0x41, 0x1E, 0x41, 0x01E},
    {"1", 0x31, 0x02, 0x31, 0x002},
    {"Enter", 0x0D, 0x1C, 0x0D, 0x01C},
    {"keypad Enter", 0x0D, 0x11C, 0x0D, 0x11C},
    {"left Shift", 0x10, 0x2A, 0xA0, 0x02A},
    {"right Shift", 0x10, 0x36, 0xA1, 0x036},
    {"left Ctrl", 0x11, 0x1D, 0xA2, 0x01D},
    {"right Ctrl", 0x11, 0x11D, 0xA3, 0x11D},
    {"left Alt", 0x12, 0x38, 0xA4, 0x038},
    {"right Alt", 0x12, 0x138, 0xA5, 0x138},
    {"Num Lock", 0x90, 0x145, 0x90, 0x145},
    {"Pause", 0x13, 0x45, 0x13, 0x045},
    {"Break", 0x03, 0x146, 0x03, 0x146},
    {"Home", 0x24, 0x147, 0x24, 0x147},
    {"keypad 7, Num Lock off", 0x24, 0x47, 0x24, 0x047},
    {"keypad 7, Num Lock on", 0x67, 0x47, 0x67, 0x047},
    {"keypad /", 0x6F, 0x135, 0x6F, 0x135},
    {"left Windows", 0x5B, 0x15B, 0x5B, 0x15B},
    {"Menu", 0x5D, 0x15D, 0x5D, 0x15D},
    {"F12", 0x7B, 0x58, 0x7B, 0x058},
    {"Henkan, no virtual key", 0xFF, 0x79, 0xFF, 0x079},
};

KeyCode codeOf(const NativeKeyEvent& event) {
    return model::keyCodeFromKeyEvent(event.vk, event.keyData);
}

TEST(WindowsKeyEventTranslation, BoardKeysGiveTheirCodesAndSides) {
    for (const KeyCase& key : kKeys) {
        for (const bool release : {false, true}) {
            SCOPED_TRACE(std::string(key.name) + (release ? " released" : " pressed"));
            const auto event = translateWindowsKey(key.vk, key.scan, release, false);
            ASSERT_TRUE(event.has_value());
            EXPECT_EQ(event->vk, key.expectedVk);
            EXPECT_EQ(codeOf(*event), key.code);
            EXPECT_EQ(event->isRelease(), release);
            EXPECT_EQ((event->keyData & kKeyDataExtended) != 0, key.scan > 0xFF);
            EXPECT_FALSE(isPassThroughKey(*event));
        }
        const auto repeat = translateWindowsKey(key.vk, key.scan, false, true);
        ASSERT_TRUE(repeat.has_value()) << key.name;
        EXPECT_TRUE(repeat->isAutoRepeat()) << key.name;
        // The release between repeats of a held key is not one.
        EXPECT_FALSE(translateWindowsKey(key.vk, key.scan, true, true).has_value()) << key.name;
    }
}

TEST(WindowsKeyEventTranslation, KeysTakenOnTheirReleaseAloneAndMediaKeys) {
    struct Case {
        const char* name;
        std::uint32_t vk;
        std::uint32_t scan;
        bool passesThrough;
    };
    const Case cases[] = {
        {"Print Screen", 0x2C, 0x137, false}, {"Sys Req (Alt+Print)", 0x2C, 0x54, false},
        {"volume up", 0xAF, 0x130, true},     {"mute", 0xAD, 0x120, true},
        {"play/pause", 0xB3, 0x122, true},    {"calculator", 0xB7, 0x121, true},
        {"browser back", 0xA6, 0x16A, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto released = translateWindowsKey(c.vk, c.scan, true, false);
        ASSERT_TRUE(released.has_value());
        const KeyCode code = codeOf(*released);
        EXPECT_NE(code, 0);
        EXPECT_EQ(isPassThroughKey(*released), c.passesThrough);
        // A press exactly where the key-code rules do not add one themselves.
        EXPECT_EQ(translateWindowsKey(c.vk, c.scan, false, false).has_value(),
                  !model::needsSyntheticPress(code));
    }
}

TEST(WindowsKeyEventTranslation, EventsWithoutAKeyAreNotTranslated) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {0x00, 0x1E},  // no virtual key
        {0x41, 0x00},  // no scan code: a key made up by software
        {0x41, 0x100}, // the prefix alone
        {0x100, 0x1E}, // past the virtual keys
        {0x41, 0x21E}, // past the scan codes
    };
    for (const auto& [vk, scan] : cases) {
        EXPECT_FALSE(translateWindowsKey(vk, scan, false, false).has_value()) << vk << "/" << scan;
        EXPECT_FALSE(translateWindowsKey(vk, scan, true, false).has_value()) << vk << "/" << scan;
    }
}

} // namespace
} // namespace velkan::platform
