#include "protocol/command_report.h"

#include "platform/little_endian.h"

namespace velkan::protocol {

std::uint16_t frameChecksum(std::span<const std::uint8_t, kReportSize> frame) {
    unsigned sum = 0;
    for (std::size_t i = kCommandOffset; i < kReportSize; ++i) {
        sum += frame[i];
    }
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

void FinishFrame(std::span<std::uint8_t, kReportSize> frame) {
    platform::storeLe16(frame, kChecksumOffset, frameChecksum(frame));
}

CommandReport newCommandReport(std::uint8_t command, std::uint8_t length, std::uint16_t address) {
    CommandReport frame{};
    frame[0] = kCommandReportId;
    frame[kCommandOffset] = command;
    frame[kLengthOffset] = length;
    platform::storeLe16(frame, kAddressOffset, address);
    return frame;
}

CommandResult replyStatusResult(std::span<const std::uint8_t, kReportSize> reply) {
    switch (reply[kStatusOffset]) {
    case 0xFF:
        return CommandResult::statusFF;
    case 0xFE:
        return CommandResult::statusFE;
    default:
        return CommandResult::success;
    }
}

} // namespace velkan::protocol
