#include "storage/colour_files.h"

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "storage/profile_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <utility>

namespace velkan::storage {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSettingsFileName = "wskb.ini";
constexpr std::string_view kUserColourPrefix = "UserDengColor_";
constexpr std::string_view kUserColourExtension = ".userd";
constexpr int kTemplateNumber = 3;
constexpr std::string_view kSkinsFolderName = "Skins";
// Far above any real template; a larger file is not one of ours.
constexpr std::uintmax_t kMaxTemplateBytes = 4u << 20;

constexpr std::string_view kKeyColourSection = "KEYCOLOR";
constexpr std::string_view kPerKeyViewKey = "DengCheck";
constexpr std::string_view kPresentModeSection = "PRESENTMODE";
constexpr std::string_view kPresentModeKey = "mode";
constexpr std::string_view kModeNameSection = "MODENAME";
constexpr std::string_view kModeSectionPrefix = "Mode";
constexpr std::string_view kToolKey = "tool";
constexpr std::string_view kToolColourKey = "jcolor";
constexpr std::string_view kColourKey = "color";

constexpr std::string_view kSwitchOff = "0";
constexpr std::string_view kSwitchOn = "1";
constexpr std::string_view kDefaultModeName = "0";
constexpr std::string_view kDefaultPresentMode = "0";
constexpr std::string_view kDefaultColourText = "0,0,0";
constexpr std::string_view kDefaultKeyColourText = "255,0,0,1";

constexpr std::size_t kColourFields = 3;
constexpr std::size_t kKeyColourFields = 4;
constexpr std::array<long long, kColourFields> kBlack = {0, 0, 0};
constexpr std::array<long long, kKeyColourFields> kDefaultKeyColour = {255, 0, 0, 1};

// Any number with more digits reads as this, so a long run of digits stays "too large" instead
// of wrapping round.
constexpr long long kNumberCeiling = 1LL << 40;

std::string fileName(int number) {
    return std::string(kUserColourPrefix) + std::to_string(number) +
           std::string(kUserColourExtension);
}

std::string modeSection(int mode) {
    return std::string(kModeSectionPrefix) + std::to_string(mode);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Blanks, an optional sign, at least one decimal digit, blanks; nothing else.
std::optional<long long> parseNumber(std::string_view field) {
    field = trimBlanks(field);
    bool negative = false;
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    if (field.empty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c - '0'), kNumberCeiling);
    }
    return negative ? -value : value;
}

// The first N comma-separated fields of `text`, each the field's number or else the default's;
// fields beyond N are ignored.
template <std::size_t N>
std::array<long long, N> parseFields(std::string_view text,
                                     const std::array<long long, N>& defaults) {
    std::array<long long, N> result = defaults;
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t comma = text.find(',');
        if (const auto number = parseNumber(text.substr(0, comma))) {
            result[i] = *number;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return result;
}

std::uint8_t channel(long long value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0LL, 255LL));
}

model::ColourRef colourFrom(std::span<const long long> fields) {
    return model::colourRef(channel(fields[0]), channel(fields[1]), channel(fields[2]));
}

model::ColourRef parseColour(std::string_view text) {
    return colourFrom(parseFields(text, kBlack));
}

std::string formatColour(model::ColourRef colour) {
    const auto rgb = model::colourBytes(colour);
    return std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," + std::to_string(rgb[2]);
}

std::string_view formatSwitch(bool on) {
    return on ? kSwitchOn : kSwitchOff;
}

bool parseSwitch(std::string_view text, bool fallback) {
    const auto number = parseNumber(text);
    return number ? *number != 0 : fallback;
}

// The reader trims blanks around a value and takes off one pair of quotes, so a name that
// would lose either is written inside quotes of its own.
std::string quotedWhereNeeded(std::string_view name) {
    const bool blankEdge = !name.empty() && (isBlank(name.front()) || isBlank(name.back()));
    const bool quoted = name.size() >= 2 && name.front() == '"' && name.back() == '"';
    if (blankEdge || quoted) {
        return "\"" + std::string(name) + "\"";
    }
    return std::string(name);
}

bool validPage(int page) {
    return page >= 0 && page < model::kLightingPageCount;
}

// The page's file, or nothing for a page outside 0-2 or when there is no data folder.
std::optional<fs::path> pageFile(const fs::path& folder, int page) {
    if (folder.empty() || !validPage(page)) {
        return std::nullopt;
    }
    return folder / fileName(page);
}

std::optional<fs::path> settingsFile(const fs::path& folder) {
    if (folder.empty()) {
        return std::nullopt;
    }
    return folder / kSettingsFileName;
}

std::string readValue(const std::optional<fs::path>& file, std::string_view section,
                      std::string_view key, std::string_view defaultValue) {
    if (!file) {
        return std::string(defaultValue);
    }
    return platform::getPrivateProfileString(section, key, defaultValue, *file);
}

// Failed writes are not reported: the user sees the old value again next time, nothing worse.
void writeValue(const std::optional<fs::path>& file, std::string_view section, std::string_view key,
                std::string_view value) {
    if (file) {
        platform::writePrivateProfileString(section, key, value, *file);
    }
}

KeyColour keyColourFromText(std::string_view text) {
    const auto fields = parseFields(text, kDefaultKeyColour);
    return {colourFrom(fields), fields[3] != 0};
}

} // namespace

ColourFiles::ColourFiles(std::filesystem::path appDataFolder, std::filesystem::path templateFile)
    : folder_(std::move(appDataFolder)), template_(std::move(templateFile)) {}

ColourFiles ColourFiles::forProgram() {
    // Without a data folder every read gives its default and nothing is written: an empty
    // folder would otherwise put the files in whatever the current folder is.
    return ColourFiles(appDataFolderPath().value_or(fs::path{}),
                       platform::programFolder() / kSkinsFolderName / fileName(kTemplateNumber));
}

bool ColourFiles::ensureFolder() const {
    if (folder_.empty()) {
        return false;
    }
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error || !fs::is_directory(folder_, error)) {
        return false;
    }
    // The folder alone does not mark a first run: other parts of the program create it too.
    // A page whose copy fails reads as defaults, which is what the user would see anyway.
    for (int page = 0; page < model::kLightingPageCount; ++page) {
        if (!fs::exists(userColourPath(page), error)) {
            resetUserColours(page);
        }
    }
    return true;
}

std::filesystem::path ColourFiles::userColourPath(int page) const {
    return folder_ / fileName(page);
}

std::filesystem::path ColourFiles::settingsPath() const {
    return folder_ / kSettingsFileName;
}

int ColourFiles::readPresentMode(int page) const {
    const std::string text = readValue(pageFile(folder_, page), kPresentModeSection,
                                       kPresentModeKey, kDefaultPresentMode);
    const long long mode = parseNumber(text).value_or(0);
    return static_cast<int>(std::clamp<long long>(mode, 0, std::numeric_limits<int>::max()));
}

void ColourFiles::writePresentMode(int page, int mode) const {
    writeValue(pageFile(folder_, page), kPresentModeSection, kPresentModeKey, std::to_string(mode));
}

std::string ColourFiles::readModeName(int page, int mode) const {
    return readValue(pageFile(folder_, page), kModeNameSection, std::to_string(mode),
                     kDefaultModeName);
}

void ColourFiles::writeModeName(int page, int mode, std::string_view name) const {
    writeValue(pageFile(folder_, page), kModeNameSection, std::to_string(mode),
               quotedWhereNeeded(name));
}

ModeTools ColourFiles::readModeTools(int page, int mode) const {
    const auto file = pageFile(folder_, page);
    const std::string section = modeSection(mode);
    ModeTools tools;
    tools.tool = parseSwitch(readValue(file, section, kToolKey, kSwitchOff), false);
    tools.toolColour = parseColour(readValue(file, section, kToolColourKey, kDefaultColourText));
    tools.colour = parseColour(readValue(file, section, kColourKey, kDefaultColourText));
    return tools;
}

void ColourFiles::writeModeTools(int page, int mode, const ModeTools& tools) const {
    const auto file = pageFile(folder_, page);
    const std::string section = modeSection(mode);
    writeValue(file, section, kToolKey, formatSwitch(tools.tool));
    writeValue(file, section, kToolColourKey, formatColour(tools.toolColour));
    writeValue(file, section, kColourKey, formatColour(tools.colour));
}

KeyColour ColourFiles::readKeyColour(int page, int mode, int position) const {
    return keyColourFromText(readValue(pageFile(folder_, page), modeSection(mode),
                                       std::to_string(position), kDefaultKeyColourText));
}

void ColourFiles::writeKeyColour(int page, int mode, int position, const KeyColour& colour) const {
    writeValue(pageFile(folder_, page), modeSection(mode), std::to_string(position),
               formatColour(colour.colour) + "," + std::string(formatSwitch(colour.on)));
}

bool ColourFiles::readPerKeyViewSwitch() const {
    return parseSwitch(
        readValue(settingsFile(folder_), kKeyColourSection, kPerKeyViewKey, kSwitchOff), false);
}

void ColourFiles::writePerKeyViewSwitch(bool on) const {
    writeValue(settingsFile(folder_), kKeyColourSection, kPerKeyViewKey, formatSwitch(on));
}

bool ColourFiles::resetUserColours(int page) const {
    const auto file = pageFile(folder_, page);
    if (!file) {
        return false;
    }
    const auto bytes = platform::readWholeFile(template_, kMaxTemplateBytes);
    return bytes && platform::writeFileAtomically(*file, *bytes);
}

void ColourFiles::fillUserModeColours(int page, model::Lighting& lighting) const {
    if (page != lighting.currentPage() && !lighting.setCurrentPage(page)) {
        return;
    }
    // One read of the file for the 108 colours, not one per colour.
    const auto file = pageFile(folder_, page);
    const platform::IniDocument document =
        file ? platform::IniDocument::readFile(*file) : platform::IniDocument{};
    const std::string section = modeSection(readPresentMode(page));
    const auto fill = [&](int position) {
        const auto text = document.value(section, std::to_string(position));
        lighting.storeKeyColour(
            position,
            keyColourFromText(text ? std::string_view(*text) : kDefaultKeyColourText).colour);
    };
    for (const std::uint8_t position : model::ColourPositionList()) {
        fill(position);
    }
    // Every extra key lights through one shared position, so reading it once covers them all.
    fill(model::kExtraKeyColourPosition);
    fill(model::kLogoColourPosition);
}

ModeTools ColourFiles::loadUserMode(int page, model::Lighting& lighting,
                                    device::DeviceLink& link) const {
    const ModeTools tools = readModeTools(page, readPresentMode(page));
    fillUserModeColours(page, lighting);
    lighting.writeKeyColours(link, page);
    return tools;
}

} // namespace velkan::storage
