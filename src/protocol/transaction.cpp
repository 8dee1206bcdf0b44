#include "protocol/transaction.h"

#include "protocol/command_report.h"

#include <algorithm>

namespace velkan::protocol {

namespace {

// A babbling keyboard must not keep a transaction draining for ever: the backend's input
// queue holds at most this many reports.
constexpr int kMaxStaleReplies = 64;

CommandReport outgoingFrame(std::span<const std::uint8_t> request) {
    CommandReport frame{};
    std::copy_n(request.begin(), std::min(request.size(), frame.size()), frame.begin());
    return frame;
}

void dropStaleReplies(device::HidDevice& channel) {
    CommandReport stale{};
    for (int i = 0; i < kMaxStaleReplies && channel.read(stale, nullptr, 0); ++i) {
    }
}

} // namespace

CommandResult Transact(device::DeviceLink& link, std::span<const std::uint8_t> request,
                       std::span<std::uint8_t> reply, std::size_t* bytesRead) {
    if (bytesRead) {
        *bytesRead = 0;
    }
    if (!link.devicePresent) {
        return CommandResult::noDevice;
    }
    const CommandReport frame = outgoingFrame(request);

    std::lock_guard lock(link.commandIoLock);
    dropStaleReplies(link.commandChannel);
    for (int attempt = 0; attempt < kTransactAttempts; ++attempt) {
        if (!link.commandChannel.write(frame, nullptr, kWriteTimeoutMs)) {
            return CommandResult::writeFailed;
        }
        if (link.commandChannel.read(reply, bytesRead, kReplyTimeoutMs)) {
            return CommandResult::success;
        }
    }
    return CommandResult::noDevice;
}

CommandResult SendOnly(device::DeviceLink& link, std::span<const std::uint8_t> request) {
    if (!link.devicePresent) {
        return CommandResult::noDevice;
    }
    const CommandReport frame = outgoingFrame(request);
    std::lock_guard lock(link.commandIoLock);
    return link.commandChannel.write(frame, nullptr, kWriteTimeoutMs) ? CommandResult::success
                                                                      : CommandResult::noDevice;
}

} // namespace velkan::protocol
