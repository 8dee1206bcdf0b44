// HidDevice on the simulated keyboard: the collections it opens and reads that must end when
// the keyboard goes away or another thread closes the channel.
#include "device/hid_device.h"
#include "sim/sim_hid_backend.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace velkan::device {
namespace {

using namespace std::chrono_literals;

struct SimKeyboardFixture : testing::Test {
    // Opens the first collection with this usage page, as the device link's scan does.
    bool openCollection(HidDevice& device, std::uint16_t usagePage, bool write) {
        if (!device.enumerate()) {
            return false;
        }
        while (auto path = device.nextPath()) {
            if (device.open(*path, {.read = true, .write = write}) &&
                device.usagePage() == usagePage) {
                return true;
            }
        }
        return false;
    }

    // Starts an infinite read on another thread and waits until it is blocked in it.
    std::future<bool> blockedRead(HidDevice& device) {
        auto read = std::async(std::launch::async, [&device] {
            std::vector<std::uint8_t> report(device.inputReportLength());
            return device.read(report, nullptr, platform::kHidInfiniteTimeout);
        });
        EXPECT_EQ(read.wait_for(100ms), std::future_status::timeout) << "read returned early";
        return read;
    }

    sim::SimHidBackend backend;
};

TEST_F(SimKeyboardFixture, OpensBothCollectionsOfEitherModel) {
    for (auto model : {sim::KeyboardModel::keys126, sim::KeyboardModel::keys128}) {
        auto keyboard = std::make_shared<sim::SimulatedKeyboard>(model);
        ASSERT_TRUE(backend.plug(keyboard));
        const auto& info = sim::modelInfo(model);

        HidDevice command(backend);
        ASSERT_TRUE(openCollection(command, 0xFF1C, true));
        EXPECT_EQ(command.usage(), 0x0092);
        EXPECT_EQ(command.inputReportLength(), 64);
        EXPECT_EQ(command.outputReportLength(), 64);
        EXPECT_EQ(command.vendorId(), info.vendorId);
        EXPECT_EQ(command.productId(), info.productId);

        HidDevice events(backend);
        ASSERT_TRUE(openCollection(events, 0x000C, false));
        EXPECT_EQ(events.usage(), 0x0001);
        EXPECT_GT(events.inputReportLength(), 1);

        ASSERT_TRUE(backend.unplug(keyboard));
    }
}

TEST_F(SimKeyboardFixture, EventReportReadsAsItsCode) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    ASSERT_TRUE(backend.plug(keyboard));
    HidDevice events(backend);
    ASSERT_TRUE(openCollection(events, 0x000C, false));

    keyboard->sendEvent(0x1811);
    std::vector<std::uint8_t> report(events.inputReportLength());
    std::size_t length = 0;
    ASSERT_TRUE(events.read(report, &length, 1000));
    report.resize(length);
    EXPECT_EQ(events.buttonsSet(report), (std::vector<platform::HidUsage>{{0x000C, 0x1811}}));
}

TEST_F(SimKeyboardFixture, InfiniteReadEndsWhenTheKeyboardIsUnplugged) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys128);
    ASSERT_TRUE(backend.plug(keyboard));
    HidDevice events(backend);
    ASSERT_TRUE(openCollection(events, 0x000C, false));

    auto read = blockedRead(events);
    ASSERT_TRUE(backend.unplug(keyboard));
    ASSERT_EQ(read.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(read.get());
    EXPECT_FALSE(backend.probe(events.path()));
}

TEST_F(SimKeyboardFixture, CloseFromAnotherThreadEndsReadThenReleases) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    ASSERT_TRUE(backend.plug(keyboard));
    HidDevice events(backend);
    ASSERT_TRUE(openCollection(events, 0x000C, false));

    auto read = blockedRead(events);
    EXPECT_TRUE(events.close());
    ASSERT_EQ(read.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(read.get());
    EXPECT_FALSE(events.isOpen());
    EXPECT_EQ(events.inputReportLength(), 0);

    // The device reopens in place and reads again.
    ASSERT_TRUE(openCollection(events, 0x000C, false));
    keyboard->sendEvent(0x0401);
    std::vector<std::uint8_t> report(events.inputReportLength());
    EXPECT_TRUE(events.read(report, nullptr, 1000));
}

TEST_F(SimKeyboardFixture, CancelMakesTheNextReadFailOnce) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    ASSERT_TRUE(backend.plug(keyboard));
    HidDevice events(backend);
    ASSERT_TRUE(openCollection(events, 0x000C, false));

    auto read = blockedRead(events);
    events.cancel();
    ASSERT_EQ(read.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(read.get());

    events.cancel(); // nobody waits: the signal waits for the next read
    keyboard->sendEvent(0x0401);
    std::vector<std::uint8_t> report(events.inputReportLength());
    EXPECT_FALSE(events.read(report, nullptr, 1000));
    EXPECT_TRUE(events.read(report, nullptr, 1000));
}

} // namespace
} // namespace velkan::device
