#include "protocol/command_set.h"

#include "platform/little_endian.h"
#include "protocol/command_report.h"
#include "protocol/transaction.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace velkan::protocol {

namespace {

constexpr std::size_t kAddressSpace = 0x10000;
constexpr auto kEndConfigPause = std::chrono::milliseconds(10);

// Runs one finished frame and checks the reply status.
CommandResult runFrame(DeviceLink& link, CommandReport& frame, CommandReport& reply) {
    FinishFrame(frame);
    const CommandResult result = Transact(link, frame, reply, nullptr);
    return result == CommandResult::success ? replyStatusResult(reply) : result;
}

CommandResult runSimple(DeviceLink& link, CommandReport frame) {
    CommandReport reply{};
    return runFrame(link, frame, reply);
}

bool validBank(int bank) {
    return static_cast<unsigned>(bank) < kBankCount;
}

// Chunked transfer over `total()` bytes from `base`. The frame is built once and not cleared
// between chunks, so bytes after a short last chunk keep the previous chunk's data; `total`
// is asked again before every chunk because the table size follows the keyboard last seen.
template <typename Total>
CommandResult transferChunks(DeviceLink& link, std::uint8_t command, std::size_t base, Total total,
                             std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> destination) {
    if (!platform::rangeFits(kAddressSpace, base, total())) {
        return CommandResult::writeFailed;
    }
    CommandReport frame = newCommandReport(command);
    CommandReport reply{};
    for (std::size_t offset = 0; offset < total(); offset += kMaxPayload) {
        const std::size_t length = std::min(kMaxPayload, total() - offset);
        const std::size_t room = std::max(source.size(), destination.size());
        if (!platform::rangeFits(room, offset, length) ||
            !platform::rangeFits(kAddressSpace, base + offset, length)) {
            return CommandResult::writeFailed;
        }
        frame[kLengthOffset] = static_cast<std::uint8_t>(length);
        platform::storeLe16(frame, kAddressOffset, static_cast<std::uint16_t>(base + offset));
        if (!source.empty()) {
            std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(offset), length,
                        frame.begin() + kPayloadOffset);
        }
        const CommandResult result = runFrame(link, frame, reply);
        if (result != CommandResult::success) {
            return result;
        }
        if (!destination.empty()) {
            std::copy_n(reply.begin() + kPayloadOffset, length,
                        destination.begin() + static_cast<std::ptrdiff_t>(offset));
        }
    }
    return CommandResult::success;
}

std::size_t tableBytesOf(const DeviceLink& link) {
    return static_cast<std::size_t>(link.tableBytes.load());
}

CommandResult writePayload(DeviceLink& link, std::uint8_t command,
                           std::span<const std::uint8_t> data, std::size_t address) {
    if (data.size() > kMaxPayload || address >= kAddressSpace) {
        return CommandResult::writeFailed;
    }
    CommandReport frame = newCommandReport(command, static_cast<std::uint8_t>(data.size()),
                                           static_cast<std::uint16_t>(address));
    std::copy(data.begin(), data.end(), frame.begin() + kPayloadOffset);
    return runSimple(link, frame);
}

} // namespace

CommandResult beginConfig(DeviceLink& link) {
    return runSimple(link, newCommandReport(command::kBeginConfig));
}

CommandResult endConfig(DeviceLink& link) {
    CommandReport frame = newCommandReport(command::kEndConfig);
    FinishFrame(frame);
    // The keyboard needs a moment after the last write of a group before it takes the end.
    std::this_thread::sleep_for(kEndConfigPause);
    CommandReport reply{};
    const CommandResult result = Transact(link, frame, reply, nullptr);
    return result == CommandResult::success ? replyStatusResult(reply) : result;
}

CommandResult readDeviceInfo(DeviceLink& link,
                             std::span<std::uint8_t, kDeviceInfoSize> destination) {
    CommandReport frame = newCommandReport(command::kReadDeviceInfo, kDeviceInfoSize);
    CommandReport reply{};
    const CommandResult result = runFrame(link, frame, reply);
    if (result == CommandResult::success) {
        std::copy_n(reply.begin() + kPayloadOffset, kDeviceInfoSize, destination.begin());
    }
    return result;
}

CommandResult writeDeviceInfo(DeviceLink& link,
                              std::span<const std::uint8_t, kDeviceInfoSize> source) {
    return writePayload(link, command::kWriteDeviceInfo, source, 0);
}

CommandResult readParams(DeviceLink& link, std::span<std::uint8_t, kParamsReplySize> destination,
                         std::uint8_t length, std::uint16_t address) {
    CommandReport frame = newCommandReport(command::kReadParams, length, address);
    CommandReport reply{};
    const CommandResult result = runFrame(link, frame, reply);
    if (result == CommandResult::success) {
        std::copy_n(reply.begin() + kPayloadOffset, kParamsReplySize, destination.begin());
    }
    return result;
}

CommandResult writeParams(DeviceLink& link, std::span<const std::uint8_t> data,
                          std::uint16_t address) {
    return writePayload(link, command::kWriteParams, data, address);
}

CommandResult readKeyTable(DeviceLink& link, std::span<std::uint8_t, kMaxTableBytes> destination,
                           int bank) {
    if (!validBank(bank)) {
        return CommandResult::badBank;
    }
    return transferChunks(
        link, command::kReadKeyTable, static_cast<std::size_t>(bank) * tableBytesOf(link),
        [&link] { return tableBytesOf(link); }, {}, destination);
}

CommandResult writeKeyTable(DeviceLink& link, std::span<const std::uint8_t, kMaxTableBytes> source,
                            int bank) {
    if (!validBank(bank)) {
        return CommandResult::badBank;
    }
    return transferChunks(link, command::kWriteKeyTable,
                          static_cast<std::size_t>(bank) * tableBytesOf(link),
                          [&link] { return tableBytesOf(link); }, source, {});
}

CommandResult readDefaultKeyTable(DeviceLink& link,
                                  std::span<std::uint8_t, kMaxTableBytes> destination) {
    return transferChunks(
        link, command::kReadDefaultKeyTable, 0, [&link] { return tableBytesOf(link); }, {},
        destination);
}

CommandResult readMacroArea(DeviceLink& link, std::span<std::uint8_t> destination) {
    return transferChunks(
        link, command::kReadMacroArea, 0, [&destination] { return destination.size(); }, {},
        destination);
}

CommandResult writeMacroArea(DeviceLink& link, std::span<const std::uint8_t> source) {
    return transferChunks(link, command::kWriteMacroArea, 0, [&source] { return source.size(); },
                          source, {});
}

CommandResult writeKeyColours(DeviceLink& link, std::span<const std::uint8_t> data, int firstKey,
                              int page) {
    if (firstKey < 0 || page < 0) {
        return CommandResult::writeFailed;
    }
    const auto address = static_cast<std::size_t>(page) * kKeyColourPageBytes +
                         static_cast<std::size_t>(firstKey) * 3;
    return writePayload(link, command::kWriteKeyColours, data, address);
}

CommandResult enterBootMode(DeviceLink& link) {
    // The loader takes this frame without a checksum: bytes 1-2 stay zero.
    const CommandReport frame = newCommandReport(command::kEnterBootMode, command::kEnterBootMode);
    return SendOnly(link, frame);
}

} // namespace velkan::protocol
