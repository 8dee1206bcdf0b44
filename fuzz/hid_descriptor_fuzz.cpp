// Feeds arbitrary bytes to the report-descriptor parser: a 16-bit little-endian descriptor
// length, the descriptor, then a report. Every collection the parser accepts reads that report
// as an input report.
#include "platform/hid_descriptor.h"
#include "platform/little_endian.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace velkan::platform;

namespace {

void queryAll(const HidCollection& collection, std::span<const std::uint8_t> report) {
    // Every usage that is on takes at least one bit of the report.
    if (collection.buttonsSet(report).size() > report.size() * 8) {
        __builtin_trap();
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
