// The language in use and the lookup in its file. The language identifier is chosen on every
// call from the stored choice "dwLanguageId" (written back when missing) and the system's
// language; the file is "<program folder>/Lang%04X.ini" with the sections TEXT, LIGHT and MODE.
#pragma once

#include "lang/text_lookup.h"
#include "platform/ini_file.h"
#include "platform/settings_store.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan::lang {

inline constexpr std::string_view kSettingsKey = "Software\\Halvory ";
inline constexpr std::string_view kLanguageValue = "dwLanguageId";
inline constexpr std::uint16_t kEnglishUs = 1033;

// The system's language identifier from the locale environment (LC_ALL, LC_MESSAGES, LANG),
// e.g. "en_AU.UTF-8" -> 0x0C09, "zh_CN" -> 0x0804; 1033 when unknown. When none is set, the
// desktop's own language where the system keeps one (Windows), else 1033.
std::uint16_t systemLanguageFromEnvironment();

class Language : public TextLookup {
public:
    Language(platform::SettingsStore& settings, std::filesystem::path programFolder,
             std::function<std::uint16_t()> systemLanguage = systemLanguageFromEnvironment);

    std::uint16_t languageId() const;
    // Position of the identifier among the first two supported languages; 0 otherwise.
    int languageIndex() const;
    std::filesystem::path languageFile(int languageIndex) const;

    // Lookup with an explicit language index (above 2 counts as 0).
    std::string lookupIn(TextSection section, std::string_view key, int languageIndex) const;
    // TextLookup: with the current language index.
    std::string lookup(TextSection section, std::string_view key) const override;

private:
    // A language file as last parsed, kept while the bytes on disk stay the same: a window
    // that shows a hundred tooltips parses the file once, not a hundred times.
    struct ReadFile {
        std::filesystem::path path;
        std::vector<std::uint8_t> bytes;
        platform::IniDocument document;
    };
    const platform::IniDocument& document(const std::filesystem::path& file) const;

    platform::SettingsStore& settings_;
    std::filesystem::path programFolder_;
    std::function<std::uint16_t()> systemLanguage_;
    // Looked up from the window thread and the keyboard's worker alike.
    mutable std::mutex cacheMutex_;
    mutable std::optional<ReadFile> cached_;
};

} // namespace velkan::lang
