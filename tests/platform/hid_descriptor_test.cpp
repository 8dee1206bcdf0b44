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

// A long item to skip, then a feature bit field.
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

auto infoFields(const HidCollectionInfo& c) {
    return std::tuple(c.usagePage, c.usage, c.inputReportLength, c.outputReportLength,
                      c.featureReportLength);
}

TEST(HidDescriptorTest, CollectionsTellTheirUsageAndReportLengths) {
    struct Case {
        const char* name;
        Descriptor descriptor;
        std::size_t collection;
        bool usesReportIds;
        HidCollectionInfo expected; // page, usage, input/output/feature lengths
    };
    const HidCollectionInfo vendor{0xFF1C, 0x92, 64, 64, 0};
    const HidCollectionInfo consumer{0x0C, 0x01, 5, 0, 0};
    // clang-format off
    const Case cases[] = {
        {"boot keyboard", data::kBootKeyboard, 0, false, {0x01, 0x06, 9, 2, 0}},
        {"consumer control", data::kConsumerControl, 0, true, consumer},
        {"vendor command", data::kVendorCommand, 0, true, vendor},
        {"both, vendor first", data::kVendorAndConsumer, 0, true, vendor},
        {"both, consumer second", data::kVendorAndConsumer, 1, true, consumer},
        {"mouse", data::kMouse, 0, false, {0x01, 0x02, 6, 0, 0}},
        {"selector list", data::kSelectorList, 0, false, {0x0C, 0x01, 2, 0, 0}},
        {"joystick", data::kJoystick, 0, false, {0x01, 0x04, 9, 0, 0}},
        {"wide", data::kWideAndBadPhysical, 0, false, {0xFF00, 1, 6, 0, 0}},
        {"interleaved", data::kInterleavedReports, 0, true, {0xFF00, 1, 5, 0, 0}},
        {"long item, feature", kLongItemAndFeature, 0, false, {0xFF00, 1, 0, 0, 2}},
        {"largest report", kLargestReport, 0, false, {0xFF00, 1, 4096, 0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto collections = parse(c.descriptor);
        ASSERT_GT(collections.size(), c.collection);
        EXPECT_EQ(infoFields(collections[c.collection].info()), infoFields(c.expected));
        EXPECT_EQ(collections[c.collection].usesReportIds(), c.usesReportIds);
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

TEST(HidDescriptorTest, ButtonsSetListsWhatIsOnInFieldOrder) {
    // An input bit field whose usage range is written maximum first.
    const Bytes rangeMaxFirst =
        join({kVendorOpen, {0x29, 0x08, 0x19, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02}, kClose});
    struct Case {
        const char* name;
        Descriptor descriptor;
        Bytes report;
        std::vector<HidUsage> set;
    };
    const Bytes twoKeys{0, 0x03, 0, 0x04, 0x05, 0, 0, 0, 0};
    // clang-format off
    const Case cases[] = {
        {"modifiers then keys", data::kBootKeyboard, twoKeys,
         {{7, 0xE0}, {7, 0xE1}, {7, 0x04}, {7, 0x05}}},
        {"reserved byte and empty slots read as nothing", data::kBootKeyboard,
         {0, 0, 0xFF, 0x29, 0, 0, 0, 0, 0}, {{7, 0x29}}},
        {"selectors past the maximum", data::kBootKeyboard, {0, 0, 0, 0x66, 0xFF, 0x04, 0, 0, 0},
         {{7, 0x04}}},
        {"report too short for the keys", data::kBootKeyboard, {0, 0x03, 0, 0x04}, {}},
        {"empty report", data::kBootKeyboard, {}, {}},
        {"consumer key, empty slot skipped", data::kConsumerControl, {3, 0, 0, 0xE9, 0},
         {{0x0C, 0xE9}}},
        {"report id of another collection", data::kVendorAndConsumer, {4, 0xE9, 0, 0, 0}, {}},
        {"consumer collection of two", data::kVendorAndConsumer, {3, 0xE9, 0, 0, 0},
         {{0x0C, 0xE9}}},
        {"selectors in element order", data::kSelectorList, {0, 0x0B}, {{0x0C, 0xB6}, {0x0C, 0xB5}}},
        {"selector below the minimum", data::kSelectorList, {0, 0x01}, {{0x0C, 0xCD}}},
        {"buttons in a nested collection", data::kMouse, {0, 0x05, 0x7F, 0, 0, 0}, {{9, 1}, {9, 3}}},
        {"values are not buttons", data::kJoystick, {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         {}},
        {"range written maximum first", rangeMaxFirst, {0, 0x81}, {{0xFF00, 1}, {0xFF00, 8}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto collections = parse(c.descriptor);
        EXPECT_EQ(collections.back().buttonsSet(c.report), c.set);
    }
}

TEST(HidDescriptorTest, MalformedDescriptorsAreRefused) {
    const Bytes bitField{0x09, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02};
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
        {"1025 button fields", join({kVendorOpen, repeat(bitField, 1025)}), 7 + 1024 * 8 + 6},
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
