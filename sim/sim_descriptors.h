// Report descriptors of the simulated keyboard's two HID interfaces, the same for both models.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velkan::sim {

inline constexpr std::size_t kSimInterfaceCount = 2;
// Interface 0: the boot keyboard, unnumbered reports.
inline constexpr std::size_t kBootInterface = 0;
// Interface 1: the command collection, then the consumer-control collection.
inline constexpr std::size_t kVendorInterface = 1;

inline constexpr std::uint8_t kCommandReportId = 4;
inline constexpr std::uint8_t kConsumerReportId = 3;
inline constexpr std::size_t kConsumerReportBytes = 3; // id, one 16-bit usage

// Empty for an interface the keyboard does not have.
std::span<const std::uint8_t> reportDescriptor(std::size_t interfaceNumber);

} // namespace velkan::sim
