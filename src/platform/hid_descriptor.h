// HID report-descriptor parser: turns the raw descriptor of one HID interface into one
// `HidCollection` per top-level collection, with the capabilities the OS's HID parser would
// report, and reads usages and values out of input reports. Used by every HID backend, so the
// layers above see the same capabilities whatever the OS.
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

enum class HidReportType : std::uint8_t { input = 0, output = 1, feature = 2 };
inline constexpr int kHidReportTypeCount = 3;

// Status words of the HID parser calls; data items keep the last one, so the values are those
// the original OS's parser uses.
inline constexpr std::uint32_t kHidStatusSuccess = 0x00110000;
inline constexpr std::uint32_t kHidStatusNull = 0x80110001;
inline constexpr std::uint32_t kHidStatusInvalidReportType = 0xC0110002;
inline constexpr std::uint32_t kHidStatusInvalidReportLength = 0xC0110003;
inline constexpr std::uint32_t kHidStatusUsageNotFound = 0xC0110004;
inline constexpr std::uint32_t kHidStatusValueOutOfRange = 0xC0110005;
inline constexpr std::uint32_t kHidStatusBadLogPhyValues = 0xC0110006;
inline constexpr std::uint32_t kHidStatusBufferTooSmall = 0xC0110007;
inline constexpr std::uint32_t kHidStatusIncompatibleReportId = 0xC0110010;

// Capabilities of one top-level collection. Report byte lengths include the leading report-id
// byte (which is there, as 0, even when the device numbers no reports), and are 0 for a report
// type the collection does not have.
struct HidCaps {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    std::uint16_t numberInputButtonCaps = 0;
    std::uint16_t numberInputValueCaps = 0;
    std::uint16_t numberOutputButtonCaps = 0;
    std::uint16_t numberOutputValueCaps = 0;
    std::uint16_t numberFeatureButtonCaps = 0;
    std::uint16_t numberFeatureValueCaps = 0;
};

// Where a main item's fields lie in a report: bit offset counted from the start of the report
// buffer, the report-id byte included (so the first data bit is bit 8).
struct HidFieldLayout {
    std::uint32_t bitOffset = 0;
    std::uint16_t bitSize = 0;
    std::uint16_t reportCount = 0;
};

// One button capability: a variable bit field (one bit per usage of the range) or an array
// field (each element holds a selector index into the usage range).
struct HidButtonCaps {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    std::uint16_t linkCollection = 0;
    bool isRange = false;
    bool isArray = false;
    std::uint16_t usageMin = 0; // both equal to the usage for a single usage
    std::uint16_t usageMax = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    HidFieldLayout layout;
};

// One value capability: a single usage or a range of usages, one field element per usage.
struct HidValueCaps {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    std::uint16_t linkCollection = 0;
    bool isRange = false;
    bool hasNull = false;
    std::uint16_t usageMin = 0;
    std::uint16_t usageMax = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;
    HidFieldLayout layout;
};

// One top-level collection: what the OS calls preparsed data.
class HidCollection {
public:
    const HidCaps& caps() const { return caps_; }
    const std::vector<HidButtonCaps>& buttonCaps(HidReportType type) const;
    const std::vector<HidValueCaps>& valueCaps(HidReportType type) const;

    // True when the descriptor numbers its reports; then every report starts with its id.
    bool usesReportIds() const { return usesReportIds_; }
    // True when an input report with this id belongs to this collection. Without report ids,
    // only id 0 does.
    bool ownsInputReportId(std::uint8_t reportId) const;

    // Largest number of usages getUsages can return for the page in one report of the type.
    std::uint32_t maxUsageListLength(HidReportType type, std::uint16_t usagePage) const;

    // Usages of the page that are on in the report, over all link collections, in the order
    // their fields stand in the report. `count` receives how many were stored; when `usages` is
    // too small the result is kHidStatusBufferTooSmall and `count` the room that was filled.
    std::uint32_t getUsages(HidReportType type, std::uint16_t usagePage,
                            std::span<const std::uint8_t> report, std::span<std::uint16_t> usages,
                            std::uint32_t& count) const;

    // Raw (unsigned, as stored) and scaled (logical mapped onto physical) value of a usage.
    std::uint32_t getUsageValue(HidReportType type, std::uint16_t usagePage, std::uint16_t usage,
                                std::span<const std::uint8_t> report, std::uint32_t& value) const;
    std::uint32_t getScaledUsageValue(HidReportType type, std::uint16_t usagePage,
                                      std::uint16_t usage, std::span<const std::uint8_t> report,
                                      std::int32_t& value) const;

private:
    friend class HidDescriptorParser;

    HidCaps caps_;
    bool usesReportIds_ = false;
    std::vector<std::uint8_t> inputReportIds_;
    std::vector<HidButtonCaps> buttonCaps_[kHidReportTypeCount];
    std::vector<HidValueCaps> valueCaps_[kHidReportTypeCount];
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
