// The language the user runs the desktop in, where the system keeps one apart from the locale
// environment.
#pragma once

#include <cstdint>
#include <optional>

namespace velkan::platform {

// The user's interface language as a Windows language identifier (0x0409 for US English);
// nullopt on Linux, where the locale environment (LC_ALL, LC_MESSAGES, LANG) alone tells it.
std::optional<std::uint16_t> desktopLanguageId();

} // namespace velkan::platform
