#include "platform/instance_request.h"

#include <gtest/gtest.h>

namespace velkan::platform {
namespace {

// What a running instance makes of the messages other processes send it: each request
// survives the wire, and a message with a wrong check value or an unknown number is nobody's.
TEST(InstanceRequestTest, MessagesDecodeToTheirRequestsOnly) {
    for (const InstanceRequest request : {InstanceRequest::open, InstanceRequest::kill,
                                          InstanceRequest::apply, InstanceRequest::readBack}) {
        EXPECT_EQ(requestOf(messageOf(request)), request);
    }
    const struct {
        const char* name;
        InstanceMessage message;
        std::optional<InstanceRequest> request;
    } cases[] = {
        {"open as a second start sends it", {0x5350, 0x4F50454E, 0}, InstanceRequest::open},
        {"kill with another check value", {0x4D4B, 0x1234, 0}, std::nullopt},
        {"open with the kill's check value", {0x5350, 0x4C4C494B, 0}, std::nullopt},
        {"apply takes any wParam", {0x001E, 0xFFFF, 3}, InstanceRequest::apply},
        {"read-back with a wrong check value", {0x5242, 0x4241434C, 0}, std::nullopt},
        {"an unknown message", {0x0400, 0, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(requestOf(c.message), c.request) << c.name;
    }
}

} // namespace
} // namespace velkan::platform
