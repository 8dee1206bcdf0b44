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

// A consumer-control collection with two kinds of input report: id 3, an array of two 16-bit
// consumer usages (the keyboard's event codes), and id 7, one vendor value.
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
    while (auto path = device.nextPath()) {
        handedOut.push_back(*path);
    }
    return handedOut;
}

TEST(HidDevicePaths, EnumerationKeepsEveryPathInOrder) {
    for (std::size_t count : {0u, 1u, 8u, 9u, 100u}) {
        FakeBackend backend;
        for (std::size_t i = 0; i < count; ++i) {
            backend.paths->push_back("/dev/hidraw" + std::to_string(i) + "#vid_0c45&pid_5004");
        }
        // A long path is handed out whole: nothing here has a path field to overflow.
        backend.paths->push_back(std::string(300, 'p') + "#vid_0c45&pid_5004");
        HidDevice device(backend);
        ASSERT_TRUE(device.enumerate()) << count;
        EXPECT_EQ(drainPaths(device), *backend.paths) << count;
        EXPECT_FALSE(device.nextPath()) << "exhausted list stays exhausted";
    }
}

TEST(HidDevicePaths, UnavailableDeviceSetFailsWithEmptyList) {
    FakeBackend backend;
    backend.paths = {"/dev/hidraw0#vid_0c45&pid_5004"};
    HidDevice device(backend);
    ASSERT_TRUE(device.enumerate());
    backend.paths = std::nullopt;
    EXPECT_FALSE(device.enumerate());
    EXPECT_FALSE(device.nextPath()) << "the old list is not handed out again";
}

TEST(HidDevicePaths, EnumeratingAgainRewinds) {
    FakeBackend backend;
    backend.paths = {"a", "b"};
    HidDevice device(backend);
    ASSERT_TRUE(device.enumerate());
    EXPECT_EQ(device.nextPath(), "a");
    ASSERT_TRUE(device.enumerate());
    EXPECT_EQ(drainPaths(device), (std::vector<std::string>{"a", "b"}));
}

TEST(HidDeviceOpen, VanishedPathLeavesNothingOpen) {
    FakeBackend backend;
    backend.descriptors["there"] = kEventDescriptor;
    HidDevice device(backend);
    ASSERT_TRUE(device.open("there", {.read = true}));
    EXPECT_TRUE(device.isOpen());
    EXPECT_EQ(device.usagePage(), 0x000C);
    EXPECT_EQ(device.usage(), 0x0001);
    EXPECT_EQ(device.inputReportLength(), 5); // id + 2 x 16 bits

    // Reopening in place closes the old interface first, even when the new open fails.
    EXPECT_FALSE(device.open("gone", {.read = true}));
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.path(), "gone");
    EXPECT_EQ(device.usagePage(), 0);
    EXPECT_EQ(device.inputReportLength(), 0);
    EXPECT_FALSE(device.close()) << "nothing was open";
    std::uint8_t buffer[5] = {};
    EXPECT_FALSE(device.read(buffer, nullptr, 0));
    const std::uint8_t press[] = {0x03, 0x01, 0x04, 0x00, 0x00};
    EXPECT_TRUE(device.buttonsSet(press).empty()) << "no collection to read it by";
}

TEST(HidDeviceButtons, EventReportsReadAsTheirCodes) {
    FakeBackend backend;
    backend.descriptors["events"] = kEventDescriptor;
    HidDevice device(backend);
    ASSERT_TRUE(device.open("events", {.read = true}));
    using Usages = std::vector<platform::HidUsage>;
    const struct {
        const char* name;
        std::vector<std::uint8_t> report;
        Usages set;
    } cases[] = {
        {"one code", {0x03, 0x01, 0x04, 0x00, 0x00}, {{0x0C, 0x0401}}},
        {"two codes in report order",
         {0x03, 0x11, 0x18, 0x02, 0x04},
         {{0x0C, 0x1811}, {0x0C, 0x0402}}},
        {"release", {0x03, 0x00, 0x00, 0x00, 0x00}, {}},
        {"report id of no button field", {0x07, 0xFF}, {}},
        {"unknown report id", {0x09, 0x01, 0x04, 0x00, 0x00}, {}},
        {"truncated", {0x03, 0x01, 0x04}, {}},
        {"empty", {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(device.buttonsSet(c.report), c.set) << c.name;
    }
}

} // namespace
} // namespace velkan::device
