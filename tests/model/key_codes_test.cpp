#include "model/key_codes.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace velkan::model {
namespace {

class MapTexts : public lang::TextLookup {
public:
    std::string lookup(lang::TextSection, std::string_view key) const override {
        const auto found = texts.find(key);
        return found == texts.end() ? std::string(lang::kMissingText) : found->second;
    }
    std::map<std::string, std::string, std::less<>> texts;
};

const std::string kSmile = "\xF0\x9F\x98\x80"; // one code point, two UTF-16 units

// The first and last rows, rows beside gaps, a keypad second meaning and the rows whose key
// id or device code repeats another row's.
TEST(KeyInfoTable, BoundaryRowsHoldEveryField) {
    using Row = std::tuple<KeyIndex, int, int, int, int, std::string_view, std::string_view>;
    const Row rows[] = {{1, 0x1B, 0x1B, 0x29, 0x0025, "Esc", "IDS_KEYBOARD_ESC"},
                        {54, 0xA1, 0xA1, 0xE5, 0x0067, "Right Shift", "IDS_KEYBOARD_RSHIFT"},
                        {83, 0x6E, 0x2E, 0x63, 0x005F, "Num .", "IDS_KEYBOARD_S_DEL"},
                        {84, 0x2C, 0x2C, 0x00, 0x8012, "Sys Req", "IDS_KEYBOARD_SYSREQ"},
                        {100, 0x7C, 0x7C, 0x00, 0x802D, "F13", ""},
                        {126, 0xC2, 0xC2, 0x85, 0x8015, "K107", "IDS_KEYBOARD_K107"},
                        {144, 0xB1, 0xB1, 0xD0, 0x8021, "Prev Track", "MEDIA_PREV_TRACK_4"},
                        {182, 0xA1, 0xA1, 0xE5, 0x0067, "Right Shift", "IDS_KEYBOARD_RSHIFT"},
                        {198, 0x03, 0x03, 0x48, 0x0042, "Break", "IDS_KEYBOARD_BREAK"},
                        {200, 0x26, 0x26, 0x52, 0x0049, "\xE2\x86\x91", "IDS_KEYBOARD_UP"},
                        {254, 0x9F, 0x9F, 0x00, 0x8011, "Calendar", "IDS_KEYBOARD_FUNC_CALENDAR"}};
    for (const auto& [index, vk, altVk, device, keyId, name, languageKey] : rows) {
        const KeyInfo& r = KeyInfoTable()[index];
        EXPECT_EQ(Row(index, r.vk, r.altVk, r.deviceCode, r.keyId, r.name, r.languageKey),
                  Row(index, vk, altVk, device, keyId, name, languageKey));
    }
}

TEST(KeyInfoTable, FilledRowsAndChooserIdsAreComplete) {
    int filled = 0;
    int secondMeanings = 0;
    std::multiset<std::uint16_t> chooserIds;
    for (const KeyInfo& r : KeyInfoTable()) {
        if (r.keyId == kEmptyKeyId) {
            EXPECT_TRUE(r.vk == 0 && r.altVk == 0 && r.deviceCode == 0 && r.name.empty() &&
                        r.languageKey.empty());
            continue;
        }
        ++filled;
        secondMeanings += r.altVk != r.vk ? 1 : 0;
        if (r.keyId < 0x8000) {
            chooserIds.insert(r.keyId);
        }
    }
    EXPECT_EQ(filled, 157);
    EXPECT_EQ(secondMeanings, 11);
    // Chooser places 0x00-0x6F are taken once each, but for the unused 0x6A and right Shift.
    for (std::uint16_t id = 0; id <= 0x6F; ++id) {
        EXPECT_EQ(chooserIds.count(id), id == 0x6A ? 0U : id == 0x67 ? 2U : 1U) << id;
    }
    EXPECT_EQ(chooserIds.size(), 112U);
}

TEST(KeyTables, PositionsMediaAndFunctionsAgreeWithTheKeyTable) {
    std::set<KeyCode> codes;
    // Every key of the picture is one key: no two share a button.
    std::set<int> buttons{kFnKey.number};
    for (const KeyButton gKey : GKeyButtons()) {
        buttons.insert(gKey.number);
    }
    for (const KeyPosition& position : KeyPositionList()) {
        EXPECT_EQ(KeyInfoTable()[keyIndexFromCode(position.code)].name, position.name);
        codes.insert(position.code);
        buttons.insert(position.button.number);
    }
    EXPECT_EQ(codes.size(), kStandardKeyCount);
    EXPECT_EQ(buttons.size(), kStandardKeyCount + 9 + 1);
    for (const MediaKey& media : MediaKeyTable()) {
        const KeyInfo& row = KeyInfoTable()[keyIndexFromCode(media.code)];
        EXPECT_EQ(row.languageKey, media.languageKey);
        ASSERT_GE(row.deviceCode, 0xC0);
        EXPECT_EQ(ConsumerByDeviceCode()[row.deviceCode - 0xC0U], media.consumerUsage);
    }
    EXPECT_EQ(ConsumerByDeviceCode()[18], 0);
    EXPECT_EQ(functionKeyLanguageKey(0), "FUNC_KEY_DESC1");
    EXPECT_EQ(functionKeyLanguageKey(10), "FUNC_KEY_DESC11");
    EXPECT_EQ(functionKeyLanguageKey(11), "");
}

TEST(KeyCodeConversions, CodesIndexesEntriesUsagesMasksAndIds) {
    const std::pair<KeyCode, KeyIndex> indexes[] = {{0x000, 0},   {0x045, 69},  {0x07F, 127},
                                                    {0x101, 129}, {0x145, 197}, {0x17F, 255},
                                                    {0x200, 256}, {0x211, 273}};
    for (const auto& [code, index] : indexes) {
        EXPECT_EQ(keyIndexFromCode(code), index) << code;
        EXPECT_EQ(keyCodeFromIndex(index), code) << index;
    }
    EXPECT_EQ(keyCodeFromIndex(274), 0);

    const std::pair<DeviceKeyEntry, KeyCode> entries[] = {
        {{2, 2, 0x04}, 0x01E},  {{2, 1, 0x03}, 0x01D}, {{3, 0xE2, 0}, 0x120}, {{2, 2, 0xCD}, 0x120},
        {{4, 0x82, 0}, 0x15F},  {{1, 5, 0xFF}, 0x162}, {{5, 1, 0}, 0},        {{6, 0xA2, 1}, 0x200},
        {{6, 0xA2, 18}, 0x211}, {{6, 0xA2, 19}, 0},    {{6, 0xA2, 0}, 0},     {{6, 0xA1, 1}, 0},
        {{1, 1, 0x04}, 0x173},  {{1, 1, 0x08}, 0},     {{2, 1, 0x60}, 0x036}, {{2, 1, 0}, 0},
        {{2, 2, 0x48}, 0x045},  {{2, 2, 0xE5}, 0x036}, {{4, 0x81, 1}, 0},     {{7, 2, 4}, 0}};
    for (const auto& [entry, code] : entries) {
        EXPECT_EQ(keyCodeFromEntry(entry), code)
            << int{entry.type} << ' ' << int{entry.b1} << ' ' << int{entry.b2};
        if (entry.type == kEntryMouse && code != 0) {
            EXPECT_EQ(mouseEntryFromKeyCode(code), entry);
        }
    }
    EXPECT_EQ(mouseEntryFromKeyCode(0x01E), DeviceKeyEntry{});

    const std::pair<KeyCode, UsageRef> usages[] = {
        {0x171, {2, 0xF1}}, {0x15E, {1, 0x81}}, {0x120, {7, 0xCD}}, {0x01E, {7, 0x04}},
        {0x054, {0, 0}},    {0x070, {7, 0x88}}, {0x200, {0, 0}}};
    for (const auto& [code, usage] : usages) {
        EXPECT_EQ(usageFromKeyCode(code), usage) << code;
    }
    const std::pair<UsageRef, KeyCode> backward[] = {
        {{7, 0x04}, 0x01E}, {{7, 0}, 0},    {{7, 0x104}, 0},     {{1, 0x82}, 0x15F}, {{1, 0x84}, 0},
        {{1, 0x04}, 0},     {{2, 0xF1}, 0}, {{12, 0xCD}, 0x122}, {{12, 0x1234}, 0}};
    for (const auto& [usage, code] : backward) {
        EXPECT_EQ(keyCodeFromUsage(usage), code) << usage.page << ':' << usage.usage;
    }

    const std::pair<std::uint8_t, KeyCode> masks[] = {{0x01, 0x01D}, {0x08, 0x15B}, {0x20, 0x036},
                                                      {0x80, 0x15C}, {0x00, 0},     {0xFF, 0x01D}};
    for (const auto& [mask, code] : masks) {
        EXPECT_EQ(keyCodeFromModifierMask(mask), code) << int{mask};
    }
    for (std::size_t bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(modifierMaskFromKeyCode(ModifierMask()[bit]), 1U << bit);
    }
    EXPECT_EQ(modifierMaskFromKeyCode(0x136), 0);

    const std::pair<std::uint16_t, KeyCode> ids[] = {
        {0x0067, 0x036}, {0x0000, 0x01E}, {0x8001, 0x15E}, {0x006A, 0}, {0xFFFF, 0}};
    for (const auto& [id, code] : ids) {
        EXPECT_EQ(keyCodeFromKeyId(id), code) << id;
    }
}

TEST(KeyNames, LanguageTextOrUnknownFormatCutToTheBuffer) {
    MapTexts texts;
    texts.texts = {{"UNKNOWN_KEY", "Key %u"},
                   {"IDS_KEYBOARD_A", "A"},
                   {"IDS_KEYBOARD_RSHIFT", "RS"},
                   {"IDS_KEYBOARD_B", "AB" + kSmile + "C"},
                   {"IDS_KEYBOARD_C", ""}};
    const std::tuple<KeyCode, std::size_t, std::string> cases[] = {
        {0x01E, 260, "A"},
        {0x064, 260, "Key 100"}, // no language key
        {0x200, 260, "Key 512"}, // no row
        {0x02E, 260, "Key 46"},  // an empty text
        {0x054, 260, "#Error"},  // a missing text is shown as such
        {0x030, 6, "AB" + kSmile + "C"},
        {0x030, 5, "AB" + kSmile},
        {0x030, 4, "AB"}, // never half a surrogate pair
        {0x030, 0, ""}};
    for (const auto& [code, capacity, expected] : cases) {
        EXPECT_EQ(keyNameFromCode(code, texts, capacity), expected) << code << '/' << capacity;
    }
    EXPECT_EQ(keyNameFromKeyId(0x0067, texts), "RS");
    EXPECT_EQ(keyNameFromKeyId(0x802D, texts), "");
    EXPECT_EQ(keyNameFromKeyId(0x1234, texts), "");

    EXPECT_EQ(utf16FromUtf8("a" + kSmile), u"a\U0001F600");
    EXPECT_EQ(utf16FromUtf8("\xC3"), u"\uFFFD");                     // cut short
    EXPECT_EQ(utf16FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong
    EXPECT_EQ(utf16FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(utf8FromUtf16(std::u16string{u'\xD83D', u'y', u'\xDE00'}),
              "\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(KeyEvents, VirtualKeyAndScanCodeChooseTheKey) {
    constexpr std::uint32_t kExt = 0x100;
    const auto scan = [](std::uint32_t code) { return code << 16; };
    const std::tuple<int, std::uint32_t, KeyCode> cases[] = {{0xA1, scan(0x36 | kExt), 0x036},
                                                             {0xA1, scan(0x36), 0x036},
                                                             {0x2C, scan(0x37 | kExt), 0x137},
                                                             {0x2C, scan(0x54), 0x054},
                                                             {0x2C, scan(0), 0x137},
                                                             {0x0D, scan(0x1C | kExt), 0x11C},
                                                             {0x0D, scan(0), 0x01C},
                                                             {0x10, scan(0x2A), 0x02A},
                                                             {0x10, scan(0x36), 0x036},
                                                             {0x10, scan(0), 0x02A},
                                                             {0x11, scan(0x1D | kExt), 0x11D},
                                                             {0x12, scan(0), 0x038},
                                                             {0x24, scan(0x47 | kExt), 0x147},
                                                             {0x24, scan(0x47), 0x047},
                                                             {0x03, scan(0x46 | kExt), 0x146},
                                                             {0xFF, scan(0x73), 0x073},
                                                             {0xFF, scan(0), 0},
                                                             {0x07, scan(0x10), 0},
                                                             {0x01, scan(0), 0},
                                                             {0x97, scan(0), 0},
                                                             {0x91, scan(0), 0x046},
                                                             {0x41, scan(0x30), 0x01E},
                                                             {0x41, 0xC01E0001, 0x01E}};
    for (const auto& [vk, keyData, expected] : cases) {
        EXPECT_EQ(keyCodeFromKeyEvent(static_cast<std::uint8_t>(vk), keyData), expected)
            << std::hex << vk << ' ' << keyData;
    }
}

TEST(KeyEvents, MouseMessagesAndSyntheticPresses) {
    const std::tuple<std::uint32_t, KeyCode, bool> messages[] = {
        {0x201, 0x171, false}, {0x202, 0x171, true}, {0x204, 0x172, false}, {0x205, 0x172, true},
        {0x207, 0x173, false}, {0x208, 0x173, true}, {0x200, 0, false},     {0xA0, 0, false}};
    for (const auto& [message, code, up] : messages) {
        EXPECT_EQ(keyCodeFromMouseMessage(message), code) << message;
        EXPECT_EQ(isButtonUpMessage(message), up) << message;
    }
    std::set<KeyCode> synthetic;
    for (KeyCode code = 0; code <= 0x211; ++code) {
        if (needsSyntheticPress(code)) {
            synthetic.insert(code);
        }
    }
    EXPECT_EQ(synthetic, (std::set<KeyCode>{0x054, 0x071, 0x072, 0x137}));
}

} // namespace
} // namespace velkan::model
