#include "device/hid_device.h"
#include "support/fake_hid.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkan::device {
namespace {

using platform::HidReportType;

// A consumer-control collection with two kinds of input report: id 3, an array of two 16-bit
// consumer usages (the keyboard's event codes), and id 7, one vendor value scaled onto 0..1000.
const std::vector<std::uint8_t> kEventDescriptor = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,                         // consumer control application
    0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x1F,                   // id 3, logical 0..0x1FFF
    0x19, 0x00, 0x2A, 0xFF, 0x1F, 0x75, 0x10, 0x95, 0x02,       // usages 0..0x1FFF, 2 x 16 bits
    0x81, 0x00,                                                 // input (data, array)
    0x06, 0x00, 0xFF, 0x09, 0x01, 0x85, 0x07,                   // vendor usage 1, id 7
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x35, 0x00, 0x46, 0xE8, 0x03, // logical 0..255, phys 0..1000
    0x75, 0x08, 0x95, 0x01, 0x81, 0x02, // 1 x 8 bits, input (data, variable)
    0xC0};

// Lists whatever paths a test sets and opens the ones that have a descriptor.
class FakeBackend : public platform::HidBackend {
public:
    std::optional<std::vector<std::string>> paths = std::vector<std::string>{};
    std::map<std::string, std::vector<std::uint8_t>> descriptors;

    std::optional<std::vector<std::string>> enumerate() override { return paths; }
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode) override {
        auto found = descriptors.find(path);
        if (found == descriptors.end()) {
            return nullptr;
        }
        return test::DescribedHidInterface::fromDescriptor({0x0C45, 0x5004, 0x0100}, found->second);
    }
    bool probe(const std::string& path) override { return descriptors.count(path) != 0; }
};

std::vector<std::string> drainPaths(HidDevice& device) {
    std::vector<std::string> handedOut;
    while (auto path = device.NextHidPath()) {
        handedOut.push_back(*path);
    }
    return handedOut;
}

TEST(HidDevicePaths, EnumerationKeepsEveryPathInOrder) {
    for (std::size_t count : {0u, 1u, 8u, 9u, 16u, 17u, 32u, 33u, 100u}) {
        FakeBackend backend;
        for (std::size_t i = 0; i < count; ++i) {
            backend.paths->push_back("/dev/hidraw" + std::to_string(i) + "#vid_0c45&pid_5004");
        }
        HidDevice device(backend);
        ASSERT_TRUE(device.EnumerateHidInterfaces()) << count;
        EXPECT_EQ(drainPaths(device), *backend.paths) << count;
        EXPECT_FALSE(device.NextHidPath()) << "exhausted list stays exhausted";
    }
}

TEST(HidDevicePaths, UnavailableDeviceSetFailsWithEmptyList) {
    FakeBackend backend;
    backend.paths = {"/dev/hidraw0#vid_0c45&pid_5004"};
    HidDevice device(backend);
    ASSERT_TRUE(device.EnumerateHidInterfaces());
    backend.paths = std::nullopt;
    EXPECT_FALSE(device.EnumerateHidInterfaces());
    EXPECT_FALSE(device.NextHidPath()) << "the old list is not handed out again";
}

TEST(HidDevicePaths, OverlongPathIsNeverHandedOutNorOpened) {
    FakeBackend backend;
    const std::string longest(kMaxHidPathLength, 'p');
    const std::string tooLong(kMaxHidPathLength + 1, 'p');
    backend.paths = {longest, tooLong, "/dev/hidraw1"};
    backend.descriptors[tooLong] = kEventDescriptor;
    HidDevice device(backend);
    ASSERT_TRUE(device.EnumerateHidInterfaces());
    EXPECT_EQ(drainPaths(device), (std::vector<std::string>{longest, "/dev/hidraw1"}));
    EXPECT_FALSE(device.OpenHid(tooLong, true, false, true, false));
    EXPECT_FALSE(device.isOpen());
}

TEST(HidDevicePaths, FreeAndRewindByEnumeratingAgain) {
    FakeBackend backend;
    backend.paths = {"a", "b"};
    HidDevice device(backend);
    ASSERT_TRUE(device.EnumerateHidInterfaces());
    EXPECT_EQ(device.NextHidPath(), "a");
    ASSERT_TRUE(device.EnumerateHidInterfaces());
    EXPECT_EQ(drainPaths(device), (std::vector<std::string>{"a", "b"}));
    device.FreeHidPathList();
    EXPECT_FALSE(device.NextHidPath());
}

TEST(HidDeviceOpen, VanishedPathLeavesNothingOpen) {
    FakeBackend backend;
    backend.descriptors["there"] = kEventDescriptor;
    HidDevice device(backend);
    ASSERT_TRUE(device.OpenHid("there", true, false, true, false));
    EXPECT_TRUE(device.isOpen());

    // Reopening in place closes the old interface first, even when the new open fails.
    EXPECT_FALSE(device.OpenHid("gone", true, false, true, false));
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.path(), "gone");
    EXPECT_TRUE(device.reportBuffer(HidReportType::input).empty());
    EXPECT_TRUE(device.dataItems(HidReportType::input).empty());
    EXPECT_EQ(device.usagePage(), 0);
    EXPECT_FALSE(device.CloseHid()) << "nothing was open";
    EXPECT_FALSE(device.ReadReport(device.reportBuffer(HidReportType::input), nullptr, 0));
}

class HidDeviceUnpack : public testing::Test {
protected:
    void SetUp() override {
        backend.descriptors["events"] = kEventDescriptor;
        ASSERT_TRUE(device.OpenHid("events", true, false, true, false));
    }
    const HidDataItem& eventItem() { return device.dataItems(HidReportType::input).at(0); }
    const HidDataItem& valueItem() { return device.dataItems(HidReportType::input).at(1); }

    FakeBackend backend;
    HidDevice device{backend};
};

TEST_F(HidDeviceUnpack, BuildsItemsAndBuffersFromCapabilities) {
    EXPECT_EQ(device.usagePage(), 0x000C);
    EXPECT_EQ(device.usage(), 0x0001);
    EXPECT_EQ(device.inputReportByteLength(), 5); // id + 2 x 16 bits
    EXPECT_EQ(device.reportBuffer(HidReportType::input).size(), 5u);
    ASSERT_EQ(device.dataItems(HidReportType::input).size(), 2u);
    EXPECT_TRUE(eventItem().isButtonData);
    EXPECT_EQ(eventItem().reportId, 3u);
    EXPECT_EQ(eventItem().maxUsageLength, 2u);
    EXPECT_EQ(eventItem().status, platform::kHidStatusSuccess);
    EXPECT_FALSE(valueItem().isButtonData);
    EXPECT_EQ(valueItem().usage, 0x0001);
    EXPECT_EQ(valueItem().reportId, 7u);
}

TEST_F(HidDeviceUnpack, UsageListWithRoomToSpareEndsWithZero) {
    const std::uint8_t press[] = {0x03, 0x01, 0x04, 0x00, 0x00};
    ASSERT_TRUE(device.UnpackInputReport(press));
    EXPECT_TRUE(eventItem().isDataSet);
    EXPECT_EQ(eventItem().usages, (std::vector<std::uint16_t>{0x0401, 0}));
    EXPECT_FALSE(valueItem().isDataSet) << "items of another report id stay untouched";

    const std::uint8_t both[] = {0x03, 0x11, 0x18, 0x02, 0x04};
    ASSERT_TRUE(device.UnpackInputReport(both));
    EXPECT_EQ(eventItem().usages, (std::vector<std::uint16_t>{0x1811, 0x0402}));

    const std::uint8_t release[] = {0x03, 0x00, 0x00, 0x00, 0x00};
    ASSERT_TRUE(device.UnpackInputReport(release));
    EXPECT_EQ(eventItem().usages.front(), 0) << "a release reads as no usage";
}

TEST_F(HidDeviceUnpack, ReportIdMatchingNoItemChangesNothing) {
    const std::uint8_t stray[] = {0x09, 0x01, 0x04, 0x00, 0x00};
    EXPECT_TRUE(device.UnpackInputReport(stray));
    EXPECT_FALSE(eventItem().isDataSet);
    EXPECT_FALSE(valueItem().isDataSet);
    EXPECT_EQ(eventItem().usages, (std::vector<std::uint16_t>{0, 0}));
}

TEST_F(HidDeviceUnpack, ValueItemGetsRawAndScaledValue) {
    const std::uint8_t value[] = {0x07, 0xFF};
    ASSERT_TRUE(device.UnpackInputReport(value));
    EXPECT_TRUE(valueItem().isDataSet);
    EXPECT_EQ(valueItem().value, 0xFFu);
    EXPECT_EQ(valueItem().scaledValue, 1000);
    EXPECT_EQ(valueItem().status, platform::kHidStatusSuccess);
}

TEST_F(HidDeviceUnpack, TruncatedValueReportFailsWithoutTouchingOtherItems) {
    const std::uint8_t truncated[] = {0x07};
    EXPECT_FALSE(device.UnpackInputReport(truncated));
    EXPECT_NE(valueItem().status, platform::kHidStatusSuccess);
    EXPECT_FALSE(valueItem().isDataSet);
    EXPECT_FALSE(device.UnpackInputReport({}));
}

} // namespace
} // namespace velkan::device
