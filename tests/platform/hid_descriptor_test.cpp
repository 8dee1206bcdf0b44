#include "data/hid_descriptors/descriptors.h"
#include "platform/hid_descriptor.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <span>
#include <tuple>
#include <vector>

namespace velkan::platform {
namespace {

namespace data = velkan::testdata;
using Bytes = std::vector<std::uint8_t>;
using Descriptor = std::span<const std::uint8_t>;

constexpr auto kIn = HidReportType::input;
constexpr auto kOut = HidReportType::output;

// Usage Page (0xFF00), Usage (1), Collection (Application): the start of a vendor collection.
const Bytes kVendorOpen{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
const Bytes kClose{0xC0};

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes repeat(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

// 4095 bytes of vendor input: the largest report the parser accepts.
const Bytes kLargestReport =
    join({kVendorOpen, {0x75, 0x08, 0x96, 0xFF, 0x0F, 0x81, 0x02}, kClose});

// A long item to skip, then a feature bit field whose usage range is written maximum first.
const Bytes kLongItemAndFeature = join(
    {kVendorOpen,
     {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x29, 0x08, 0x19, 0x01, 0x75, 0x01, 0x95, 0x08, 0xB1, 0x02},
     kClose});

std::vector<HidCollection> parse(Descriptor descriptor) {
    HidDescriptorError error;
    auto collections = parseReportDescriptor(descriptor, &error);
    EXPECT_TRUE(collections) << error.message << " at " << error.offset;
    return collections ? std::move(*collections) : std::vector<HidCollection>{};
}

auto capsFields(const HidCaps& c) {
    return std::tuple(c.usagePage, c.usage, c.inputReportByteLength, c.outputReportByteLength,
                      c.featureReportByteLength, c.numberInputButtonCaps, c.numberInputValueCaps,
                      c.numberOutputButtonCaps, c.numberOutputValueCaps, c.numberFeatureButtonCaps,
                      c.numberFeatureValueCaps);
}

TEST(HidDescriptorTest, CapabilitiesMatchWhatTheOsReports) {
    struct Case {
        const char* name;
        Descriptor descriptor;
        std::size_t collection;
        bool usesReportIds;
        HidCaps expected; // page, usage, in/out/feature lengths, button/value caps per type
    };
    const HidCaps vendor{0xFF1C, 0x92, 64, 64, 0, 0, 1, 0, 1, 0, 0};
    const HidCaps consumer{0x0C, 0x01, 5, 0, 0, 1, 0, 0, 0, 0, 0};
    // clang-format off
    const Case cases[] = {
        {"boot keyboard", data::kBootKeyboard, 0, false, {0x01, 0x06, 9, 2, 0, 2, 0, 1, 0, 0, 0}},
        {"consumer control", data::kConsumerControl, 0, true, consumer},
        {"vendor command", data::kVendorCommand, 0, true, vendor},
        {"both, vendor first", data::kVendorAndConsumer, 0, true, vendor},
        {"both, consumer second", data::kVendorAndConsumer, 1, true, consumer},
        {"mouse", data::kMouse, 0, false, {0x01, 0x02, 6, 0, 0, 1, 4, 0, 0, 0, 0}},
        {"selector list", data::kSelectorList, 0, false, {0x0C, 0x01, 2, 0, 0, 3, 0, 0, 0, 0, 0}},
        {"joystick", data::kJoystick, 0, false, {0x01, 0x04, 9, 0, 0, 0, 5, 0, 0, 0, 0}},
        {"wide", data::kWideAndBadPhysical, 0, false, {0xFF00, 1, 6, 0, 0, 0, 2, 0, 0, 0, 0}},
        {"interleaved", data::kInterleavedReports, 0, true, {0xFF00, 1, 5, 0, 0, 0, 3, 0, 0, 0, 0}},
        {"long item, feature", kLongItemAndFeature, 0, false, {0xFF00, 1, 0, 0, 2, 0, 0, 0, 0, 1, 0}},
        {"largest report", kLargestReport, 0, false, {0xFF00, 1, 4096, 0, 0, 0, 1, 0, 0, 0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto collections = parse(c.descriptor);
        ASSERT_GT(collections.size(), c.collection);
        EXPECT_EQ(capsFields(collections[c.collection].caps()), capsFields(c.expected));
        EXPECT_EQ(collections[c.collection].usesReportIds(), c.usesReportIds);
    }
}

// page, report id, link collection, isRange, isArray, usage min, usage max, logical min,
// logical max, bit offset, bit size, report count
using CapView = std::array<std::int64_t, 12>;

template <typename Caps> CapView view(const Caps& c, bool isArray) {
    return {c.usagePage,  c.reportId,         c.linkCollection, c.isRange,
            isArray,      c.usageMin,         c.usageMax,       c.logicalMin,
            c.logicalMax, c.layout.bitOffset, c.layout.bitSize, c.layout.reportCount};
}

TEST(HidDescriptorTest, FieldsLandWhereTheReportHoldsThem) {
    struct Case {
        const char* name;
        Descriptor descriptor;
        HidReportType type;
        bool button;
        std::size_t index;
        CapView expected;
    };
    // clang-format off
    const Case cases[] = {
        {"modifiers", data::kBootKeyboard, kIn, true, 0, {7, 0, 0, 1, 0, 0xE0, 0xE7, 0, 1, 8, 1, 8}},
        {"keys after reserved byte", data::kBootKeyboard, kIn, true, 1,
                                          {7, 0, 0, 1, 1, 0, 0x65, 0, 0x65, 24, 8, 6}},
        {"LEDs", data::kBootKeyboard, kOut, true, 0, {8, 0, 0, 1, 0, 1, 5, 0, 1, 8, 1, 5}},
        {"buttons in a nested collection", data::kMouse, kIn, true, 0,
                                          {9, 0, 1, 1, 0, 1, 3, 0, 1, 8, 1, 3}},
        {"second usage of a list", data::kMouse, kIn, false, 1,
                                          {1, 0, 1, 0, 0, 0x31, 0x31, -127, 127, 24, 8, 1}},
        {"selectors of the second usage", data::kSelectorList, kIn, true, 1,
                                          {0x0C, 0, 0, 0, 1, 0xB5, 0xB5, 2, 2, 8, 2, 2}},
        {"4-byte usage repeats to the end", data::kJoystick, kIn, false, 3,
                                          {2, 0, 0, 0, 0, 0xBB, 0xBB, 0, 4095, 44, 8, 2}},
        {"maximum 255 in one byte", data::kJoystick, kIn, false, 4,
                                          {1, 0, 0, 0, 0, 0x36, 0x36, 0, 255, 60, 8, 1}},
        {"range written maximum first", kLongItemAndFeature, HidReportType::feature, true, 0,
                                          {0xFF00, 0, 0, 1, 0, 1, 8, 0, 0, 8, 1, 8}},
        {"report continues after another", data::kInterleavedReports, kIn, false, 2,
                                          {0xFF00, 1, 0, 0, 0, 0x30, 0x30, 0, 255, 24, 8, 2}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto collections = parse(c.descriptor);
        ASSERT_EQ(collections.size(), 1U);
        const auto& buttons = collections[0].buttonCaps(c.type);
        const auto& values = collections[0].valueCaps(c.type);
        ASSERT_GT(c.button ? buttons.size() : values.size(), c.index);
        EXPECT_EQ(c.button ? view(buttons[c.index], buttons[c.index].isArray)
                           : view(values[c.index], false),
                  c.expected);
    }
}

TEST(HidDescriptorTest, InputReportIdsBelongToTheirCollection) {
    const auto both = parse(data::kVendorAndConsumer);
    const auto keyboard = parse(data::kBootKeyboard);
    ASSERT_EQ(both.size(), 2U);
    ASSERT_EQ(keyboard.size(), 1U);
    const std::tuple<const HidCollection&, std::uint8_t, bool> cases[] = {
        {both[0], 4, true},  {both[0], 3, false},    {both[1], 3, true},      {both[1], 4, false},
        {both[1], 0, false}, {keyboard[0], 0, true}, {keyboard[0], 1, false},
    };
    for (const auto& [collection, id, owned] : cases) {
        EXPECT_EQ(collection.ownsInputReportId(id), owned) << "id " << int{id};
    }
}

TEST(HidDescriptorTest, GetUsagesListsWhatIsOnInFieldOrder) {
    struct Case {
        const char* name;
        Descriptor descriptor;
        HidReportType type;
        std::uint16_t page;
        Bytes report;
        std::size_t room;
        std::uint32_t status;
        std::vector<std::uint16_t> usages;
    };
    const Bytes twoKeys{0, 0x03, 0, 0x04, 0x05, 0, 0, 0, 0};
    // clang-format off
    const Case cases[] = {
        {"modifiers then keys", data::kBootKeyboard, kIn, 7, twoKeys, 14, kHidStatusSuccess,
         {0xE0, 0xE1, 0x04, 0x05}},
        {"more room than usages", data::kBootKeyboard, kIn, 7, {0, 0, 0, 0x29, 0, 0, 0, 0, 0}, 14,
         kHidStatusSuccess, {0x29}},
        {"room runs out", data::kBootKeyboard, kIn, 7, twoKeys, 3, kHidStatusBufferTooSmall,
         {0xE0, 0xE1, 0x04}},
        {"selectors past the maximum", data::kBootKeyboard, kIn, 7,
         {0, 0, 0, 0x66, 0xFF, 0x04, 0, 0, 0}, 14, kHidStatusSuccess, {0x04}},
        {"LED output", data::kBootKeyboard, kOut, 8, {0, 0x05}, 5, kHidStatusSuccess, {1, 3}},
        {"page not there", data::kBootKeyboard, kIn, 0x0C, twoKeys, 14, kHidStatusUsageNotFound, {}},
        {"report too short", data::kBootKeyboard, kIn, 7, {0, 0x03, 0, 0x04}, 14,
         kHidStatusInvalidReportLength, {}},
        {"empty report", data::kBootKeyboard, kIn, 7, {}, 14, kHidStatusInvalidReportLength, {}},
        {"consumer key, empty slot skipped", data::kConsumerControl, kIn, 0x0C, {3, 0, 0, 0xE9, 0},
         2, kHidStatusSuccess, {0xE9}},
        {"id of the other collection", data::kVendorAndConsumer, kIn, 0x0C, {4, 0xE9, 0, 0, 0}, 2,
         kHidStatusIncompatibleReportId, {}},
        {"selectors in element order", data::kSelectorList, kIn, 0x0C, {0, 0x0B}, 2,
         kHidStatusSuccess, {0xB6, 0xB5}},
        {"selector below the minimum", data::kSelectorList, kIn, 0x0C, {0, 0x01}, 2,
         kHidStatusSuccess, {0xCD}},
        {"mouse buttons", data::kMouse, kIn, 9, {0, 0x05, 0, 0, 0, 0}, 3, kHidStatusSuccess, {1, 3}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto collections = parse(c.descriptor);
        std::vector<std::uint16_t> usages(c.room, 0xFFFF);
        std::uint32_t count = 99;
        EXPECT_EQ(collections.back().getUsages(c.type, c.page, c.report, usages, count), c.status);
        usages.resize(count);
        EXPECT_EQ(usages, c.usages);
    }
}

TEST(HidDescriptorTest, MaxUsageListLengthCoversEveryButtonField) {
    const auto keyboard = parse(data::kBootKeyboard);
    const auto consumer = parse(data::kConsumerControl);
    ASSERT_EQ(keyboard.size(), 1U);
    ASSERT_EQ(consumer.size(), 1U);
    EXPECT_EQ(keyboard[0].maxUsageListLength(kIn, 7), 14U);
    EXPECT_EQ(keyboard[0].maxUsageListLength(kOut, 8), 5U);
    EXPECT_EQ(keyboard[0].maxUsageListLength(kIn, 8), 0U);
    EXPECT_EQ(consumer[0].maxUsageListLength(kIn, 0x0C), 2U);
}

TEST(HidDescriptorTest, ValuesReadRawAndScaled) {
    struct Case {
        const char* name;
        Descriptor descriptor;
        std::uint16_t page;
        std::uint16_t usage;
        Bytes report;
        std::uint32_t rawStatus;
        std::uint32_t raw;
        std::uint32_t scaledStatus;
        std::int32_t scaled;
    };
    const Bytes stick{0, 0xC0, 0xAB, 0x23, 0x51, 0x74, 0x96, 0x08, 0x0F};
    constexpr std::uint32_t kOk = kHidStatusSuccess;
    // clang-format off
    const Case cases[] = {
        {"axis at its minimum", data::kMouse, 1, 0x30, {0, 0, 0x81, 0, 0, 0}, kOk, 0x81, kOk, -1270},
        {"axis inside its range", data::kMouse, 1, 0x31, {0, 0, 0, 0x40, 0, 0}, kOk, 0x40, kOk, 640},
        {"no physical range", data::kMouse, 1, 0x38, {0, 0, 0, 0, 0xFF, 0}, kOk, 0xFF, kOk, -1},
        {"hat in range", data::kMouse, 1, 0x39, {0, 0, 0, 0, 0, 0x02}, kOk, 2, kOk, 90},
        {"hat at rest", data::kMouse, 1, 0x39, {0, 0, 0, 0, 0, 0x08}, kOk, 8, kHidStatusNull, 0},
        {"other page", data::kMouse, 2, 0x30, {0, 0, 0, 0, 0, 0}, kHidStatusUsageNotFound, 0,
         kHidStatusUsageNotFound, 0},
        {"report too short", data::kMouse, 1, 0x38, {0, 0, 0, 0}, kHidStatusInvalidReportLength, 0,
         kHidStatusInvalidReportLength, 0},
        {"12-bit X across bytes", data::kJoystick, 1, 0x30, stick, kOk, 0xABC, kOk, 0xABC},
        {"12-bit Y across bytes", data::kJoystick, 1, 0x31, stick, kOk, 0x123, kOk, 0x123},
        {"repeated usage: first element", data::kJoystick, 2, 0xBB, stick, kOk, 0x67, kOk, 0x67},
        {"maximum 255 in one byte", data::kJoystick, 1, 0x36, stick, kOk, 0xF0, kOk, 0xF0},
        {"32-bit negative", data::kWideAndBadPhysical, 0xFF00, 2, {0, 0xFE, 0xFF, 0xFF, 0xFF, 0},
         kOk, 0xFFFFFFFE, kOk, -2},
        {"32-bit maximum", data::kWideAndBadPhysical, 0xFF00, 2, {0, 0xFF, 0xFF, 0xFF, 0x7F, 0},
         kOk, 0x7FFFFFFF, kOk, 0x7FFFFFFF},
        {"upside-down physical range", data::kWideAndBadPhysical, 0xFF00, 3, {0, 0, 0, 0, 0, 5},
         kOk, 5, kHidStatusBadLogPhyValues, 0},
        {"vendor byte", data::kVendorCommand, 0xFF1C, 1, Bytes(64, 4), kOk, 4, kOk, 4},
        {"id of another report", data::kInterleavedReports, 0xFF00, 0x30, {2, 1, 2, 3, 4},
         kHidStatusIncompatibleReportId, 0, kHidStatusIncompatibleReportId, 0},
        {"report continues after another", data::kInterleavedReports, 0xFF00, 0x30,
         {1, 1, 2, 3, 4}, kOk, 3, kOk, 3},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto collections = parse(c.descriptor);
        ASSERT_EQ(collections.size(), 1U);
        std::uint32_t raw = 99;
        std::int32_t scaled = 99;
        EXPECT_EQ(collections[0].getUsageValue(kIn, c.page, c.usage, c.report, raw), c.rawStatus);
        EXPECT_EQ(raw, c.raw);
        EXPECT_EQ(collections[0].getScaledUsageValue(kIn, c.page, c.usage, c.report, scaled),
                  c.scaledStatus);
        EXPECT_EQ(scaled, c.scaled);
    }
}

TEST(HidDescriptorTest, MalformedDescriptorsAreRefused) {
    const Bytes byteField{0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    const struct {
        const char* name;
        Bytes descriptor;
        std::size_t offset; // of the offending item
    } cases[] = {
        // clang-format off
        {"empty", {}, 0},
        {"no collection", {0x05, 0x01, 0x75, 0x08}, 4},
        {"truncated short item", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x26, 0xFF}, 6},
        {"truncated 4-byte item", join({kVendorOpen, {0x27, 0xFF, 0xFF}}), 7},
        {"truncated long item", {0xFE, 0x05, 0x00, 0x01}, 0},
        {"long item without header", {0xFE, 0x01}, 0},
        {"end collection without collection", {0xC0}, 0},
        {"collection not closed", kVendorOpen, 7},
        {"main item outside any collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}, 4},
        {"report size 33", join({kVendorOpen, {0x75, 0x21, 0x95, 0x01, 0x81, 0x02}, kClose}), 11},
        {"report of 4097 bytes", join({kVendorOpen, {0x75, 0x08, 0x96, 0x00, 0x10, 0x81, 0x02}}), 12},
        {"size times count past 32 bits",
         join({kVendorOpen, {0x77, 0, 0, 0, 0x80, 0x95, 0x02, 0x81, 0x01}, kClose}), 14},
        {"huge count", join({kVendorOpen, {0x75, 0x20, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}}), 14},
        {"report id 0", join({kVendorOpen, {0x85, 0x00}, kClose}), 7},
        {"report id 256", join({kVendorOpen, {0x86, 0x00, 0x01}, kClose}), 7},
        {"pop without push", join({kVendorOpen, {0xB4}, kClose}), 7},
        {"push too deep", join({kVendorOpen, repeat({0xA4}, 17), kClose}), 23},
        {"collections too deep", join({kVendorOpen, repeat({0xA1, 0x00}, 32)}), 69},
        {"usage minimum above maximum",
         join({kVendorOpen, {0x19, 0x05, 0x29, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00}}), 15},
        {"usage page above 16 bits", {0x07, 0x00, 0x00, 0x01, 0x00}, 0},
        {"reserved global item", join({kVendorOpen, {0xC4}, kClose}), 7},
        {"4097 usages", join({kVendorOpen, repeat({0x09, 0x01}, 4097), kClose}), 7 + 4096 * 2},
        {"1025 capabilities", join({kVendorOpen, repeat(byteField, 1025)}), 7 + 1024 * 8 + 6},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HidDescriptorError error;
        EXPECT_FALSE(parseReportDescriptor(c.descriptor, &error));
        EXPECT_EQ(error.offset, c.offset);
        EXPECT_FALSE(error.message.empty());
    }
}

// A descriptor of one collection cut anywhere leaves an item or the collection open. Each cut
// is a heap copy of its own so the address sanitizer sees any read past the end.
TEST(HidDescriptorTest, EveryTruncationIsRefused) {
    const Descriptor descriptors[] = {data::kBootKeyboard, data::kConsumerControl, data::kMouse,
                                      data::kJoystick, data::kWideAndBadPhysical};
    for (const Descriptor full : descriptors) {
        for (std::size_t length = 0; length < full.size(); ++length) {
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_FALSE(parseReportDescriptor(cut)) << "length " << length;
        }
    }
}

} // namespace
} // namespace velkan::platform
