// The keyboard's command frame: every request is one 64-byte output report with report id 4,
// a 16-bit checksum, a command header and up to 56 payload bytes; every reply is one 64-byte
// input report with its status in byte 7 and data from byte 8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velkan::protocol {

inline constexpr std::size_t kReportSize = 64;
inline constexpr std::uint8_t kCommandReportId = 4;
inline constexpr std::size_t kChecksumOffset = 1;
inline constexpr std::size_t kCommandOffset = 3;
inline constexpr std::size_t kLengthOffset = 4;
inline constexpr std::size_t kAddressOffset = 5;
inline constexpr std::size_t kStatusOffset = 7;
inline constexpr std::size_t kPayloadOffset = 8;
inline constexpr std::size_t kMaxPayload = kReportSize - kPayloadOffset; // 56

using CommandReport = std::array<std::uint8_t, kReportSize>;

// What a transaction or a command came to. Callers test for exactly `success`.
enum class [[nodiscard]] CommandResult{
    success,
    noDevice,    // keyboard absent, or no reply in any attempt
    writeFailed, // the request could not be written in time
    statusFF,    // reply status 0xFF
    statusFE,    // reply status 0xFE
    badBank,     // key-table bank outside 0..2; nothing sent
};

// Sum of bytes 3..63 as unsigned bytes, kept to 16 bits.
std::uint16_t frameChecksum(std::span<const std::uint8_t, kReportSize> frame);

// Stores the checksum of a filled frame in bytes 1-2, little-endian.
void FinishFrame(std::span<std::uint8_t, kReportSize> frame);

// A fresh request: all zero but the report id, command, length and 16-bit address.
CommandReport newCommandReport(std::uint8_t command, std::uint8_t length = 0,
                               std::uint16_t address = 0);

// success, or the result of an 0xFF / 0xFE status in byte 7 of a reply.
CommandResult replyStatusResult(std::span<const std::uint8_t, kReportSize> reply);

} // namespace velkan::protocol
