// HID report-descriptor reader: turns the raw descriptor of one HID interface into one
// `HidCollection` per top-level collection (its usage, report lengths and input button fields)
// and reads the buttons that are on out of input reports.
//
// Every byte of a descriptor and of a report is untrusted: all item sizes, offsets and counts
// are checked, and a malformed descriptor is refused with an error message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velkan::platform {

// What the program asks of one top-level collection. Report lengths count the leading report-id
// byte (there, as 0, even when the device numbers no reports) and are 0 for a report type the
// collection does not have.
struct HidCollectionInfo {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t inputReportLength = 0;
    std::uint16_t outputReportLength = 0;
    std::uint16_t featureReportLength = 0;
};

struct HidUsage {
    std::uint16_t page = 0;
    std::uint16_t id = 0;
    friend bool operator==(const HidUsage&, const HidUsage&) = default;
};

// One button field of an input report: a variable bit field (one bit per usage of the range) or
// an array field (each element holds a selector into the usage range). Bit offsets count from
// the start of the report buffer, the report-id byte included, so the first data bit is bit 8.
struct HidButtonField {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    bool isArray = false;
    std::uint16_t usageMin = 0; // both equal to the usage for a single usage
    std::uint16_t usageMax = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::uint32_t bitOffset = 0;
    std::uint16_t bitSize = 0;
    std::uint16_t reportCount = 0;
};

// One top-level collection as the descriptor lays it out.
class HidCollection {
public:
    const HidCollectionInfo& info() const { return info_; }

    // True when the descriptor numbers its reports; then every report starts with its id.
    bool usesReportIds() const { return usesReportIds_; }
    // True when an input report with this id belongs to this collection. Without report ids,
    // only id 0 does.
    bool ownsInputReportId(std::uint8_t reportId) const;

    // The button usages that are on in an input report (first byte the report id), in the
    // order their fields stand in it. Empty for a report of another id or one too short for
    // its fields.
    std::vector<HidUsage> buttonsSet(std::span<const std::uint8_t> report) const;

private:
    friend class HidDescriptorParser;

    HidCollectionInfo info_;
    bool usesReportIds_ = false;
    std::vector<std::uint8_t> inputReportIds_;
    std::vector<HidButtonField> inputButtons_;
};

struct HidDescriptorError {
    std::size_t offset = 0; // byte offset of the offending item
    std::string message;
};

// Splits a report descriptor into its top-level collections, in descriptor order. Refuses a
// malformed descriptor (truncated item, unbalanced collections, a main item outside any
// collection, sizes past the limits of a report, ...) and then fills `error` when given.
std::optional<std::vector<HidCollection>>
parseReportDescriptor(std::span<const std::uint8_t> descriptor,
                      HidDescriptorError* error = nullptr);

} // namespace velkan::platform
