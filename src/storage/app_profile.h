// The application's own profile values (the profile list, Flip, the record-delay option): text
// values in sections under the application's key of the current user's settings store.
#pragma once

#include "platform/settings_store.h"

#include <optional>
#include <string>
#include <string_view>

namespace velkan::storage {

// "Software\Velkan_Oranth\Halvory Mechanical Keyboard": the store's root, then the title.
inline constexpr std::string_view kAppProfileRoot = "Velkan_Oranth";
inline constexpr std::string_view kAppTitle = "Halvory Mechanical Keyboard";

class AppProfile {
public:
    explicit AppProfile(platform::SettingsStore& store) : store_(store) {}

    // The key path of `section`.
    static std::string sectionKey(std::string_view section);

    std::optional<std::string> readString(std::string_view section, std::string_view entry) const;
    // A number kept as its decimal digits; a missing value or one that is not a whole number in
    // the 32-bit range gives `fallback`.
    int readInt(std::string_view section, std::string_view entry, int fallback) const;
    bool writeString(std::string_view section, std::string_view entry, std::string_view value);
    bool writeInt(std::string_view section, std::string_view entry, int value);

private:
    platform::SettingsStore& store_;
};

} // namespace velkan::storage
