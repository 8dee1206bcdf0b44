#include "platform/desktop_language.h"

namespace velkan::platform {

std::optional<std::uint16_t> desktopLanguageId() {
    return std::nullopt;
}

} // namespace velkan::platform
