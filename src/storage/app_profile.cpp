#include "storage/app_profile.h"

#include <charconv>

namespace velkan::storage {

std::string AppProfile::sectionKey(std::string_view section) {
    std::string key = "Software\\";
    key += kAppProfileRoot;
    key += '\\';
    key += kAppTitle;
    key += '\\';
    key += section;
    return key;
}

std::optional<std::string> AppProfile::readString(std::string_view section,
                                                  std::string_view entry) const {
    return store_.readString(sectionKey(section), entry);
}

int AppProfile::readInt(std::string_view section, std::string_view entry, int fallback) const {
    const std::optional<std::string> text = readString(section, entry);
    if (!text) {
        return fallback;
    }
    int value = 0;
    const char* const end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    return error == std::errc() && stop == end ? value : fallback;
}

bool AppProfile::writeString(std::string_view section, std::string_view entry,
                             std::string_view value) {
    return store_.writeString(sectionKey(section), entry, value);
}

bool AppProfile::writeInt(std::string_view section, std::string_view entry, int value) {
    return writeString(section, entry, std::to_string(value));
}

} // namespace velkan::storage
