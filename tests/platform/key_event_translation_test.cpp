#include "model/key_codes.h"
#include "platform/key_event_translation.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace velkan::platform {
namespace {

using model::KeyCode;

struct KeyCase {
    std::uint32_t x11KeyCode;
    std::uint32_t keysym;
    KeyCode code;
};

std::optional<KeyCode> codeOf(std::uint32_t x11KeyCode, std::uint32_t keysym, bool release = false,
                              bool autoRepeat = false) {
    const auto event = translateX11Key(x11KeyCode, keysym, release, autoRepeat);
    if (!event) {
        return std::nullopt;
    }
    return model::keyCodeFromKeyEvent(event->vk, event->keyData);
}

bool isMediaCode(KeyCode code) {
    const auto& table = model::MediaKeyTable();
    return std::any_of(table.begin(), table.end(),
                       [code](const model::MediaKey& entry) { return entry.code == code; });
}

// Every key of the chooser and of the board, from its key code and US-layout key symbol.
// Print Screen is taken on its release; Break is Pause with Ctrl held.
constexpr KeyCase kUsKeys[] = {
    {38, 'a', 0x01E},     {56, 'b', 0x030},     {54, 'c', 0x02E},     {40, 'd', 0x020},
    {26, 'e', 0x012},     {41, 'f', 0x021},     {42, 'g', 0x022},     {43, 'h', 0x023},
    {31, 'i', 0x017},     {44, 'j', 0x024},     {45, 'k', 0x025},     {46, 'l', 0x026},
    {58, 'm', 0x032},     {57, 'n', 0x031},     {32, 'o', 0x018},     {33, 'p', 0x019},
    {24, 'q', 0x010},     {27, 'r', 0x013},     {39, 's', 0x01F},     {28, 't', 0x014},
    {30, 'u', 0x016},     {55, 'v', 0x02F},     {25, 'w', 0x011},     {53, 'x', 0x02D},
    {29, 'y', 0x015},     {52, 'z', 0x02C},     {10, '1', 0x002},     {11, '2', 0x003},
    {12, '3', 0x004},     {13, '4', 0x005},     {14, '5', 0x006},     {15, '6', 0x007},
    {16, '7', 0x008},     {17, '8', 0x009},     {18, '9', 0x00A},     {19, '0', 0x00B},
    {36, 0xFF0D, 0x01C},  {9, 0xFF1B, 0x001},   {22, 0xFF08, 0x00E},  {23, 0xFF09, 0x00F},
    {65, ' ', 0x039},     {20, '-', 0x00C},     {21, '=', 0x00D},     {34, '[', 0x01A},
    {35, ']', 0x01B},     {51, '\\', 0x02B},    {47, ';', 0x027},     {48, '\'', 0x028},
    {49, '`', 0x029},     {59, ',', 0x033},     {60, '.', 0x034},     {61, '/', 0x035},
    {67, 0xFFBE, 0x03B},  {68, 0xFFBF, 0x03C},  {69, 0xFFC0, 0x03D},  {70, 0xFFC1, 0x03E},
    {71, 0xFFC2, 0x03F},  {72, 0xFFC3, 0x040},  {73, 0xFFC4, 0x041},  {74, 0xFFC5, 0x042},
    {75, 0xFFC6, 0x043},  {76, 0xFFC7, 0x044},  {95, 0xFFC8, 0x057},  {96, 0xFFC9, 0x058},
    {107, 0xFF61, 0x137}, {127, 0xFF13, 0x045}, {127, 0xFF6B, 0x146}, {118, 0xFF63, 0x152},
    {119, 0xFFFF, 0x153}, {110, 0xFF50, 0x147}, {115, 0xFF57, 0x14F}, {112, 0xFF55, 0x149},
    {117, 0xFF56, 0x151}, {111, 0xFF52, 0x148}, {116, 0xFF54, 0x150}, {113, 0xFF51, 0x14B},
    {114, 0xFF53, 0x14D}, {78, 0xFF14, 0x046},  {66, 0xFFE5, 0x03A},  {77, 0xFF7F, 0x145},
    {135, 0xFF67, 0x15D}, {37, 0xFFE3, 0x01D},  {105, 0xFFE4, 0x11D}, {50, 0xFFE1, 0x02A},
    {62, 0xFFE2, 0x036},  {64, 0xFFE9, 0x038},  {108, 0xFFEA, 0x138}, {133, 0xFFEB, 0x15B},
    {134, 0xFFEC, 0x15C}, {87, 0xFFB1, 0x04F},  {88, 0xFFB2, 0x050},  {89, 0xFFB3, 0x051},
    {83, 0xFFB4, 0x04B},  {84, 0xFFB5, 0x04C},  {85, 0xFFB6, 0x04D},  {79, 0xFFB7, 0x047},
    {80, 0xFFB8, 0x048},  {81, 0xFFB9, 0x049},  {90, 0xFFB0, 0x052},  {104, 0xFF8D, 0x11C},
    {91, 0xFFAE, 0x053},  {106, 0xFFAF, 0x135}, {63, 0xFFAA, 0x037},  {82, 0xFFAD, 0x04A},
    {86, 0xFFAB, 0x04E},  {94, '<', 0x056},     {97, '\\', 0x073}};

TEST(KeyEventTranslation, EveryChooserAndBoardKeyGivesItsCode) {
    std::set<KeyCode> covered;
    for (const auto& [x11KeyCode, keysym, code] : kUsKeys) {
        SCOPED_TRACE(testing::Message() << "key code " << x11KeyCode << " -> " << code);
        EXPECT_EQ(codeOf(x11KeyCode, keysym, true), code);
        const std::optional<KeyCode> pressed = codeOf(x11KeyCode, keysym);
        EXPECT_EQ(pressed,
                  model::needsSyntheticPress(code) ? std::nullopt : std::optional<KeyCode>(code));
        covered.insert(code);
    }
    for (std::uint16_t keyId = 0; keyId < 0x006A; ++keyId) {
        EXPECT_TRUE(covered.count(model::keyCodeFromKeyId(keyId)) == 1) << keyId;
    }
    for (const model::KeyPosition& position : model::KeyPositionList()) {
        EXPECT_TRUE(covered.count(position.code) == 1) << position.name;
    }
}

TEST(KeyEventTranslation, ScanFieldCarriesTheExtendedFlag) {
    const KeyCase cases[] = {
        {105, 0, 0x11D}, {108, 0, 0x138}, {111, 0, 0x148}, {116, 0, 0x150}, {113, 0, 0x14B},
        {114, 0, 0x14D}, {118, 0, 0x152}, {119, 0, 0x153}, {110, 0, 0x147}, {115, 0, 0x14F},
        {112, 0, 0x149}, {117, 0, 0x151}, {104, 0, 0x11C}, {106, 0, 0x135}, {133, 0, 0x15B},
        {134, 0, 0x15C}, {135, 0, 0x15D}, {77, 0, 0x145},  {37, 0, 0x01D},  {64, 0, 0x038},
        {62, 0, 0x036},  {36, 0, 0x01C},  {127, 0, 0x045}, {79, 0, 0x047},  {63, 0, 0x037}};
    for (const auto& [x11KeyCode, keysym, scanField] : cases) {
        const auto event = translateX11Key(x11KeyCode, keysym, false, false);
        ASSERT_TRUE(event.has_value()) << x11KeyCode;
        EXPECT_EQ((event->keyData >> kKeyDataScanShift) & 0x1FF, scanField) << x11KeyCode;
    }
}

TEST(KeyEventTranslation, KeypadGivesTheSameCodeWithNumLockOnAndOff) {
    // Key code, the symbol with Num Lock on, the symbol with it off.
    const std::uint32_t keys[][3] = {
        {90, 0xFFB0, 0xFF9E}, {87, 0xFFB1, 0xFF9C}, {88, 0xFFB2, 0xFF99}, {89, 0xFFB3, 0xFF9B},
        {83, 0xFFB4, 0xFF96}, {84, 0xFFB5, 0xFF9D}, {85, 0xFFB6, 0xFF98}, {79, 0xFFB7, 0xFF95},
        {80, 0xFFB8, 0xFF97}, {81, 0xFFB9, 0xFF9A}, {91, 0xFFAE, 0xFF9F}};
    for (const auto& [x11KeyCode, numLockOn, numLockOff] : keys) {
        const std::optional<KeyCode> code = codeOf(x11KeyCode, numLockOn);
        ASSERT_TRUE(code.has_value()) << x11KeyCode;
        EXPECT_EQ(codeOf(x11KeyCode, numLockOff), code) << x11KeyCode;
        EXPECT_EQ(codeOf(x11KeyCode, 0), code) << x11KeyCode;
    }
}

// The key symbol follows the layout and the modifiers the way a virtual key would.
TEST(KeyEventTranslation, LayoutsAndModifiersMoveOnlyWhatTheyShould) {
    const KeyCase cases[] = {
        {38, 'q', 0x010},        // AZERTY: the key labelled Q sits where US has A
        {24, 'a', 0x01E},        // ... and A where US has Q
        {38, 'A', 0x01E},        // Shift or Caps Lock
        {38, 0x6C6, 0x01E},      // a Cyrillic letter keeps its place
        {10, '!', 0x002},        // Shift+1
        {10, '&', 0x002},        // AZERTY's unshifted 1
        {23, 0xFE20, 0x00F},     // Shift+Tab
        {108, 0xFE03, 0x138},    // AltGr
        {66, 0xFFE3, 0x01D},     // Caps Lock made a Ctrl
        {107, 0xFF15, 0x054},    // Alt+Print Screen
        {67, 0x1008FE01, 0x03B}, // Ctrl+Alt+F1 switches consoles
    };
    for (const auto& [x11KeyCode, keysym, code] : cases) {
        EXPECT_EQ(codeOf(x11KeyCode, keysym, true), code) << x11KeyCode << " " << keysym;
    }
}

TEST(KeyEventTranslation, TransitionBitsFollowTheHookConvention) {
    // release, auto-repeat, then the expected release and auto-repeat readings.
    const bool cases[][4] = {
        {false, false, false, false}, {false, true, false, true}, {true, false, true, false}};
    for (const auto& [release, autoRepeat, isRelease, isAutoRepeat] : cases) {
        const auto event = translateX11Key(38, 'a', release, autoRepeat);
        ASSERT_TRUE(event.has_value());
        EXPECT_EQ(event->isRelease(), isRelease);
        EXPECT_EQ(event->isAutoRepeat(), isAutoRepeat);
        EXPECT_EQ((event->keyData & kKeyDataPreviousDown) != 0, release || autoRepeat);
    }
    // A held key repeats its press; the release between repeats is not passed on.
    EXPECT_FALSE(translateX11Key(38, 'a', true, true).has_value());
}

TEST(KeyEventTranslation, WindowsAndMenuKeysAreCapturedNotPassed) {
    const KeyCase cases[] = {{133, 0xFFEB, 0x15B}, {134, 0xFFEC, 0x15C}, {135, 0xFF67, 0x15D}};
    for (const auto& [x11KeyCode, keysym, code] : cases) {
        for (const bool release : {false, true}) {
            const auto event = translateX11Key(x11KeyCode, keysym, release, false);
            ASSERT_TRUE(event.has_value());
            EXPECT_EQ(event->vk, code & 0xFF);
            EXPECT_EQ(model::keyCodeFromKeyEvent(event->vk, event->keyData), code);
            EXPECT_FALSE(isPassThroughKey(*event));
        }
    }
}

TEST(KeyEventTranslation, MultimediaKeysPassThrough) {
    // Key code and symbol as the USB keyboard's consumer keys arrive; media player and My
    // Computer also as PS/2 keyboards send them, play and pause also as separate keys.
    const KeyCase cases[] = {
        {179, 0x1008FF81, 0x16D}, {234, 0x1008FF32, 0x16D}, {172, 0x1008FF14, 0x122},
        {208, 0x1008FF14, 0x122}, {209, 0x1008FF31, 0x122}, {174, 0x1008FF15, 0x124},
        {173, 0x1008FF16, 0x110}, {171, 0x1008FF17, 0x119}, {122, 0x1008FF11, 0x12E},
        {123, 0x1008FF13, 0x130}, {121, 0x1008FF12, 0x120}, {180, 0x1008FF18, 0x132},
        {181, 0x1008FF73, 0x167}, {136, 0xFF69, 0x168},     {166, 0x1008FF26, 0x16A},
        {167, 0x1008FF27, 0x169}, {164, 0x1008FF30, 0x166}, {225, 0x1008FF1B, 0x165},
        {152, 0x1008FF5D, 0x16B}, {165, 0x1008FF33, 0x16B}, {148, 0x1008FF1D, 0x121},
        {163, 0x1008FF19, 0x16C}};
    std::set<KeyCode> covered;
    for (const auto& [x11KeyCode, keysym, code] : cases) {
        const auto event = translateX11Key(x11KeyCode, keysym, false, false);
        ASSERT_TRUE(event.has_value()) << x11KeyCode;
        EXPECT_EQ(model::keyCodeFromKeyEvent(event->vk, event->keyData), code) << x11KeyCode;
        EXPECT_TRUE(isPassThroughKey(*event)) << x11KeyCode;
        EXPECT_TRUE(isMediaCode(code)) << x11KeyCode;
        covered.insert(code);
    }
    EXPECT_EQ(covered.size(), model::MediaKeyTable().size());
}

// Whatever the key, the event names a key, passes through exactly when that key is a
// multimedia key, and drops its press exactly when the key-code rules add one themselves.
TEST(KeyEventTranslation, EveryKnownKeyAgreesWithTheKeyCodeRules) {
    int known = 0;
    for (std::uint32_t x11KeyCode = 0; x11KeyCode < 256; ++x11KeyCode) {
        const auto released = translateX11Key(x11KeyCode, 0, true, false);
        if (!released) {
            EXPECT_FALSE(translateX11Key(x11KeyCode, 0, false, false).has_value());
            continue;
        }
        ++known;
        const KeyCode code = model::keyCodeFromKeyEvent(released->vk, released->keyData);
        EXPECT_NE(code, 0) << x11KeyCode;
        EXPECT_EQ(isPassThroughKey(*released), isMediaCode(code)) << x11KeyCode;
        EXPECT_EQ(translateX11Key(x11KeyCode, 0, false, false).has_value(),
                  !model::needsSyntheticPress(code))
            << x11KeyCode;
    }
    EXPECT_GT(known, 120);
}

TEST(KeyEventTranslation, UnknownKeysAreNotTranslated) {
    // Below the first key code, no key, the power key, past the last key code.
    const std::uint32_t keyCodes[] = {0, 7, 8, 124, 255, 256, 0xFFFFFFFF};
    for (const std::uint32_t x11KeyCode : keyCodes) {
        EXPECT_FALSE(translateX11Key(x11KeyCode, 'a', false, false).has_value()) << x11KeyCode;
        EXPECT_FALSE(translateX11Key(x11KeyCode, 0, true, false).has_value()) << x11KeyCode;
    }
}

} // namespace
} // namespace velkan::platform
