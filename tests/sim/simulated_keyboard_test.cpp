#include "sim_test_support.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <set>
#include <vector>

namespace velkan::sim::test {
namespace {

std::vector<std::uint8_t> pattern(std::size_t length, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
}

struct RoundTrip {
    const char* name;
    KeyboardModel model;
    std::uint8_t writeCommand;
    std::uint8_t readCommand; // 0: the region has no read command
    SimRegion region;
    std::uint16_t address;
    std::uint8_t length;
};

TEST(SimulatedKeyboardTest, WritesLandInTheirRegionAndReadBack) {
    const RoundTrip cases[] = {
        {"params page 2", KeyboardModel::keys126, 0x06, 0x05, SimRegion::params, 84, 42},
        {"bank 1 first chunk", KeyboardModel::keys126, 0x08, 0x07, SimRegion::keyTables, 378, 56},
        {"bank 2 last chunk", KeyboardModel::keys126, 0x08, 0x07, SimRegion::keyTables, 1092, 42},
        {"bank 2 last chunk 128", KeyboardModel::keys128, 0x08, 0x07, SimRegion::keyTables, 1528,
         8},
        {"macro end", KeyboardModel::keys126, 0x0A, 0x09, SimRegion::macros, 16384 - 56, 56},
        {"macro end 128", KeyboardModel::keys128, 0x0A, 0x09, SimRegion::macros, 24576 - 1, 1},
        {"key colour page 2 key 100", KeyboardModel::keys128, 0x11, 0, SimRegion::keyColours, 1324,
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PluggedKeyboard kb(c.model);
        const auto data = pattern(c.length, 0x40);
        const auto written = kb.transact(makeFrame(c.writeCommand, c.length, c.address, data));
        ASSERT_TRUE(written);
        EXPECT_EQ((*written)[7], kStatusOk);
        const auto region = kb.keyboard->memory(c.region);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), region.begin() + c.address));
        if (c.readCommand != 0) {
            const auto read = kb.transact(makeFrame(c.readCommand, c.length, c.address));
            ASSERT_TRUE(read);
            EXPECT_EQ((*read)[7], kStatusOk);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), read->begin() + 8));
        }
    }
}

TEST(SimulatedKeyboardTest, RequestsItCannotServeGetErrorStatusAndChangeNothing) {
    struct Case {
        const char* name;
        Frame request;
        std::uint8_t status;
    };
    Frame badChecksum = makeFrame(0x08, 3, 0, std::vector<std::uint8_t>{1, 2, 3});
    badChecksum[1] ^= 0x01;
    const Case cases[] = {
        {"key table past bank 2", makeFrame(0x08, 56, 3 * 378 - 55), kStatusOutOfRange},
        {"params past the area", makeFrame(0x05, 56, 201), kStatusOutOfRange},
        {"macro past capacity", makeFrame(0x09, 1, 16384), kStatusOutOfRange},
        {"length above 56", makeFrame(0x07, 57, 0), kStatusOutOfRange},
        {"device info past 44", makeFrame(0x03, 45, 0), kStatusOutOfRange},
        {"unknown command", makeFrame(0x0C, 0, 0), kStatusRefused},
        {"bad checksum", badChecksum, kStatusRefused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PluggedKeyboard kb;
        const auto before = kb.keyboard->memory(SimRegion::keyTables);
        const auto reply = kb.transact(c.request);
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[7], c.status);
        EXPECT_TRUE(std::equal(reply->begin(), reply->begin() + 7, c.request.begin()));
        EXPECT_EQ(kb.keyboard->memory(SimRegion::keyTables), before);
    }
    PluggedKeyboard kb;
    const auto params = kb.transact(makeFrame(0x05, 56, 84));
    ASSERT_TRUE(params);
    EXPECT_EQ((*params)[7], kStatusOk) << "the host reads 56 bytes at the last page";
}

TEST(SimulatedKeyboardTest, DeviceInfoAnnouncesCapacityAndModesAndTakesOnlyTheProfile) {
    for (const auto model : {KeyboardModel::keys126, KeyboardModel::keys128}) {
        PluggedKeyboard kb(model);
        const auto info = kb.transact(makeFrame(0x03, 44, 0));
        ASSERT_TRUE(info);
        EXPECT_EQ((*info)[8 + 10], 0);
        EXPECT_EQ((*info)[8 + 11], model == KeyboardModel::keys126 ? 0x80 : 0xC0);
        const auto modes = std::span(*info).subspan(8 + 12, 32);
        const auto end = std::find(modes.begin(), modes.end(), 0);
        ASSERT_NE(end, modes.end());
        EXPECT_NE(std::find(modes.begin(), end, 20), end);

        std::vector<std::uint8_t> block(info->begin() + 8, info->begin() + 52);
        block[10] = 2;
        block[11] = 0x01; // the firmware's own capacity must not change
        block[0] ^= 0xFF;
        ASSERT_EQ((*kb.transact(makeFrame(0x04, 44, 0, block)))[7], kStatusOk);
        block[10] = 7; // no such profile: ignored
        ASSERT_EQ((*kb.transact(makeFrame(0x04, 44, 0, block)))[7], kStatusOk);
        const auto after = kb.transact(makeFrame(0x03, 44, 0));
        ASSERT_TRUE(after);
        EXPECT_EQ(kb.keyboard->activeProfile(), 2);
        EXPECT_EQ((*after)[8 + 10], 2);
        EXPECT_TRUE(std::equal(info->begin() + 8, info->begin() + 18, after->begin() + 8));
        EXPECT_TRUE(std::equal(info->begin() + 19, info->begin() + 52, after->begin() + 19));
    }
}

TEST(SimulatedKeyboardTest, FactoryTableHoldsEveryKeyOnceAndSomeEmptyCells) {
    for (const auto model : {KeyboardModel::keys126, KeyboardModel::keys128}) {
        SimulatedKeyboard keyboard(model);
        const auto& info = keyboard.info();
        const auto table = keyboard.memory(SimRegion::defaultKeyTable);
        ASSERT_EQ(table.size(), info.tableBytes);
        std::set<std::uint8_t> keys, modifiers, extras;
        std::size_t standard = 0, empty = 0;
        for (std::size_t cell = 0; cell < info.keyCount; ++cell) {
            const std::uint8_t* e = table.data() + cell * 3;
            if (e[0] == 2 && e[1] == 2) {
                keys.insert(e[2]);
                ++standard;
            } else if (e[0] == 2 && e[1] == 1) {
                EXPECT_EQ(std::popcount(e[2]), 1) << "cell " << cell;
                modifiers.insert(e[2]);
                ++standard;
            } else if (e[0] == 6 && e[1] == 0xA2) {
                EXPECT_TRUE(extras.insert(e[2]).second) << "extra key twice: " << int{e[2]};
            } else {
                EXPECT_TRUE(e[0] == 0 && e[1] == 0 && e[2] == 0) << "cell " << cell;
                ++empty;
            }
        }
        EXPECT_EQ(standard, 106u);
        EXPECT_EQ(keys.size() + modifiers.size(), 106u) << "a standard key appears twice";
        EXPECT_EQ(modifiers.size(), 8u);
        EXPECT_TRUE(keys.count(0x04) && keys.count(0x87) && keys.count(0x48)); // A, K56, Pause
        EXPECT_EQ(extras.size(), 18u);
        EXPECT_EQ(*extras.begin(), 1);
        EXPECT_EQ(*extras.rbegin(), 18);
        EXPECT_GT(empty, 0u);
        const auto banks = keyboard.memory(SimRegion::keyTables);
        for (std::size_t bank = 0; bank < 3; ++bank) {
            EXPECT_TRUE(
                std::equal(table.begin(), table.end(),
                           banks.begin() + static_cast<std::ptrdiff_t>(bank * info.tableBytes)));
        }
    }
}

TEST(SimulatedKeyboardTest, BracketsNestAndWritesOutsideThemAreAccepted) {
    PluggedKeyboard kb;
    const std::uint8_t entry[] = {2, 2, 0x05};
    EXPECT_EQ((*kb.transact(makeFrame(0x08, 3, 0, entry)))[7], kStatusOk);
    const std::pair<std::uint8_t, unsigned> steps[] = {{1, 1}, {1, 2}, {2, 1}, {2, 0}, {2, 0}};
    for (const auto& [command, depth] : steps) {
        ASSERT_TRUE(kb.transact(makeFrame(command, 0, 0)));
        EXPECT_EQ(kb.keyboard->bracketDepth(), depth);
    }
    EXPECT_EQ(kb.keyboard->memory(SimRegion::keyTables)[2], 0x05);
}

TEST(SimulatedKeyboardTest, FaultsShapeTheAnswers) {
    const std::uint8_t data[] = {9, 9, 9};
    const Frame write = makeFrame(0x06, 3, 5, data);
    {
        SCOPED_TRACE("silent");
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.silent = true});
        EXPECT_FALSE(kb.transact(write, 30));
        EXPECT_NE(kb.keyboard->memory(SimRegion::params)[5], 9);
    }
    for (const std::uint8_t status : {kStatusRefused, kStatusOutOfRange}) {
        SCOPED_TRACE(int{status});
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.forcedStatus = status});
        const auto reply = kb.transact(write);
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[7], status);
        EXPECT_NE(kb.keyboard->memory(SimRegion::params)[5], 9);
    }
    {
        SCOPED_TRACE("third copy");
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.answerCopy = 3});
        EXPECT_FALSE(kb.transact(write, 30));
        EXPECT_FALSE(kb.transact(makeFrame(0x01, 0, 0), 30)) << "another request starts over";
        EXPECT_FALSE(kb.transact(write, 30));
        EXPECT_FALSE(kb.transact(write, 30));
        EXPECT_TRUE(kb.transact(write, 30));
        const auto log = kb.keyboard->wireLog();
        EXPECT_FALSE(kb.transact(write, 30)) << "each answer needs three copies again";
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const WireFrame& f) {
                                    return f.direction == WireDirection::hostToDevice;
                                }),
                  5);
        ASSERT_EQ(log.back().direction, WireDirection::deviceToHost);
        EXPECT_EQ(log.back().collection, SimCollection::command);
        EXPECT_EQ(kb.keyboard->memory(SimRegion::params)[5], 9);
    }
}

TEST(SimulatedKeyboardTest, BootModeRequestGetsNoReplyAndTakesTheKeyboardOffTheBus) {
    PluggedKeyboard kb;
    Frame boot{};
    boot[0] = 4;
    boot[3] = 0xEE;
    boot[4] = 0xEE;
    EXPECT_EQ(kb.send(boot), platform::HidIoStatus::ok);
    EXPECT_FALSE(kb.readReply(50));
    EXPECT_TRUE(kb.keyboard->inBootMode());
    EXPECT_TRUE(kb.backend.enumerate()->empty());
    const auto log = kb.keyboard->wireLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].direction, WireDirection::hostToDevice);

    ASSERT_TRUE(kb.backend.plug(kb.keyboard));
    EXPECT_FALSE(kb.keyboard->inBootMode());
}

TEST(SimulatedKeyboardTest, UserActionsOnTheKeyboardChangeItsMemory) {
    PluggedKeyboard kb;
    ASSERT_TRUE(kb.transact(makeFrame(0x04, 44, 0, std::vector<std::uint8_t>(44, 1))));
    const auto before = kb.keyboard->memory(SimRegion::params);
    kb.keyboard->changeLightingOnKeyboard();
    const auto after = kb.keyboard->memory(SimRegion::params);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_NE(after[42], before[42]) << "the active profile's page changes";

    ASSERT_TRUE(kb.transact(makeFrame(0x0A, 3, 0, std::vector<std::uint8_t>{0, 0, 0})));
    kb.keyboard->factoryReset();
    EXPECT_EQ(kb.keyboard->activeProfile(), 0);
    EXPECT_EQ(kb.keyboard->memory(SimRegion::params),
              SimulatedKeyboard(KeyboardModel::keys126).memory(SimRegion::params));
    EXPECT_EQ(kb.keyboard->memory(SimRegion::macros)[0], 0xAA);

    SimulatedKeyboard blank(KeyboardModel::keys128, {.validMacroHeader = false});
    const auto macros = blank.memory(SimRegion::macros);
    EXPECT_EQ(macros.size(), 0xC0u * 128);
    EXPECT_TRUE(std::all_of(macros.begin(), macros.end(), [](auto b) { return b == 0; }));
}

class SimStateFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("velkan-sim-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
};

TEST_F(SimStateFileTest, StateSurvivesASaveAndLoad) {
    SimulatedKeyboard original(KeyboardModel::keys128);
    ASSERT_TRUE(original.setMemory(SimRegion::deviceInfo, 10, std::vector<std::uint8_t>{2, 0x10}));
    ASSERT_TRUE(original.setMemory(SimRegion::keyTables, 1000, pattern(40, 7)));
    ASSERT_TRUE(original.setMemory(SimRegion::macros, 2040, pattern(8, 1)));
    ASSERT_TRUE(original.setMemory(SimRegion::keyColours, 1530, pattern(6, 3)));
    const auto path = folder_ / "keyboard.state";
    ASSERT_TRUE(original.saveState(path));

    SimulatedKeyboard restored(KeyboardModel::keys128);
    ASSERT_TRUE(restored.loadState(path));
    EXPECT_EQ(restored.activeProfile(), 2);
    for (const auto region :
         {SimRegion::deviceInfo, SimRegion::params, SimRegion::keyTables,
          SimRegion::defaultKeyTable, SimRegion::macros, SimRegion::keyColours}) {
        EXPECT_EQ(restored.memory(region), original.memory(region));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1)
        << "no temporary file left behind";
}

TEST_F(SimStateFileTest, DamagedOrForeignFilesAreRefused) {
    SimulatedKeyboard saved(KeyboardModel::keys126);
    ASSERT_TRUE(saved.setMemory(SimRegion::params, 0, pattern(10, 50)));
    const auto good = folder_ / "good.state";
    ASSERT_TRUE(saved.saveState(good));
    std::ifstream in(good, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};

    struct Case {
        const char* name;
        std::vector<char> content;
        KeyboardModel loader;
    };
    auto flipped = bytes;
    ASSERT_GT(bytes.size(), 200u);
    flipped.at(bytes.size() / 2) ^= 0x20;
    auto longer = bytes;
    longer.push_back(0);
    const Case cases[] = {
        {"short", {bytes.begin(), bytes.begin() + 200}, KeyboardModel::keys126},
        {"empty", {}, KeyboardModel::keys126},
        {"flipped byte", flipped, KeyboardModel::keys126},
        {"trailing byte", longer, KeyboardModel::keys126},
        {"other model", bytes, KeyboardModel::keys128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = folder_ / "damaged.state";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(c.content.data(), static_cast<std::streamsize>(c.content.size()));
        SimulatedKeyboard keyboard(c.loader);
        const auto before = keyboard.memory(SimRegion::params);
        EXPECT_FALSE(keyboard.loadState(path));
        EXPECT_EQ(keyboard.memory(SimRegion::params), before);
    }
    SimulatedKeyboard keyboard(KeyboardModel::keys126);
    EXPECT_FALSE(keyboard.loadState(folder_ / "missing.state"));
    EXPECT_TRUE(keyboard.loadState(good));
}

} // namespace
} // namespace velkan::sim::test
