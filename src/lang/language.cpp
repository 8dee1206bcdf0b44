#include "lang/language.h"

#include "platform/atomic_file.h"
#include "platform/desktop_language.h"
#include "platform/ini_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>
#include <utility>

namespace velkan::lang {
namespace {

// Indexed by the language index. Entry 1 names no language of its own; only the first two
// entries take part in matching an identifier.
constexpr std::array<std::uint16_t, 3> kSupportedLanguages = {kEnglishUs, 0, 2057};
constexpr std::size_t kMatchedLanguages = 2;

// System languages that read the file of another language: every English variant reads the
// US English file.
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 10> kLanguageVariants = {{
    {0x0809, kEnglishUs},
    {0x0C09, kEnglishUs},
    {0x1009, kEnglishUs},
    {0x1409, kEnglishUs},
    {0x1809, kEnglishUs},
    {0x1C09, kEnglishUs},
    {0x2009, kEnglishUs},
    {0x2409, kEnglishUs},
    {0x2809, kEnglishUs},
    {0x2C09, kEnglishUs},
}};

struct LocaleLanguage {
    std::string_view language;
    std::string_view territory;
    std::uint16_t id;
};

// The first row of each language is the one its unlisted territories fall back to.
constexpr auto kLocaleLanguages = std::to_array<LocaleLanguage>({
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
    {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"en", "JM", 0x2009},
    {"en", "BZ", 0x2809}, {"en", "TT", 0x2C09}, {"en", "ZW", 0x3009}, {"en", "PH", 0x3409},
    {"en", "IN", 0x4009}, {"en", "MY", 0x4409}, {"en", "SG", 0x4809}, {"de", "DE", 0x0407},
    {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
    {"fr", "LU", 0x140C}, {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "CO", 0x240A},
    {"es", "AR", 0x2C0A}, {"es", "CL", 0x340A}, {"es", "US", 0x540A}, {"pt", "BR", 0x0416},
    {"pt", "PT", 0x0816}, {"it", "IT", 0x0410}, {"it", "CH", 0x0810}, {"nl", "NL", 0x0413},
    {"nl", "BE", 0x0813}, {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04},
    {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404}, {"ja", "JP", 0x0411}, {"ko", "KR", 0x0412},
    {"ru", "RU", 0x0419}, {"uk", "UA", 0x0422}, {"pl", "PL", 0x0415}, {"cs", "CZ", 0x0405},
    {"sk", "SK", 0x041B}, {"hu", "HU", 0x040E}, {"ro", "RO", 0x0418}, {"bg", "BG", 0x0402},
    {"hr", "HR", 0x041A}, {"sl", "SI", 0x0424}, {"el", "GR", 0x0408}, {"tr", "TR", 0x041F},
    {"sv", "SE", 0x041D}, {"sv", "FI", 0x081D}, {"da", "DK", 0x0406}, {"nb", "NO", 0x0414},
    {"nn", "NO", 0x0814}, {"fi", "FI", 0x040B}, {"et", "EE", 0x0425}, {"lv", "LV", 0x0426},
    {"lt", "LT", 0x0427}, {"he", "IL", 0x040D}, {"ar", "SA", 0x0401}, {"ar", "EG", 0x0C01},
    {"fa", "IR", 0x0429}, {"hi", "IN", 0x0439}, {"th", "TH", 0x041E}, {"vi", "VN", 0x042A},
    {"id", "ID", 0x0421}, {"ms", "MY", 0x043E}, {"ca", "ES", 0x0403}, {"eu", "ES", 0x042D},
});

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// "ll_TT.codeset@modifier": language and territory with the codeset and modifier dropped.
std::uint16_t languageOfLocale(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    const auto separator = locale.find_first_of("_-");
    std::string language(locale.substr(0, separator));
    std::string territory(separator == std::string_view::npos ? std::string_view()
                                                              : locale.substr(separator + 1));
    std::ranges::transform(language, language.begin(), lower);
    std::ranges::transform(territory, territory.begin(), upper);

    const LocaleLanguage* fallback = nullptr;
    for (const auto& row : kLocaleLanguages) {
        if (row.language != language) {
            continue;
        }
        if (row.territory == territory) {
            return row.id;
        }
        if (fallback == nullptr) {
            fallback = &row;
        }
    }
    return fallback != nullptr ? fallback->id : kEnglishUs;
}

std::uint16_t supportedLanguageFor(std::uint16_t systemLanguage) {
    for (const auto& [variant, language] : kLanguageVariants) {
        if (variant == systemLanguage) {
            systemLanguage = language;
            break;
        }
    }
    // Entry 1 is 0 and names no language, so it never matches a system language.
    const auto matched = std::span(kSupportedLanguages).first(kMatchedLanguages);
    const bool supported =
        systemLanguage != 0 && std::ranges::find(matched, systemLanguage) != matched.end();
    return supported ? systemLanguage : kSupportedLanguages[0];
}

int validIndex(int languageIndex) {
    return languageIndex >= 0 &&
                   static_cast<std::size_t>(languageIndex) < kSupportedLanguages.size()
               ? languageIndex
               : 0;
}

std::string_view sectionName(TextSection section) {
    switch (section) {
    case TextSection::text:
        return "TEXT";
    case TextSection::light:
        return "LIGHT";
    case TextSection::mode:
        return "MODE";
    }
    return "TEXT";
}

} // namespace

std::uint16_t systemLanguageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return languageOfLocale(value);
        }
    }
    return platform::desktopLanguageId().value_or(kEnglishUs);
}

Language::Language(platform::SettingsStore& settings, std::filesystem::path programFolder,
                   std::function<std::uint16_t()> systemLanguage)
    : settings_(settings), programFolder_(std::move(programFolder)),
      systemLanguage_(std::move(systemLanguage)) {}

std::uint16_t Language::languageId() const {
    // A missing value, one of another type and 0 all mean that nothing has been chosen yet.
    const auto stored = settings_.readDword(kSettingsKey, kLanguageValue).value_or(0);
    if (stored > std::numeric_limits<std::uint16_t>::max()) {
        return kSupportedLanguages[0];
    }
    if (stored != 0) {
        return static_cast<std::uint16_t>(stored);
    }
    const std::uint16_t chosen =
        supportedLanguageFor(systemLanguage_ ? systemLanguage_() : kEnglishUs);
    settings_.writeDword(kSettingsKey, kLanguageValue, chosen);
    return chosen;
}

int Language::languageIndex() const {
    const std::uint16_t id = languageId();
    for (std::size_t index = 0; index < kMatchedLanguages; ++index) {
        if (kSupportedLanguages[index] == id) {
            return static_cast<int>(index);
        }
    }
    return 0;
}

std::filesystem::path Language::languageFile(int languageIndex) const {
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "Lang%04X.ini",
                  static_cast<unsigned int>(
                      kSupportedLanguages[static_cast<std::size_t>(validIndex(languageIndex))]));
    return programFolder_ / name.data();
}

const platform::IniDocument& Language::document(const std::filesystem::path& file) const {
    std::vector<std::uint8_t> bytes =
        platform::readWholeFile(file, platform::kMaxIniBytes).value_or(std::vector<std::uint8_t>{});
    if (!cached_ || cached_->path != file || cached_->bytes != bytes) {
        platform::IniDocument parsed = platform::IniDocument::parse(bytes);
        cached_ = ReadFile{file, std::move(bytes), std::move(parsed)};
    }
    return cached_->document;
}

std::string Language::lookupIn(TextSection section, std::string_view key, int languageIndex) const {
    const std::lock_guard lock(cacheMutex_);
    return platform::getPrivateProfileString(sectionName(section), key, kMissingText,
                                             document(languageFile(languageIndex)),
                                             platform::kProfileStringBuffer);
}

std::string Language::lookup(TextSection section, std::string_view key) const {
    return lookupIn(section, key, languageIndex());
}

} // namespace velkan::lang
