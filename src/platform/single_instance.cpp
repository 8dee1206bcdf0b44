#include "platform/single_instance.h"

#include "platform/little_endian.h"
#include "platform/process.h"

#include <utility>

namespace velkan::platform {
namespace {

constexpr std::uint32_t kFrameMagic = 0x4E4B4C56; // "VLKN"

std::uint64_t loadLe64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return loadLe32(bytes, offset) | (std::uint64_t{loadLe32(bytes, offset + 4)} << 32);
}

void storeLe64(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value) {
    storeLe32(bytes, offset, static_cast<std::uint32_t>(value & 0xFFFFFFFF));
    storeLe32(bytes, offset + 4, static_cast<std::uint32_t>(value >> 32));
}

} // namespace

InstanceLock::~InstanceLock() {
    close();
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), heldElsewhere_(other.heldElsewhere_) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kNoHandle);
        heldElsewhere_ = other.heldElsewhere_;
    }
    return *this;
}

std::array<std::uint8_t, kInstanceFrameBytes> encodeInstanceFrame(const InstanceMessage& message) {
    std::array<std::uint8_t, kInstanceFrameBytes> frame{};
    storeLe32(frame, 0, kFrameMagic);
    storeLe32(frame, 4, message.message);
    storeLe64(frame, 8, message.wParam);
    storeLe64(frame, 16, static_cast<std::uint64_t>(message.lParam));
    return frame;
}

std::optional<InstanceMessage> decodeInstanceFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() != kInstanceFrameBytes || loadLe32(frame, 0) != kFrameMagic) {
        return std::nullopt;
    }
    return InstanceMessage{loadLe32(frame, 4), loadLe64(frame, 8),
                           static_cast<std::int64_t>(loadLe64(frame, 16))};
}

InstanceDelivery sendToRunningInstance(std::string_view executableName,
                                       const InstanceMessage& message) {
    const auto running = findProcessesByExecutableName(executableName, true);
    if (running.empty()) {
        return InstanceDelivery::noneRunning;
    }
    // The first one that answers is the instance; a program of the same name that is not one
    // (still starting, or in another login session) has no channel here.
    for (const int processId : running) {
        if (sendToInstance(processId, message)) {
            return InstanceDelivery::delivered;
        }
    }
    return InstanceDelivery::notAnswered;
}
} // namespace velkan::platform
