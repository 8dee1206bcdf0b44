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
using platform::HidReportType;

struct SimKeyboardFixture : testing::Test {
    // Opens the first collection with this usage page, as the device link's scan does.
    bool openCollection(HidDevice& device, std::uint16_t usagePage, bool write) {
        if (!device.EnumerateHidInterfaces()) {
            return false;
        }
        while (auto path = device.NextHidPath()) {
            if (device.OpenHid(*path, true, write, true, false) &&
                device.usagePage() == usagePage) {
                return true;
            }
        }
        return false;
    }

    // Starts an infinite read on another thread and waits until it is blocked in it.
    std::future<bool> blockedRead(HidDevice& device) {
        auto read = std::async(std::launch::async, [&device] {
            return device.ReadReport(device.reportBuffer(HidReportType::input), nullptr,
                                     platform::kHidInfiniteTimeout);
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
        EXPECT_EQ(command.inputReportByteLength(), 64);
        EXPECT_EQ(command.outputReportByteLength(), 64);
        EXPECT_EQ(command.vendorId(), info.vendorId);
        EXPECT_EQ(command.productId(), info.productId);

        HidDevice events(backend);
        ASSERT_TRUE(openCollection(events, 0x000C, false));
        EXPECT_EQ(events.usage(), 0x0001);
        ASSERT_FALSE(events.dataItems(HidReportType::input).empty());
        EXPECT_TRUE(events.dataItems(HidReportType::input).front().isButtonData);

        ASSERT_TRUE(backend.unplug(keyboard));
    }
}

TEST_F(SimKeyboardFixture, EventReportUnpacksToItsCode) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    ASSERT_TRUE(backend.plug(keyboard));
    HidDevice events(backend);
    ASSERT_TRUE(openCollection(events, 0x000C, false));

    keyboard->sendEvent(0x1811);
    auto report = events.reportBuffer(HidReportType::input);
    std::size_t length = 0;
    ASSERT_TRUE(events.ReadReport(report, &length, 1000));
    ASSERT_TRUE(events.UnpackInputReport(report.first(length)));
    EXPECT_EQ(events.dataItems(HidReportType::input).front().usages.front(), 0x1811);
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
    EXPECT_TRUE(events.CloseHid());
    ASSERT_EQ(read.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(read.get());
    EXPECT_FALSE(events.isOpen());
    EXPECT_TRUE(events.reportBuffer(HidReportType::input).empty());

    // The device reopens in place and reads again.
    ASSERT_TRUE(openCollection(events, 0x000C, false));
    keyboard->sendEvent(0x0401);
    EXPECT_TRUE(events.ReadReport(events.reportBuffer(HidReportType::input), nullptr, 1000));
}

TEST_F(SimKeyboardFixture, CancelIoMakesTheNextReadFailOnce) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    ASSERT_TRUE(backend.plug(keyboard));
    HidDevice events(backend);
    ASSERT_TRUE(openCollection(events, 0x000C, false));

    auto read = blockedRead(events);
    events.CancelIo();
    ASSERT_EQ(read.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(read.get());

    events.CancelIo(); // nobody waits: the signal waits for the next read
    keyboard->sendEvent(0x0401);
    EXPECT_FALSE(events.ReadReport(events.reportBuffer(HidReportType::input), nullptr, 1000));
    EXPECT_TRUE(events.ReadReport(events.reportBuffer(HidReportType::input), nullptr, 1000));
}

} // namespace
} // namespace velkan::device
