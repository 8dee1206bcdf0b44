// Every command the program sends to the keyboard's configuration collection. Each builds a
// fresh frame, runs one transaction per frame and checks the reply status; the table and
// macro transfers move 56-byte chunks. All return a CommandResult (command_report.h).
#pragma once

#include "device/device_link.h"
#include "protocol/command_report.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace velkan::protocol {

inline constexpr std::size_t kDeviceInfoSize = 44;
// The byte of the device information that holds the profile in use.
inline constexpr std::size_t kActiveProfileByte = 10;
inline constexpr std::size_t kParamsReplySize = 56;
// Room every key-table buffer has: the larger model's table.
inline constexpr std::size_t kMaxTableBytes = 512;
inline constexpr int kBankCount = 3;
// Page stride of the per-key colour area.
inline constexpr int kKeyColourPageBytes = 512;

namespace command {
inline constexpr std::uint8_t kBeginConfig = 0x01;
inline constexpr std::uint8_t kEndConfig = 0x02;
inline constexpr std::uint8_t kReadDeviceInfo = 0x03;
inline constexpr std::uint8_t kWriteDeviceInfo = 0x04;
inline constexpr std::uint8_t kReadParams = 0x05;
inline constexpr std::uint8_t kWriteParams = 0x06;
inline constexpr std::uint8_t kReadKeyTable = 0x07;
inline constexpr std::uint8_t kWriteKeyTable = 0x08;
inline constexpr std::uint8_t kReadMacroArea = 0x09;
inline constexpr std::uint8_t kWriteMacroArea = 0x0A;
inline constexpr std::uint8_t kReadDefaultKeyTable = 0x0F;
inline constexpr std::uint8_t kWriteKeyColours = 0x11;
inline constexpr std::uint8_t kEnterBootMode = 0xEE;
} // namespace command

using device::DeviceLink;

// Opens and closes a group of writes or reads; the end command waits 10 ms before sending.
CommandResult beginConfig(DeviceLink& link);
CommandResult endConfig(DeviceLink& link);

// The 44-byte information block; the destination is filled only on success.
CommandResult readDeviceInfo(DeviceLink& link,
                             std::span<std::uint8_t, kDeviceInfoSize> destination);
CommandResult writeDeviceInfo(DeviceLink& link,
                              std::span<const std::uint8_t, kDeviceInfoSize> source);

// Reads from the lighting parameter area: `length` goes in the request, and all 56 reply
// payload bytes are copied whatever it is.
CommandResult readParams(DeviceLink& link, std::span<std::uint8_t, kParamsReplySize> destination,
                         std::uint8_t length, std::uint16_t address);
// Writes `data` (at most 56 bytes; a longer payload is refused with writeFailed and
// nothing is sent) at `address` of the parameter area.
CommandResult writeParams(DeviceLink& link, std::span<const std::uint8_t> data,
                          std::uint16_t address);

// One bank (0..2) of the key table, tableBytes bytes at bank x tableBytes. Other banks give
// badBank with nothing sent. A failed chunk ends the transfer; chunks read before it
// stay in the destination.
CommandResult readKeyTable(DeviceLink& link, std::span<std::uint8_t, kMaxTableBytes> destination,
                           int bank);
CommandResult writeKeyTable(DeviceLink& link, std::span<const std::uint8_t, kMaxTableBytes> source,
                            int bank);

// The keyboard's factory key table, tableBytes bytes.
CommandResult readDefaultKeyTable(DeviceLink& link,
                                  std::span<std::uint8_t, kMaxTableBytes> destination);

// The macro memory from address 0, as many bytes as the span holds (0 sends nothing). More
// than the 16-bit address space can reach is refused with writeFailed, nothing sent.
CommandResult readMacroArea(DeviceLink& link, std::span<std::uint8_t> destination);
CommandResult writeMacroArea(DeviceLink& link, std::span<const std::uint8_t> source);

// Per-key colours: `data` (at most 56 bytes, 3 per key) for keys from `firstKey` on, in the
// colour page `page` (the profile page shown in the main window).
CommandResult writeKeyColours(DeviceLink& link, std::span<const std::uint8_t> data, int firstKey,
                              int page);

// Asks the keyboard to leave normal operation for its firmware loader. No checksum, no reply.
CommandResult enterBootMode(DeviceLink& link);

} // namespace velkan::protocol
