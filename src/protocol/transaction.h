// Request/response transactions on the command channel.
#pragma once

#include "device/device_link.h"
#include "protocol/command_report.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace velkan::protocol {

inline constexpr int kWriteTimeoutMs = 1000;
inline constexpr int kReplyTimeoutMs = 300;
inline constexpr int kTransactAttempts = 4;

// Sends one request (cut or zero-padded to 64 bytes, sent as built: no checksum is added) and
// waits for one reply, re-sending the same request while no reply comes, four attempts in all.
// Returns success, noDevice (absent or silent) or writeFailed (no retry).
// `bytesRead`, when given, receives the byte count of the last read attempt, 0 when it failed.
//
// The command lock is held for the whole transaction, and replies still waiting from an
// earlier, abandoned request are dropped before sending, so a reply always answers this
// request.
CommandResult Transact(device::DeviceLink& link, std::span<const std::uint8_t> request,
                       std::span<std::uint8_t> reply, std::size_t* bytesRead);

// Sends one request and waits for no reply: success when the write completed in time,
// noDevice when the keyboard is absent or the write failed.
CommandResult SendOnly(device::DeviceLink& link, std::span<const std::uint8_t> request);

} // namespace velkan::protocol
