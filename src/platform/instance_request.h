// The requests one process of the program makes of the running one through the instance
// channel. On the wire each is a message number with a check value; they are decoded here
// once, at the boundary, and travel inside the program as typed requests.
#pragma once

#include "platform/single_instance.h"

#include <optional>

namespace velkan::platform {

enum class InstanceRequest {
    open,     // a second start: show the window
    kill,     // a start with "/Kill": end the program
    apply,    // another program of the user: apply the window's changes
    readBack, // velkanctl changed the keyboard: read it back into the window
};

InstanceMessage messageOf(InstanceRequest request);
// Nothing for a message that is none of them or carries the wrong check value.
std::optional<InstanceRequest> requestOf(const InstanceMessage& message);

} // namespace velkan::platform
