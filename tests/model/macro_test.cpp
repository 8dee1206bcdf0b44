#include "model/macro.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace velkan::model {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PrefixTexts : public lang::TextLookup {
public:
    std::string lookup(lang::TextSection, std::string_view key) const override {
        return key == "MACRO_NEW_PREFIX" ? "Macro " : std::string(lang::kMissingText);
    }
};
const PrefixTexts kTexts;

MacroList oneMacro(std::string_view name, std::initializer_list<MacroAction> actions) {
    MacroList list(1);
    list[0].setName(name);
    list[0].id = 1;
    list[0].actionCount = static_cast<std::uint16_t>(actions.size());
    std::copy(actions.begin(), actions.end(), list[0].actions.begin());
    return list;
}

// Press A, wait 1234 ms, release A.
const MacroList kAb = oneMacro("ab", {{1234, 0x01E, 0}, {0, 0x01E, 1}});

const Bytes kAbWithNames{0xAA, 0x55, 34,   0,    1,    0,    1,    0, 0,    0, 0,    0,
                         0,    0,    0,    0,    18,   0,    2,    0, 1,    2, 0x7B, 0xA0,
                         0x02, 0x04, 0x00, 0x20, 0x02, 0x04, 0x61, 0, 0x62, 0};
const Bytes kAbWithoutNames{0xAA, 0x55, 30,   0,    1,    0,    0,    0,    0,    0,
                            0,    0,    0,    0,    0,    0,    18,   0,    2,    0,
                            1,    0,    0x7B, 0xA0, 0x02, 0x04, 0x00, 0x20, 0x02, 0x04};

Bytes build(const MacroList& list, bool withNames) {
    const MacroMemorySizes sizes = macroMemorySizes(list);
    return buildMacroMemory(list, withNames ? sizes.fullSize : sizes.sizeWithoutNames, withNames);
}

TEST(MacroMemory, WorkedExamplesGiveTheKeyboardsBytes) {
    EXPECT_EQ(build({}, true), (Bytes{0xAA, 0x55, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(build({}, false), (Bytes{0xAA, 0x55, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(macroMemorySizes(kAb).fullSize, 34U);
    EXPECT_EQ(macroMemorySizes(kAb).sizeWithoutNames, 30U);
    EXPECT_EQ(build(kAb, true), kAbWithNames);
    EXPECT_EQ(build(kAb, false), kAbWithoutNames);

    // An image cut short holds the same bytes as far as it goes, apart from its length field.
    Bytes cut = buildMacroMemory(kAb, 26, true);
    ASSERT_EQ(cut.size(), 26U);
    EXPECT_EQ(cut[2], 26);
    cut[2] = 34;
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), kAbWithNames.begin()));
    EXPECT_EQ(buildMacroMemory(kAb, 3, true), (Bytes{0xAA, 0x55, 0}));
}

TEST(MacroMemory, ActionsEncodeDelayTypePressAndData) {
    struct Case {
        MacroAction action;
        Bytes expected;
    };
    const Case cases[] = {
        {{500, 0x02A, 0}, {0x32, 0xA0, 0x01, 0x02}}, // left Shift press: modifier bit
        {{500, 0x02A, 1}, {0x32, 0x20, 0x01, 0x02}},
        {{30, 0x173, 0}, {0x03, 0x90, 0x01, 0x04}}, // middle button
        {{0, 0x162, 0}, {0x00, 0x90, 0x05, 0xFF}},  // wheel down
        {{0, 0x136, 0}, {0x00, 0xA0, 0x02, 0xE5}},  // second right-Shift row: by device code
        {{0, 0x15F, 1}, {0x00, 0x40, 0x82, 0x00}},  // sleep: system control
        {{0, 0x200, 0}, {0x00, 0x80, 0x00, 0x00}},  // an extra key has nothing to send
        {{0, 0x054, 0}, {0x00, 0x80, 0x00, 0x00}},
        {{40000, 0x01E, 0}, {0xA0, 0xAF, 0x02, 0x04}},
        {{40959, 0x01E, 0}, {0xFF, 0xAF, 0x02, 0x04}},
        {{50000, 0x01E, 0}, {0xFF, 0xAF, 0x02, 0x04}}, // held at the most, not wrapped
        {{9, 0x01E, 2}, {0x00, 0xA0, 0x02, 0x04}},     // only 1 means released
    };
    for (const Case& c : cases) {
        const Bytes image = build(oneMacro("", {c.action}), false);
        ASSERT_EQ(image.size(), 26U);
        EXPECT_EQ(Bytes(image.begin() + 22, image.end()), c.expected) << c.action.key;
    }
}

TEST(MacroMemory, DecodingNamesIdsAndActions) {
    const MacroList decoded = decodeMacroMemory(kAbWithNames, kTexts);
    ASSERT_EQ(decoded.size(), 1U);
    const MacroRecord& ab = decoded[0];
    EXPECT_EQ(std::tuple(ab.nameUtf8(), ab.id, ab.cycles, ab.actionCount),
              std::tuple("ab", 1, 1, 2));
    EXPECT_EQ(std::tuple(ab.actions[0].delay, ab.actions[0].key, ab.actions[0].released),
              std::tuple(1230U, 0x01E, 0));
    EXPECT_EQ(ab.actions[1].released, 1);

    MacroList three(3);
    three[2].setName("named");
    three[2].id = 52;
    const MacroList unnamed = decodeMacroMemory(build(three, false), kTexts);
    ASSERT_EQ(unnamed.size(), 3U);
    EXPECT_EQ(unnamed[0].nameUtf8(), "Macro 1");
    EXPECT_EQ(unnamed[2].nameUtf8(), "Macro 3");
    EXPECT_EQ(unnamed[2].id, 3);
}

// Whatever is built and read back is what the keyboard can hold: delays in 10 ms steps up to
// the field's limit, names, and every key by the usage the keyboard sends.
TEST(MacroMemory, RandomListsSurviveTheRoundTrip) {
    std::vector<KeyCode> keys{0x000, 0x200, 0x211};
    for (KeyIndex index = 1; index < kKeyInfoRows; ++index) {
        if (KeyInfoTable()[index].keyId != kEmptyKeyId) {
            keys.push_back(keyCodeFromIndex(index));
        }
    }
    std::mt19937 random(20240611);
    const std::string names[] = {"x", "\xF0\x9F\x8E\xB9 solo", std::string(300, 'n'), "Combo"};
    for (const bool withNames : {true, false}) {
        MacroList list(12);
        for (MacroRecord& record : list) {
            record.setName(names[random() % std::size(names)]);
            record.cycles = static_cast<std::uint8_t>(random());
            record.actionCount = static_cast<std::uint16_t>(random() % 60);
            for (std::size_t i = 0; i < record.actionCount; ++i) {
                record.actions[i] = {static_cast<std::uint32_t>(random() % 60000),
                                     keys[random() % keys.size()],
                                     static_cast<std::uint16_t>(random() % 2)};
            }
        }
        const MacroList decoded = decodeMacroMemory(build(list, withNames), kTexts);
        ASSERT_EQ(decoded.size(), list.size());
        for (std::size_t slot = 0; slot < list.size(); ++slot) {
            const MacroRecord& sent = list[slot];
            const MacroRecord& back = decoded[slot];
            const std::string name =
                withNames ? sent.nameUtf8() : "Macro " + std::to_string(slot + 1);
            EXPECT_EQ(std::tuple(back.nameUtf8(), back.cycles), std::tuple(name, sent.cycles));
            ASSERT_EQ(back.actionCount, sent.actionCount);
            for (std::size_t i = 0; i < sent.actionCount; ++i) {
                const MacroAction &a = sent.actions[i], &b = back.actions[i];
                EXPECT_EQ(b.delay, std::min<std::uint32_t>(a.delay / 10, 4095) * 10);
                EXPECT_EQ(b.released, a.released);
                if (usageFromKeyCode(a.key).page == 0) {
                    EXPECT_EQ(b.key, 0) << a.key;
                } else if (a.key == 0x136 || a.key == 0x146) {
                    // These share their device code with an earlier row (right Shift, Pause).
                    EXPECT_EQ(usageFromKeyCode(b.key), usageFromKeyCode(a.key)) << a.key;
                } else {
                    EXPECT_EQ(b.key, a.key);
                }
            }
        }
    }
}

Bytes header(std::uint16_t count) {
    Bytes bytes(kMacroMemoryHeaderBytes, 0);
    bytes[0] = 0xAA;
    bytes[1] = 0x55;
    bytes[4] = static_cast<std::uint8_t>(count);
    bytes[5] = static_cast<std::uint8_t>(count >> 8);
    return bytes;
}

Bytes join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(MacroMemory, HostileImagesDecodeOnlyWhatLiesInside) {
    const Bytes emptyEntry{0, 0, 1, 0};
    Bytes hundredAndOne = header(0xFFFF);
    for (int i = 0; i < 101; ++i) {
        hundredAndOne = join(hundredAndOne, {0xDA, 0x00}); // every offset at 16 + 202
    }
    hundredAndOne = join(hundredAndOne, emptyEntry);
    Bytes longMacro = join(join(header(1), {18, 0}), {0xA1, 0x0F, 1, 0}); // 4001 actions
    longMacro.resize(longMacro.size() + 4001 * 4, 0);
    Bytes wrongMagic = join(join(header(1), {18, 0}), emptyEntry);
    wrongMagic[0] = 0x55;

    const std::tuple<const char*, Bytes, std::size_t> cases[] = {
        {"nothing", {}, 0},
        {"count missing", {0xAA, 0x55, 0x10, 0x00, 0x01}, 0},
        {"wrong magic", wrongMagic, 0},
        // Offset 8 points at the zero reserved bytes: a valid empty macro.
        {"offset table cut short", join(header(3), {8, 0, 8, 0, 8}), 2},
        {"entry past the end", join(header(1), {0xFF, 0x00}), 0},
        {"entry header cut", join(join(header(1), {18, 0}), {0, 0, 1}), 0},
        {"actions past the end", join(join(header(1), {18, 0}), {0xFF, 0xFF, 1, 0}), 0},
        {"name past the end", join(join(header(1), {18, 0}), {0, 0, 1, 200, 0x61, 0}), 0},
        {"second entry outside", join(join(header(2), {20, 0, 0xF0, 0}), emptyEntry), 1},
        {"more than 100 macros", hundredAndOne, 100},
        {"more than 4000 actions", longMacro, 1},
    };
    for (const auto& [what, image, macros] : cases) {
        EXPECT_EQ(decodeMacroMemory(image, kTexts).size(), macros) << what;
    }
    EXPECT_EQ(decodeMacroMemory(longMacro, kTexts)[0].actionCount, kMaxMacroActions);
}

TEST(MacroList, IdsSlotsAndNames) {
    MacroList list;
    for (const std::uint16_t id : std::initializer_list<std::uint16_t>{3, 1, 2, 2, 0, 500}) {
        list.emplace_back().id = id;
    }
    EXPECT_EQ(macroSlotOfId(list, 2), 2U);
    EXPECT_EQ(macroSlotOfId(list, 9), 0U);
    EXPECT_EQ(newMacroId(list), 4);
    EXPECT_EQ(newMacroId({}), 1);
    list.resize(100);
    for (std::size_t slot = 0; slot < list.size(); ++slot) {
        list[slot].id = static_cast<std::uint16_t>(100 - slot);
    }
    EXPECT_EQ(newMacroId(list), 0);
    list[37].id = 0;
    EXPECT_EQ(newMacroId(list), 63);

    const std::string smile = "\xF0\x9F\x98\x80";
    const std::pair<std::string, std::string> names[] = {
        {std::string(300, 'a'), std::string(249, 'a')},
        {std::string(247, 'a') + smile, std::string(247, 'a') + smile},
        {std::string(248, 'a') + smile, std::string(248, 'a')}};
    for (const auto& [given, kept] : names) {
        list[0].setName(given);
        EXPECT_EQ(list[0].nameUtf8(), kept) << given.size();
        EXPECT_EQ(list[0].name.back(), u'\0');
    }
}

} // namespace
} // namespace velkan::model
