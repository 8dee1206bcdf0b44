#include "sim_test_support.h"

#include <atomic>
#include <future>
#include <thread>

namespace velkan::sim::test {
namespace {

using platform::HidIoStatus;
using namespace std::chrono_literals;

// Long enough that only a hang can reach it.
constexpr auto kHangGuard = 10s;

std::array<std::uint8_t, 3> readEvent(platform::HidInterface& hid, int timeoutMs = 300) {
    std::array<std::uint8_t, 3> report{};
    std::size_t got = 0;
    EXPECT_EQ(hid.read(report, timeoutMs, got), HidIoStatus::ok);
    EXPECT_EQ(got, 3u);
    return report;
}

TEST(SimHidBackendTest, EachCollectionHasItsPathIdsUsageAndReportLengths) {
    struct Expected {
        std::uint16_t usagePage, usage, input, output;
    };
    const Expected expected[] = {
        {0x0001, 0x0006, 9, 2}, {0xFF1C, 0x0092, 64, 64}, {0x000C, 0x0001, 3, 0}};
    const char* const suffixes[] = {"", "&col01", "&col02"};
    for (const auto model : {KeyboardModel::keys126, KeyboardModel::keys128}) {
        const auto& info = modelInfo(model);
        SimHidBackend backend;
        ASSERT_TRUE(backend.plug(std::make_shared<SimulatedKeyboard>(model)));
        const auto paths = backend.enumerate();
        ASSERT_TRUE(paths);
        ASSERT_EQ(paths->size(), 3u);
        char ids[32];
        std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x", info.vendorId, info.productId);
        for (std::size_t i = 0; i < 3; ++i) {
            const auto& path = (*paths)[i];
            SCOPED_TRACE(path);
            EXPECT_EQ(path,
                      std::string(i == 0 ? "sim/kbd0/if0" : "sim/kbd0/if1") + ids + suffixes[i]);
            EXPECT_TRUE(backend.probe(path));
            const auto hid = backend.open(path, {.read = true});
            ASSERT_TRUE(hid);
            EXPECT_EQ(hid->attributes().vendorId, info.vendorId);
            EXPECT_EQ(hid->attributes().productId, info.productId);
            const auto& collection = hid->collection();
            EXPECT_EQ(collection.usagePage, expected[i].usagePage);
            EXPECT_EQ(collection.usage, expected[i].usage);
            EXPECT_EQ(collection.inputReportLength, expected[i].input);
            EXPECT_EQ(collection.outputReportLength, expected[i].output);
        }
    }
}

TEST(SimHidBackendTest, EventsArriveOnTheConsumerCollectionOnly) {
    PluggedKeyboard kb;
    struct Case {
        const char* name;
        void (*trigger)(SimulatedKeyboard&);
        std::uint16_t code;
    };
    const Case cases[] = {
        {"lighting", [](SimulatedKeyboard& k) { k.changeLightingOnKeyboard(); }, 0x0401},
        {"reset", [](SimulatedKeyboard& k) { k.factoryReset(); }, 0x0402},
        {"tray alternate", [](SimulatedKeyboard& k) { k.sendEvent(0x1811); }, 0x1811},
        {"tray return", [](SimulatedKeyboard& k) { k.sendEvent(0x1810); }, 0x1810},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.trigger(*kb.keyboard);
        const auto press = readEvent(*kb.consumer);
        EXPECT_EQ(kb.consumer->buttonsSet(press),
                  (std::vector<platform::HidUsage>{{0x000C, c.code}}));
        EXPECT_EQ(readEvent(*kb.consumer), (std::array<std::uint8_t, 3>{3, 0, 0}));
        EXPECT_FALSE(kb.readReply(0)) << "an event leaked into the command collection";
    }
}

TEST(SimHidBackendTest, InputQueueKeepsTheNewest64Reports) {
    PluggedKeyboard kb;
    for (std::uint16_t code = 1; code <= 40; ++code) {
        kb.keyboard->sendEvent(code);
    }
    EXPECT_EQ(readEvent(*kb.consumer)[1], 9) << "events 1-8 (16 reports) were dropped";
    std::array<std::uint8_t, 3> report{};
    std::size_t got = 0;
    int remaining = 0;
    while (kb.consumer->read(report, 0, got) == HidIoStatus::ok) {
        ++remaining;
    }
    EXPECT_EQ(remaining, 63);
}

TEST(SimHidBackendTest, ReadHonoursTimeOutAndCancel) {
    PluggedKeyboard kb;
    std::array<std::uint8_t, 3> report{};
    std::size_t got = 99;
    EXPECT_EQ(kb.consumer->read(report, 20, got), HidIoStatus::timedOut);
    EXPECT_EQ(got, 0u);

    kb.consumer->cancel(); // nobody waits: pending for the next call, once
    kb.consumer->cancel();
    EXPECT_EQ(kb.consumer->read(report, platform::kHidInfiniteTimeout, got),
              HidIoStatus::cancelled);
    EXPECT_EQ(kb.consumer->read(report, 0, got), HidIoStatus::timedOut);

    auto blocked = std::async(std::launch::async, [&] {
        std::array<std::uint8_t, 3> buffer{};
        std::size_t n = 0;
        return kb.consumer->read(buffer, platform::kHidInfiniteTimeout, n);
    });
    std::this_thread::sleep_for(20ms);
    kb.consumer->cancel();
    ASSERT_EQ(blocked.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_EQ(blocked.get(), HidIoStatus::cancelled);
}

TEST(SimHidBackendTest, UnplugFailsBlockedAndLaterIo) {
    PluggedKeyboard kb;
    const auto paths = *kb.backend.enumerate();
    auto blocked = std::async(std::launch::async, [&] {
        std::array<std::uint8_t, 3> buffer{};
        std::size_t n = 0;
        return kb.consumer->read(buffer, platform::kHidInfiniteTimeout, n);
    });
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(kb.backend.unplug(kb.keyboard));
    ASSERT_EQ(blocked.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_EQ(blocked.get(), HidIoStatus::failed);
    EXPECT_EQ(kb.send(makeFrame(0x01, 0, 0)), HidIoStatus::failed);
    EXPECT_FALSE(kb.readReply(0));
    EXPECT_TRUE(kb.keyboard->wireLog().empty());
    for (const auto& path : paths) {
        EXPECT_FALSE(kb.backend.probe(path));
        EXPECT_FALSE(kb.backend.open(path, {.read = true}));
    }
    EXPECT_FALSE(kb.backend.unplug(kb.keyboard));

    ASSERT_TRUE(kb.backend.plug(kb.keyboard));
    EXPECT_EQ((*kb.backend.enumerate())[0].rfind("sim/kbd1/", 0), 0u) << "a new plug, new paths";
    EXPECT_EQ(kb.send(makeFrame(0x01, 0, 0)), HidIoStatus::failed) << "old handles stay dead";
    SimHidBackend other;
    EXPECT_FALSE(other.plug(kb.keyboard)) << "one bus at a time";
}

TEST(SimHidBackendTest, WriteFaultsReachTheHost) {
    const Frame begin = makeFrame(0x01, 0, 0);
    {
        SCOPED_TRACE("failing write");
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.failWrites = true});
        EXPECT_EQ(kb.send(begin), HidIoStatus::failed);
        EXPECT_TRUE(kb.keyboard->wireLog().empty());
    }
    {
        SCOPED_TRACE("stall longer than the time-out");
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.writeStall = 300ms});
        EXPECT_EQ(kb.send(begin, 20), HidIoStatus::timedOut);
        EXPECT_FALSE(kb.readReply(0)) << "the stalled frame is not answered before it lands";
        EXPECT_TRUE(kb.readReply(2000)) << "the kernel finishes the transfer by itself";
    }
    {
        SCOPED_TRACE("stall within the time-out");
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.writeStall = 20ms});
        EXPECT_TRUE(kb.transact(begin));
    }
    {
        SCOPED_TRACE("latency");
        PluggedKeyboard kb;
        kb.keyboard->setFaults({.latency = 100ms});
        ASSERT_EQ(kb.send(begin), HidIoStatus::ok);
        EXPECT_FALSE(kb.readReply(0));
        EXPECT_TRUE(kb.readReply(2000));
        const auto log = kb.keyboard->wireLog();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_GE(log[1].time - log[0].time, 100ms);
    }
}

TEST(SimHidBackendTest, RemovalAfterNFramesCutsATransferShort) {
    PluggedKeyboard kb;
    kb.keyboard->setFaults({.removeAfterFrames = 3});
    const auto before = kb.keyboard->memory(SimRegion::keyTables);
    const std::vector<std::uint8_t> chunk(56, 0x33);
    for (std::uint16_t k = 0; k < 2; ++k) {
        EXPECT_TRUE(kb.transact(makeFrame(0x08, 56, static_cast<std::uint16_t>(k * 56), chunk)));
    }
    EXPECT_EQ(kb.send(makeFrame(0x08, 56, 112, chunk)), HidIoStatus::ok);
    EXPECT_FALSE(kb.readReply(0));
    EXPECT_TRUE(kb.backend.enumerate()->empty());
    const auto after = kb.keyboard->memory(SimRegion::keyTables);
    EXPECT_EQ(after[111], 0x33);
    EXPECT_EQ(after[112], before[112]) << "the frame it dropped off on was not carried out";
}

TEST(SimHidBackendTest, HostAndTestThreadsShareTheKeyboardSafely) {
    PluggedKeyboard kb;
    std::atomic<bool> done{false};
    std::thread poker([&] {
        for (std::uint16_t i = 0; !done; ++i) {
            kb.keyboard->sendEvent(0x1801 + i % 4);
            kb.keyboard->setFaults({.latency = std::chrono::milliseconds(i % 2)});
            kb.keyboard->clearWireLog();
            std::this_thread::yield();
        }
    });
    std::thread listener([&] {
        std::array<std::uint8_t, 3> report{};
        std::size_t got = 0;
        while (kb.consumer->read(report, platform::kHidInfiniteTimeout, got) == HidIoStatus::ok) {
            const int code = report[1] | report[2] << 8;
            EXPECT_TRUE(code == 0 || (code >= 0x1801 && code <= 0x1804)) << code;
        }
    });
    for (std::uint8_t i = 0; i < 200; ++i) {
        const Frame request = makeFrame(0x07, 3, static_cast<std::uint16_t>(3 * i));
        const auto reply = kb.transact(request, 1000);
        if (!reply) {
            ADD_FAILURE() << "request " << int{i} << " went unanswered";
            break;
        }
        EXPECT_TRUE(std::equal(reply->begin(), reply->begin() + 7, request.begin()));
    }
    done = true;
    poker.join();
    kb.backend.unplug(kb.keyboard);
    listener.join();
}

} // namespace
} // namespace velkan::sim::test
