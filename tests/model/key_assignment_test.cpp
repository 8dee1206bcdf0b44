#include "device/recording_client.h"
#include "model/key_assignment.h"
#include "protocol/command_report.h"
#include "protocol/link_fixture.h"

#include <gtest/gtest.h>
#include <random>

namespace velkan::model {
namespace {

using protocol::KeyTableImage;

// A factory table with one cell of each kind the program meets.
constexpr int kPositionA = 0;       // 02 02 04: the A key
constexpr int kPositionEmpty = 1;   // 00 00 00: an unused matrix cell
constexpr int kPositionExtra1 = 2;  // 06 A2 01: extra key 1
constexpr int kPositionLeftAlt = 3; // 02 01 04: left Alt
constexpr int kPositions = 4;

KeyTableImage smallFactoryTable() {
    KeyTableImage table{};
    const std::uint8_t entries[] = {0x02, 0x02, 0x04, 0x00, 0x00, 0x00,
                                    0x06, 0xA2, 0x01, 0x02, 0x01, 0x04};
    std::copy(std::begin(entries), std::end(entries), table.begin());
    table[100] = 0x77; // padding past the entries travels unchanged
    return table;
}

DeviceKeyEntry entryAt(const KeyTableImage& table, int position) {
    const auto offset = static_cast<std::size_t>(position) * 3;
    return {table[offset], table[offset + 1], table[offset + 2]};
}

KeyAssignment assignment(AssignmentType type, int value = 0) {
    KeyAssignment record;
    record.type = static_cast<std::uint16_t>(type);
    record.value = value;
    return record;
}

MacroList macrosWithIds(std::initializer_list<std::uint16_t> ids) {
    MacroList macros(ids.size());
    std::size_t slot = 0;
    for (std::uint16_t id : ids) {
        macros[slot++].id = id;
    }
    return macros;
}

TEST(EncodeKeyTable, EachAssignmentTypeWritesItsEntry) {
    struct Case {
        const char* what;
        KeyAssignment record;
        DeviceKeyEntry expected;
    };
    const Case cases[] = {
        {"default keeps the factory entry",
         assignment(AssignmentType::defaultAction),
         {0x02, 0x02, 0x04}},
        {"disabled", assignment(AssignmentType::disabled), {0, 0, 0}},
        {"left Alt", assignment(AssignmentType::singleKey, 0x038), {0x02, 0x01, 0x04}},
        {"right Win", assignment(AssignmentType::singleKey, 0x15C), {0x02, 0x01, 0x80}},
        {"wheel down", assignment(AssignmentType::singleKey, 0x162), {0x01, 0x05, 0xFF}},
        {"middle button", assignment(AssignmentType::singleKey, 0x173), {0x01, 0x01, 0x04}},
        {"A", assignment(AssignmentType::singleKey, 0x01E), {0x02, 0x02, 0x04}},
        {"Mute as a key", assignment(AssignmentType::singleKey, 0x120), {0x02, 0x02, 0xCD}},
        {"Power has no single-key entry",
         assignment(AssignmentType::singleKey, 0x15E),
         {0x02, 0x02, 0x00}},
        {"program keeps the key's function",
         assignment(AssignmentType::startProgram, 40),
         {0x02, 0x02, 0x04}},
        {"macro by id", assignment(AssignmentType::playMacro, 9), {0x05, 0x01, 0x02}},
        {"macro that no longer exists",
         assignment(AssignmentType::playMacro, 55),
         {0x05, 0x01, 0x00}},
        {"stop macro", assignment(AssignmentType::stopMacro), {0x05, 0x02, 0x00}},
        {"text block", assignment(AssignmentType::textBlock, 8), {0, 0, 0}},
        {"Mute from the media table",
         assignment(AssignmentType::multimedia, 7),
         {0x03, 0xE2, 0x00}},
        {"media position past the table",
         assignment(AssignmentType::multimedia, 18),
         {0x02, 0x02, 0x04}},
        {"keyboard function", assignment(AssignmentType::keyboardFunction, 3), {0x05, 0x05, 0x03}},
        {"unknown type", assignment(static_cast<AssignmentType>(40), 3), {0x02, 0x02, 0x04}},
    };
    const KeyTableImage factory = smallFactoryTable();
    const MacroList macros = macrosWithIds({4, 7, 9});
    for (const Case& c : cases) {
        KeyImage image{};
        initKeyImage(image);
        image.record(1, keyIndexFromCode(0x01E)) = c.record;
        const KeyTableImage table = encodeKeyTable(1, image, macros, factory, kPositions, 378);
        EXPECT_EQ(entryAt(table, kPositionA), c.expected) << c.what;
        EXPECT_EQ(table[100], 0x77) << c.what;
        EXPECT_EQ(table[378], 0) << "nothing past the table size";
    }
}

TEST(EncodeKeyTable, CellsWithoutAKeyAndOtherProfilesStayAsTheyAre) {
    const KeyTableImage factory = smallFactoryTable();
    KeyImage image{};
    initKeyImage(image);
    for (auto& record : image.records) {
        record = assignment(AssignmentType::disabled);
    }
    image.record(0, keyIndexFromCode(0x200)) = assignment(AssignmentType::singleKey, 0x01E);
    image.record(0, keyIndexFromCode(0x038)) = assignment(AssignmentType::defaultAction);

    const KeyTableImage table = encodeKeyTable(0, image, {}, factory, kPositions, 378);
    EXPECT_EQ(entryAt(table, kPositionEmpty), (DeviceKeyEntry{0, 0, 0}));
    EXPECT_EQ(entryAt(table, kPositionExtra1), (DeviceKeyEntry{0x02, 0x02, 0x04}));
    EXPECT_EQ(entryAt(table, kPositionLeftAlt), (DeviceKeyEntry{0x02, 0x01, 0x04}));
    EXPECT_EQ(entryAt(table, kPositionA), (DeviceKeyEntry{0, 0, 0}));
}

TEST(DecodeKeyTable, EntriesBecomeRecords) {
    struct Case {
        const char* what;
        DeviceKeyEntry entry;
        AssignmentType type;
        int value;
    };
    const Case cases[] = {
        {"macro slot 3", {0x05, 0x01, 0x03}, AssignmentType::playMacro, 4},
        {"stop macro", {0x05, 0x02, 0x00}, AssignmentType::stopMacro, 0},
        {"function", {0x05, 0x05, 0x06}, AssignmentType::keyboardFunction, 6},
        {"unknown macro command", {0x05, 0x09, 0x00}, AssignmentType::disabled, 0},
        {"WWW home", {0x03, 0x23, 0x02}, AssignmentType::multimedia, 8},
        {"usage outside the media table", {0x03, 0x00, 0x01}, AssignmentType::disabled, 0},
        {"system control", {0x04, 0x81, 0x00}, AssignmentType::disabled, 0},
        {"right button", {0x01, 0x01, 0x02}, AssignmentType::singleKey, 0x172},
        {"wheel up", {0x01, 0x05, 0x01}, AssignmentType::singleKey, 0x161},
        {"unknown mouse entry", {0x01, 0x01, 0x08}, AssignmentType::singleKey, 0},
        {"B", {0x02, 0x02, 0x05}, AssignmentType::singleKey, 0x030},
        {"usage no key has", {0x02, 0x02, 0x03}, AssignmentType::disabled, 0},
        {"right Shift", {0x02, 0x01, 0x20}, AssignmentType::singleKey, 0x036},
        {"disabled", {0x00, 0x00, 0x00}, AssignmentType::disabled, 0},
        {"extra key entry", {0x06, 0xA2, 0x05}, AssignmentType::disabled, 0},
    };
    const KeyTableImage factory = smallFactoryTable();
    for (const Case& c : cases) {
        KeyTableImage table = factory;
        table[0] = c.entry.type;
        table[1] = c.entry.b1;
        table[2] = c.entry.b2;
        KeyImage image{};
        image.record(2, keyIndexFromCode(0x01E)) = assignment(AssignmentType::textBlock, 5);
        decodeKeyTable(table, 2, image, factory, kPositions);
        const KeyAssignment& record = image.record(2, keyIndexFromCode(0x01E));
        EXPECT_EQ(record.type, static_cast<std::uint16_t>(c.type)) << c.what;
        EXPECT_EQ(record.value, c.value) << c.what;
        EXPECT_EQ(image.record(2, keyIndexFromCode(0x038)).type, 0) << c.what;
        EXPECT_EQ(image.record(2, 256).aux, 0x0301) << "the decoded bank is tagged";
        EXPECT_EQ(image.record(2, 273).aux, 0x1309);
    }
}

TEST(KeyImageLayout, InitialImageTagsTheExtraKeysOfTheFirstBank) {
    KeyImage image{};
    image.record(1, 5) = assignment(AssignmentType::disabled);
    initKeyImage(image);
    EXPECT_EQ(image.record(1, 5).type, 0);
    EXPECT_EQ(image.record(0, 256).aux, 0x0301);
    EXPECT_EQ(image.record(0, 264).aux, 0x0309);
    EXPECT_EQ(image.record(0, 265).aux, 0x1301);
    EXPECT_EQ(image.record(0, 273).aux, 0x1309);
    EXPECT_EQ(image.record(0, 274).aux, 0);
    EXPECT_EQ(image.record(1, 256).aux, 0);
}

// What a record turns into after a trip to the keyboard and back.
KeyAssignment whatTheKeyboardKeeps(const KeyAssignment& record, const MacroList& macros) {
    switch (static_cast<AssignmentType>(record.type)) {
    case AssignmentType::startProgram:
        return {};
    case AssignmentType::textBlock:
        return assignment(AssignmentType::disabled);
    case AssignmentType::playMacro:
        return assignment(
            AssignmentType::playMacro,
            static_cast<int>(macroSlotOfId(macros, static_cast<std::uint16_t>(record.value))) + 1);
    case AssignmentType::singleKey: {
        const KeyCode code = static_cast<KeyCode>(record.value);
        if (modifierMaskFromKeyCode(code) || code == 0x161 || code == 0x162 ||
            (code >= 0x171 && code <= 0x173)) {
            return record;
        }
        const UsageRef usage = usageFromKeyCode(code);
        const KeyCode back = usage.page == 7 ? keyCodeFromUsage(usage) : 0;
        return back ? assignment(AssignmentType::singleKey, back)
                    : assignment(AssignmentType::disabled);
    }
    default:
        return record;
    }
}

TEST(KeyTableRoundTrip, RandomProfilesComeBackAsTheKeyboardHoldsThem) {
    const KeyTableImage factory = [] {
        sim::SimulatedKeyboard keyboard(sim::KeyboardModel::keys126);
        const auto bytes = keyboard.memory(sim::SimRegion::defaultKeyTable);
        KeyTableImage table{};
        std::copy(bytes.begin(), bytes.end(), table.begin());
        return table;
    }();
    const MacroList macros = macrosWithIds({3, 1, 8});
    std::mt19937 random(20261208);
    const auto pick = [&random](int below) {
        return std::uniform_int_distribution<int>(0, below - 1)(random);
    };
    for (int round = 0; round < 20; ++round) {
        KeyImage image{};
        initKeyImage(image);
        for (const KeyPosition& position : KeyPositionList()) {
            KeyAssignment& record = image.record(0, keyIndexFromCode(position.code));
            switch (pick(9)) {
            case 2:
                record = assignment(AssignmentType::singleKey,
                                    keyCodeFromIndex(static_cast<KeyIndex>(pick(256))));
                break;
            case 4:
                record = assignment(AssignmentType::playMacro, pick(10));
                break;
            case 7:
                record = assignment(AssignmentType::multimedia, pick(18));
                break;
            case 8:
                record = assignment(AssignmentType::keyboardFunction, pick(11));
                break;
            default:
                record = assignment(static_cast<AssignmentType>(pick(7)));
                break;
            }
        }
        const KeyTableImage table = encodeKeyTable(0, image, macros, factory, 126, 378);
        KeyImage decoded{};
        decodeKeyTable(table, 0, decoded, factory, 126);
        for (const KeyPosition& position : KeyPositionList()) {
            const KeyIndex index = keyIndexFromCode(position.code);
            KeyAssignment expected = whatTheKeyboardKeeps(image.record(0, index), macros);
            if (expected.type == static_cast<std::uint16_t>(AssignmentType::singleKey) &&
                expected.value == position.code) {
                expected = {}; // a key given its own function is the factory entry again
            }
            const KeyAssignment& got = decoded.record(0, index);
            ASSERT_EQ(got.type, expected.type) << position.name << " round " << round;
            ASSERT_EQ(got.value, expected.value) << position.name << " round " << round;
        }
    }
}

class WriteKeyConfiguration : public protocol::test::LinkFixture {
protected:
    void connectWithCapacity(sim::KeyboardModel model, std::uint8_t macroUnits) {
        connect(model, {.macroUnits = macroUnits});
        mirrors.readArrivalMirrors(client);
        keyboard->clearWireLog();
    }
    int framesOf(std::uint8_t command) const {
        int count = 0;
        for (const auto& frame : sentFrames()) {
            count += frame[protocol::kCommandOffset] == command;
        }
        return count;
    }
    void addMacro(std::uint16_t id, int actions, const char* name) {
        MacroRecord& macro = configuration.edited.macros.emplace_back();
        macro.id = id;
        macro.actionCount = static_cast<std::uint16_t>(actions);
        macro.setName(name);
    }

    protocol::DeviceMirrors mirrors{link};
    device::test::RecordingClient client;
    KeyConfiguration configuration;
};

TEST_F(WriteKeyConfiguration, ActiveProfileOnlyOrAllBanksAfterAUsedMacroWasDeleted) {
    struct Case {
        sim::KeyboardModel model;
        bool allProfiles;
        bool macroDeleted;
        int tableFrames;
    };
    const Case cases[] = {
        {sim::KeyboardModel::keys126, false, false, 7},
        {sim::KeyboardModel::keys126, false, true, 21},
        {sim::KeyboardModel::keys126, true, false, 21},
        {sim::KeyboardModel::keys128, false, true, 30},
    };
    for (const Case& c : cases) {
        connectWithCapacity(c.model, 0x80);
        addMacro(1, 40, "ab");
        configuration.edited.macroDeleted = c.macroDeleted;
        configuration.copyEditedToApplied();
        ASSERT_EQ(configuration.writeKeyConfiguration(c.allProfiles, link, mirrors),
                  KeyWriteOutcome::written);
        const std::size_t macroBytes = macroMemorySizes(configuration.applied.macros).fullSize;
        EXPECT_EQ(framesOf(protocol::command::kBeginConfig), 1);
        EXPECT_EQ(framesOf(protocol::command::kWriteMacroArea),
                  static_cast<int>((macroBytes + 55) / 56));
        EXPECT_EQ(framesOf(protocol::command::kWriteKeyTable), c.tableFrames);
        EXPECT_EQ(framesOf(protocol::command::kEndConfig), 1);
        EXPECT_EQ(sentFrames().back()[protocol::kCommandOffset], protocol::command::kEndConfig);
        EXPECT_FALSE(configuration.applied.macroDeleted || configuration.edited.macroDeleted)
            << "all three tables written: the mark is consumed";
        ASSERT_TRUE(simBackend.unplug(keyboard));
        configuration.edited.macros.clear();
    }
}

// Macros are addressed by slot: until all three tables were written, an apply that was refused
// or failed keeps the mark, and the next good one still writes every bank.
TEST_F(WriteKeyConfiguration, DeletedMacroMarkOutlivesARefusedOrFailedApply) {
    connectWithCapacity(sim::KeyboardModel::keys126, 1); // 128 bytes
    addMacro(1, 40, "ab");                               // 182 bytes even without its name
    configuration.edited.macroDeleted = true;
    configuration.copyEditedToApplied();
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors),
              KeyWriteOutcome::macrosTooLong);
    EXPECT_EQ(framesOf(protocol::command::kWriteKeyTable), 0) << "refused";

    configuration.edited.macros.clear();
    configuration.copyEditedToApplied();
    keyboard->setFaults({.failWrites = true});
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors), KeyWriteOutcome::failed);

    keyboard->setFaults({});
    keyboard->clearWireLog();
    configuration.copyEditedToApplied();
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors), KeyWriteOutcome::written);
    EXPECT_EQ(framesOf(protocol::command::kWriteKeyTable), 21);
    EXPECT_FALSE(configuration.edited.macroDeleted);

    keyboard->clearWireLog();
    configuration.copyEditedToApplied();
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors), KeyWriteOutcome::written);
    EXPECT_EQ(framesOf(protocol::command::kWriteKeyTable), 7);
}

TEST_F(WriteKeyConfiguration, MacroMemoryCapacityDecidesNamesOrRefusal) {
    connectWithCapacity(sim::KeyboardModel::keys126, 1); // 128 bytes
    // 16 + 2 + 4 + 4 x 25 = 122 bytes without the name, 132 with "abcde".
    addMacro(1, 25, "abcde");
    configuration.copyEditedToApplied();
    ASSERT_EQ(configuration.writeKeyConfiguration(false, link, mirrors),
              KeyWriteOutcome::writtenWithoutNames);
    EXPECT_EQ(keyboard->memory(sim::SimRegion::macros)[2], 122) << "sent without names";

    // Exactly the capacity without names still fits: 16 + 2 x 2 + 2 x 4 + 4 x 25 = 128.
    configuration.edited.macros.front().actionCount = 12;
    addMacro(2, 13, "x");
    configuration.copyEditedToApplied();
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors),
              KeyWriteOutcome::writtenWithoutNames);
    EXPECT_EQ(keyboard->memory(sim::SimRegion::macros)[2], 128);

    keyboard->clearWireLog();
    configuration.edited.macros.front().actionCount = 13;
    configuration.copyEditedToApplied();
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors),
              KeyWriteOutcome::macrosTooLong);
    EXPECT_TRUE(sentFrames().empty()) << "nothing is sent";

    // Names left out and a keyboard that then refuses the tables: both are told.
    configuration.edited.macros.front().actionCount = 12;
    configuration.copyEditedToApplied();
    keyboard->setFaults({.forcedStatus = 0xFF});
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors),
              KeyWriteOutcome::failedWithoutNames);
}

TEST_F(WriteKeyConfiguration, SilentKeyboardGetsNoTableForAnUnknownProfile) {
    connectWithCapacity(sim::KeyboardModel::keys126, 0x80);
    keyboard->setFaults({.silent = true});
    configuration.copyEditedToApplied();
    EXPECT_EQ(configuration.writeKeyConfiguration(false, link, mirrors),
              KeyWriteOutcome::noActiveProfile);
    EXPECT_EQ(framesOf(protocol::command::kWriteKeyTable), 0);
    EXPECT_EQ(framesOf(protocol::command::kBeginConfig), 0);
}

TEST_F(WriteKeyConfiguration, AppliedTableReachesTheActiveBank) {
    connectWithCapacity(sim::KeyboardModel::keys126, 0x80);
    link.activeProfileCache = -1;
    std::array<std::uint8_t, 1> profileTwo = {2};
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::deviceInfo, 10, profileTwo));
    configuration.edited.image.record(2, keyIndexFromCode(0x01E)) =
        assignment(AssignmentType::singleKey, 0x030);
    configuration.copyEditedToApplied();
    ASSERT_EQ(configuration.writeKeyConfiguration(false, link, mirrors), KeyWriteOutcome::written);
    EXPECT_EQ(link.activeProfileCache, 2);

    std::array<std::uint8_t, protocol::kMaxTableBytes> bank{};
    ASSERT_EQ(protocol::readKeyTable(link, bank, 2), protocol::CommandResult::success);
    KeyImage decoded{};
    decodeKeyTable(bank, 2, decoded, mirrors.defaultKeyTable(), 126);
    EXPECT_EQ(decoded.record(2, keyIndexFromCode(0x01E)).value, 0x030);
}

TEST_F(WriteKeyConfiguration, ActiveProfileIsReadOnceAndSwitchedByWriteBack) {
    connectWithCapacity(sim::KeyboardModel::keys126, 0x80);
    link.activeProfileCache = -1;
    EXPECT_EQ(activeProfile(link), 0);
    EXPECT_EQ(activeProfile(link), 0);
    EXPECT_EQ(framesOf(protocol::command::kReadDeviceInfo), 1);

    setActiveProfile(link, 1);
    EXPECT_EQ(keyboard->activeProfile(), 1);
    EXPECT_EQ(link.activeProfileCache, 1);
    setActiveProfile(link, -1);
    EXPECT_EQ(framesOf(protocol::command::kWriteDeviceInfo), 1);

    keyboard->setFaults({.forcedStatus = 0xFE});
    setActiveProfile(link, 2);
    EXPECT_EQ(link.activeProfileCache, 1) << "an unreadable block changes nothing";
}

} // namespace
} // namespace velkan::model
