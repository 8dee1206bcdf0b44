// Feeds arbitrary bytes to the report-descriptor parser: a 16-bit little-endian descriptor
// length, the descriptor, then a report. Every collection the parser accepts is queried with
// that report for every report type, on the pages and usages the collection itself names.
#include "platform/hid_descriptor.h"
#include "platform/little_endian.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace velkan::platform;

namespace {

// Enough to reach every kind of field; querying all of a thousand capabilities would only slow
// the fuzzer down.
constexpr std::size_t kQueriedCaps = 16;

void queryAll(const HidCollection& collection, std::span<const std::uint8_t> report) {
    std::array<std::uint16_t, 32> usages{};
    for (int t = 0; t <= kHidReportTypeCount; ++t) { // one past the end: an invalid type
        const auto type = static_cast<HidReportType>(t);
        const auto& buttons = collection.buttonCaps(type);
        const auto& values = collection.valueCaps(type);
        std::uint32_t count = 0;
        for (std::size_t i = 0; i < std::min(buttons.size(), kQueriedCaps); ++i) {
            collection.maxUsageListLength(type, buttons[i].usagePage);
            collection.getUsages(type, buttons[i].usagePage, report, usages, count);
            collection.getUsages(type, buttons[i].usagePage, report, std::span(usages).first(1),
                                 count);
            if (count > 1) {
                __builtin_trap(); // more usages stored than there was room for
            }
        }
        std::uint32_t raw = 0;
        std::int32_t scaled = 0;
        for (std::size_t i = 0; i < std::min(values.size(), kQueriedCaps); ++i) {
            for (const std::uint16_t usage : {values[i].usageMin, values[i].usageMax}) {
                collection.getUsageValue(type, values[i].usagePage, usage, report, raw);
                collection.getScaledUsageValue(type, values[i].usagePage, usage, report, scaled);
            }
        }
        collection.getUsages(type, 0x07, report, usages, count);
        collection.getUsageValue(type, 0x01, 0x30, report, raw);
    }
    collection.ownsInputReportId(report.empty() ? 0 : report[0]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const std::optional<std::uint16_t> length = readLe16(input, 0);
    if (!length) {
        return 0;
    }
    const auto rest = input.subspan(2);
    const auto descriptor = rest.first(std::min<std::size_t>(*length, rest.size()));
    const auto report = rest.subspan(descriptor.size());
    HidDescriptorError error;
    if (const auto collections = parseReportDescriptor(descriptor, &error)) {
        for (const HidCollection& collection : *collections) {
            queryAll(collection, report);
        }
    }
    return 0;
}
