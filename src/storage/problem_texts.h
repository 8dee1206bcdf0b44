// The language text that tells the user of a problem the device threads found.
#pragma once

#include "device/keyboard_events.h"

#include <string_view>

namespace velkan::storage {

inline std::string_view problemTextKey(device::KeyboardProblem problem) {
    switch (problem) {
    case device::KeyboardProblem::noPermission:
        return "MAIN_NO_PERMISSION_PROMPT";
    case device::KeyboardProblem::defaultTableUnreadable:
        return "MAIN_DEFAULT_MATRIX_PROMPT";
    }
    return {};
}

} // namespace velkan::storage
