#include "link_fixture.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"

#include <gtest/gtest.h>
#include <numeric>

namespace velkan::protocol {
namespace {

using test::LinkFixture;
using CommandSetTest = LinkFixture;

struct Header {
    std::uint8_t command;
    std::uint8_t length;
    std::uint16_t address;
};

Header headerOf(const std::vector<std::uint8_t>& frame) {
    return {frame[kCommandOffset], frame[kLengthOffset],
            static_cast<std::uint16_t>(frame[kAddressOffset] | frame[kAddressOffset + 1] << 8)};
}

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
}

TEST_F(CommandSetTest, KeyTableBanksMoveInChunksAtTheirAddresses) {
    struct Case {
        sim::KeyboardModel model;
        int bank;
        std::vector<Header> frames;
    };
    const Case cases[] = {
        {sim::KeyboardModel::keys126,
         1,
         {{8, 56, 378},
          {8, 56, 434},
          {8, 56, 490},
          {8, 56, 546},
          {8, 56, 602},
          {8, 56, 658},
          {8, 42, 714}}},
        {sim::KeyboardModel::keys126,
         2,
         {{8, 56, 756},
          {8, 56, 812},
          {8, 56, 868},
          {8, 56, 924},
          {8, 56, 980},
          {8, 56, 1036},
          {8, 42, 1092}}},
        {sim::KeyboardModel::keys128,
         0,
         {{8, 56, 0},
          {8, 56, 56},
          {8, 56, 112},
          {8, 56, 168},
          {8, 56, 224},
          {8, 56, 280},
          {8, 56, 336},
          {8, 56, 392},
          {8, 56, 448},
          {8, 8, 504}}},
    };
    for (const Case& c : cases) {
        connect(c.model);
        const std::size_t tableBytes = sim::modelInfo(c.model).tableBytes;
        std::array<std::uint8_t, kMaxTableBytes> table{};
        const auto bytes = pattern(tableBytes, static_cast<std::uint8_t>(c.bank * 7));
        std::copy(bytes.begin(), bytes.end(), table.begin());
        ASSERT_EQ(protocol::writeKeyTable(link, table, c.bank), CommandResult::success);

        const auto frames = sentFrames();
        ASSERT_EQ(frames.size(), c.frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const Header header = headerOf(frames[i]);
            EXPECT_EQ(header.command, c.frames[i].command);
            EXPECT_EQ(header.length, c.frames[i].length) << "frame " << i;
            EXPECT_EQ(header.address, c.frames[i].address) << "frame " << i;
            EXPECT_EQ(frames[i][kStatusOffset], 0);
        }
        // The last, short chunk keeps the previous chunk's bytes after its own.
        const auto& last = frames.back();
        const auto& before = frames[frames.size() - 2];
        const std::size_t lastLength = last[kLengthOffset];
        EXPECT_TRUE(std::equal(last.begin() + kPayloadOffset + static_cast<long>(lastLength),
                               last.end(),
                               before.begin() + kPayloadOffset + static_cast<long>(lastLength)));

        // What went out comes back, from the keyboard's memory.
        keyboard->clearWireLog();
        std::array<std::uint8_t, kMaxTableBytes> readBack{};
        ASSERT_EQ(protocol::readKeyTable(link, readBack, c.bank), CommandResult::success);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), readBack.begin()));
        EXPECT_EQ(sentFrames().size(), c.frames.size());
        ASSERT_TRUE(simBackend.unplug(keyboard));
    }
}

TEST_F(CommandSetTest, BadBankAndEmptyTransfersSendNothing) {
    connect();
    std::array<std::uint8_t, kMaxTableBytes> table{};
    EXPECT_EQ(protocol::readKeyTable(link, table, 3), CommandResult::badBank);
    EXPECT_EQ(protocol::writeKeyTable(link, table, -1), CommandResult::badBank);
    EXPECT_EQ(protocol::readMacroArea(link, {}), CommandResult::success);
    EXPECT_EQ(protocol::writeMacroArea(link, {}), CommandResult::success);
    std::vector<std::uint8_t> huge(0x10001);
    EXPECT_EQ(protocol::writeMacroArea(link, huge), CommandResult::writeFailed);
    std::vector<std::uint8_t> overlong(57);
    EXPECT_EQ(protocol::writeParams(link, overlong, 0), CommandResult::writeFailed);
    EXPECT_EQ(backend.writes, 0);
}

TEST_F(CommandSetTest, MacroAreaChunksFromAddressZero) {
    connect();
    const auto macro = pattern(57, 1);
    ASSERT_EQ(protocol::writeMacroArea(link, macro), CommandResult::success);
    const auto frames = sentFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(headerOf(frames[0]).length, 56);
    EXPECT_EQ(headerOf(frames[0]).address, 0);
    EXPECT_EQ(headerOf(frames[1]).length, 1);
    EXPECT_EQ(frames[1][5], 0x38);
    EXPECT_EQ(frames[1][6], 0x00);
    EXPECT_EQ(frames[1][kPayloadOffset], 57);

    std::vector<std::uint8_t> readBack(57);
    ASSERT_EQ(protocol::readMacroArea(link, readBack), CommandResult::success);
    EXPECT_EQ(readBack, macro);
}

TEST_F(CommandSetTest, ChunkedReadKeepsChunksBeforeAFailure) {
    connect();
    std::vector<std::uint8_t> area(200, 0xEE);
    keyboard->setFaults({.removeAfterFrames = 3});
    EXPECT_NE(protocol::readMacroArea(link, area), CommandResult::success);
    const auto factory = keyboard->memory(sim::SimRegion::macros);
    EXPECT_TRUE(std::equal(area.begin(), area.begin() + 112, factory.begin()));
    EXPECT_EQ(area[112], 0xEE);
}

TEST_F(CommandSetTest, SingleFrameCommandsCarryTheirFields) {
    connect();
    std::array<std::uint8_t, kParamsReplySize> params{};
    ASSERT_EQ(protocol::readParams(link, params, 56, 84), CommandResult::success);
    const auto expected = keyboard->memory(sim::SimRegion::params);
    EXPECT_TRUE(std::equal(params.begin(), params.end(), expected.begin() + 84));

    const std::uint8_t colour[] = {0x10, 0x20, 0x30};
    ASSERT_EQ(protocol::writeKeyColours(link, colour, 100, 2), CommandResult::success);
    const std::uint8_t flag[] = {1};
    ASSERT_EQ(protocol::writeParams(link, flag, 46), CommandResult::success);
    ASSERT_EQ(protocol::endConfig(link), CommandResult::success);

    const auto frames = sentFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(frames[0].begin() + 3, frames[0].begin() + 8),
              (std::vector<std::uint8_t>{0x05, 0x38, 0x54, 0x00, 0x00}));
    EXPECT_EQ(std::vector<std::uint8_t>(frames[1].begin() + 3, frames[1].begin() + 11),
              (std::vector<std::uint8_t>{0x11, 3, 0x2C, 0x05, 0, 0x10, 0x20, 0x30}));
    EXPECT_EQ(headerOf(frames[2]).address, 46);
    EXPECT_EQ(frames[2][kPayloadOffset], 1);
    EXPECT_EQ(frames[3][kCommandOffset], command::kEndConfig);
    for (const auto& frame : frames) {
        CommandReport copy{};
        std::copy(frame.begin(), frame.end(), copy.begin());
        EXPECT_EQ(frame[1] | frame[2] << 8, frameChecksum(copy));
    }
    const auto colours = keyboard->memory(sim::SimRegion::keyColours);
    EXPECT_EQ(colours[1324], 0x10);
    EXPECT_EQ(colours[1326], 0x30);
}

TEST_F(CommandSetTest, DeviceInfoReadChangeWriteBack) {
    connect();
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    ASSERT_EQ(protocol::readDeviceInfo(link, info), CommandResult::success);
    EXPECT_EQ(info[11], sim::modelInfo(sim::KeyboardModel::keys126).macroUnits);
    info[10] = 2;
    ASSERT_EQ(protocol::writeDeviceInfo(link, info), CommandResult::success);
    EXPECT_EQ(keyboard->activeProfile(), 2);
    const auto frames = sentFrames();
    EXPECT_EQ(headerOf(frames[1]).length, 44);
    EXPECT_TRUE(std::equal(info.begin(), info.end(), frames[1].begin() + kPayloadOffset));
}

TEST_F(CommandSetTest, BootModeRequestHasNoChecksumAndWaitsForNoReply) {
    connect();
    ASSERT_EQ(protocol::enterBootMode(link), CommandResult::success);
    const auto frames = sentFrames();
    ASSERT_EQ(frames.size(), 1u);
    std::vector<std::uint8_t> expected(64, 0);
    expected[0] = 4;
    expected[3] = 0xEE;
    expected[4] = 0xEE;
    EXPECT_EQ(frames[0], expected);
    EXPECT_TRUE(keyboard->inBootMode());
}

} // namespace
} // namespace velkan::protocol
