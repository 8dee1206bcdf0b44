#include "platform/instance_request.h"

namespace velkan::platform {

namespace {

struct CheckedMessage {
    std::uint32_t message;
    std::uint64_t check;
};

constexpr CheckedMessage kOpen{0x5350, 0x4F50454E};
constexpr CheckedMessage kKill{0x4D4B, 0x4C4C494B};
// The external Apply carries no check value: any wParam is taken.
constexpr std::uint32_t kApply = 0x001E;

} // namespace

InstanceMessage messageOf(InstanceRequest request) {
    switch (request) {
    case InstanceRequest::open:
        return {kOpen.message, kOpen.check, 0};
    case InstanceRequest::kill:
        return {kKill.message, kKill.check, 0};
    case InstanceRequest::apply:
        return {kApply, 0, 0};
    case InstanceRequest::readBack:
        break;
    }
    return kReadBackRequest;
}

std::optional<InstanceRequest> requestOf(const InstanceMessage& message) {
    if (message.message == kApply) {
        return InstanceRequest::apply;
    }
    if (message == InstanceMessage{kOpen.message, kOpen.check, message.lParam}) {
        return InstanceRequest::open;
    }
    if (message == InstanceMessage{kKill.message, kKill.check, message.lParam}) {
        return InstanceRequest::kill;
    }
    if (message.message == kReadBackRequest.message && message.wParam == kReadBackRequest.wParam) {
        return InstanceRequest::readBack;
    }
    return std::nullopt;
}

} // namespace velkan::platform
