#include "link_fixture.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"
#include "protocol/transaction.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace velkan::protocol {
namespace {

using namespace std::chrono_literals;
using test::LinkFixture;

TEST(CommandFrame, ChecksumCoversBytesThreeToSixtyThree) {
    CommandReport info = newCommandReport(command::kReadDeviceInfo, 0x2C);
    FinishFrame(info);
    EXPECT_EQ(info[0], 4);
    EXPECT_EQ(info[1], 0x2F);
    EXPECT_EQ(info[2], 0x00);

    CommandReport full{};
    full.fill(0xFF);
    FinishFrame(full);
    EXPECT_EQ(full[1], 0xC3) << "61 x 255 = 0x3CC3";
    EXPECT_EQ(full[2], 0x3C);
    EXPECT_EQ(full[0], 0xFF) << "the report id is not touched";

    CommandReport address = newCommandReport(command::kWriteKeyTable, 56, 0x017A);
    EXPECT_EQ(address[5], 0x7A);
    EXPECT_EQ(address[6], 0x01);
    EXPECT_EQ(address[7], 0);
}

using TransactTest = LinkFixture;

TEST_F(TransactTest, RequestIsPaddedOrCutToOneReportAndSentAsBuilt) {
    connect();
    CommandReport reply{};
    std::vector<std::uint8_t> shortRequest = {4, 0x2F, 0x00, command::kReadDeviceInfo, 0x2C};
    std::size_t got = 0;
    ASSERT_EQ(Transact(link, shortRequest, reply, &got), CommandResult::success);
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(reply[kStatusOffset], 0x00);

    std::vector<std::uint8_t> longRequest(70, 0);
    longRequest[0] = 4;
    longRequest[3] = command::kBeginConfig;
    longRequest[1] = command::kBeginConfig;
    longRequest[64] = 0xAA; // past the report: never sent
    ASSERT_EQ(Transact(link, longRequest, reply, nullptr), CommandResult::success);

    const auto frames = sentFrames();
    ASSERT_EQ(frames.size(), 2u);
    std::vector<std::uint8_t> expectedShort(64, 0);
    std::copy(shortRequest.begin(), shortRequest.end(), expectedShort.begin());
    EXPECT_EQ(frames[0], expectedShort);
    EXPECT_EQ(frames[1], std::vector<std::uint8_t>(longRequest.begin(), longRequest.begin() + 64));
}

TEST_F(TransactTest, RetriesUntilAnsweredAndGivesUpAfterFourCopies) {
    struct Case {
        const char* what;
        sim::SimFaults faults;
        CommandResult result;
        int writes;
    };
    const Case cases[] = {
        {"answers at once", {}, CommandResult::success, 1},
        {"answers the third copy", {.answerCopy = 3}, CommandResult::success, 3},
        {"never answers", {.silent = true}, CommandResult::noDevice, 4},
        {"write fails: no retry", {.failWrites = true}, CommandResult::writeFailed, 1},
    };
    connect();
    for (const Case& c : cases) {
        keyboard->setFaults(c.faults);
        backend.writes = 0;
        CommandReport reply{};
        CommandReport request = newCommandReport(command::kReadDeviceInfo, 0x2C);
        FinishFrame(request);
        std::size_t got = 99;
        EXPECT_EQ(Transact(link, request, reply, &got), c.result) << c.what;
        EXPECT_EQ(backend.writes, c.writes) << c.what;
        EXPECT_EQ(got, c.result == CommandResult::success ? 64u : 0u) << c.what;
    }
}

// A silent keyboard costs each command four copies of its first frame, each waited on for
// 300 ms, and no more: the command fails about 1.2 s after it began. The lower bounds hold
// however busy the machine; the upper one leaves room for a slow one.
TEST_F(TransactTest, SilentKeyboardFailsACommandAfterFourRepliesWaitedOut) {
    struct Case {
        const char* what;
        std::function<CommandResult(device::DeviceLink&)> command;
    };
    const std::vector<Case> cases = {
        {"one frame",
         [](device::DeviceLink& l) {
             std::array<std::uint8_t, kDeviceInfoSize> info{};
             return protocol::readDeviceInfo(l, info);
         }},
        {"seven frames",
         [](device::DeviceLink& l) {
             const std::array<std::uint8_t, kMaxTableBytes> table{};
             return protocol::writeKeyTable(l, table, 1);
         }},
        {"waits before it sends", [](device::DeviceLink& l) { return protocol::endConfig(l); }},
    };
    connect();
    keyboard->setFaults({.silent = true});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        keyboard->clearWireLog();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.command(link), CommandResult::noDevice);
        const auto took = std::chrono::steady_clock::now() - start;

        std::vector<std::chrono::steady_clock::time_point> copies;
        for (const auto& frame : keyboard->wireLog()) {
            if (frame.direction == sim::WireDirection::hostToDevice) {
                copies.push_back(frame.time);
            }
        }
        ASSERT_EQ(copies.size(), 4u);
        EXPECT_EQ(sentFrames(), std::vector(4, sentFrames().front()));
        copies.push_back(start + took);
        for (std::size_t i = 1; i < copies.size(); ++i) {
            EXPECT_GE(copies[i] - copies[i - 1], 300ms) << "after copy " << i;
        }
        EXPECT_LT(took, 1500ms);
    }
}

TEST_F(TransactTest, AbsentKeyboardSendsNothing) {
    connect();
    link.devicePresent = false;
    CommandReport reply{};
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    EXPECT_EQ(Transact(link, newCommandReport(1), reply, nullptr), CommandResult::noDevice);
    EXPECT_EQ(SendOnly(link, newCommandReport(1)), CommandResult::noDevice);
    EXPECT_EQ(protocol::readDeviceInfo(link, info), CommandResult::noDevice);
    EXPECT_EQ(protocol::enterBootMode(link), CommandResult::noDevice);
    EXPECT_EQ(backend.writes, 0);
}

TEST_F(TransactTest, ReplyStatusDecidesTheCommandResult) {
    connect();
    const std::pair<std::uint8_t, CommandResult> cases[] = {{0xFF, CommandResult::statusFF},
                                                            {0xFE, CommandResult::statusFE},
                                                            {0x00, CommandResult::success},
                                                            {0x01, CommandResult::success}};
    for (auto [status, result] : cases) {
        keyboard->setFaults({.forcedStatus = status});
        std::array<std::uint8_t, kDeviceInfoSize> info{};
        info.fill(0xEE);
        EXPECT_EQ(protocol::readDeviceInfo(link, info), result) << int(status);
        EXPECT_EQ(protocol::beginConfig(link), result) << int(status);
        if (result != CommandResult::success) {
            EXPECT_EQ(info[0], 0xEE) << "a failed read leaves the destination alone";
        }
    }
}

// A reply that comes after its transaction gave up must not answer the next request.
TEST_F(TransactTest, LateReplyToAnEarlierRequestIsDropped) {
    connect();
    keyboard->setFaults({.latency = 400ms});
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    // First copy times out at 300 ms, its reply arrives during the second copy's wait.
    ASSERT_EQ(protocol::readDeviceInfo(link, info), CommandResult::success);
    keyboard->setFaults({});
    std::this_thread::sleep_for(500ms); // the second copy's reply is now waiting

    CommandReport reply{};
    CommandReport request = newCommandReport(command::kReadParams, 56, 42);
    FinishFrame(request);
    ASSERT_EQ(Transact(link, request, reply, nullptr), CommandResult::success);
    EXPECT_EQ(reply[kCommandOffset], command::kReadParams);
    EXPECT_EQ(reply[kAddressOffset], 42);
}

// Two threads issuing commands at once each get the answer to their own request.
TEST_F(TransactTest, ConcurrentTransactionsNeverTakeEachOthersReplies) {
    connect();
    keyboard->setFaults({.latency = 1ms});
    std::atomic<int> mismatches{0};
    auto issue = [&](std::uint8_t command, std::uint16_t address) {
        for (int i = 0; i < 40; ++i) {
            CommandReport request = newCommandReport(command, 1, address);
            FinishFrame(request);
            CommandReport reply{};
            if (Transact(link, request, reply, nullptr) != CommandResult::success ||
                reply[kCommandOffset] != command || reply[kAddressOffset] != address) {
                ++mismatches;
            }
        }
    };
    std::thread user(issue, command::kReadParams, std::uint16_t{42});
    std::thread monitor(issue, command::kReadKeyTable, std::uint16_t{56});
    user.join();
    monitor.join();
    EXPECT_EQ(mismatches, 0);
}

} // namespace
} // namespace velkan::protocol
