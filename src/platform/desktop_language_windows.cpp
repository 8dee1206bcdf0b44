#include "platform/desktop_language.h"
#include "platform/support_windows.h"

namespace velkan::platform {

std::optional<std::uint16_t> desktopLanguageId() {
    const LANGID language = ::GetUserDefaultUILanguage();
    if (language == 0) {
        return std::nullopt;
    }
    return language;
}

} // namespace velkan::platform
