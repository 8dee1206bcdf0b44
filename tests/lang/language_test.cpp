#include "lang/language.h"
#include "platform/atomic_file.h"
#include "platform/desktop_language.h"
#include "platform/ini_file.h"
#include "platform/settings_store.h"
#include "support/test_environment.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace velkan::lang {
namespace {

namespace fs = std::filesystem;

class LanguageTest : public testing::Test {
protected:
    void SetUp() override {
        const auto folder = test::makeTemporaryFolder(fs::temp_directory_path(), "velkan-lang");
        ASSERT_TRUE(folder);
        folder_ = *folder;
        // Language files are shipped as UTF-16LE; the tests' files are written the same way.
        for (const auto& [name, text] : {std::pair{"Lang0409.ini", "[TEXT]\nWHICH=US\n"},
                                         std::pair{"Lang0000.ini", "[TEXT]\nWHICH=none\n"},
                                         std::pair{"Lang0809.ini", "[TEXT]\nWHICH=UK\n"}}) {
            writeLanguageFile(name, text);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void writeLanguageFile(const std::string& name, std::string_view text) const {
        auto document =
            platform::IniDocument::parse(std::vector<std::uint8_t>(text.begin(), text.end()));
        document.setEncoding(platform::TextEncoding::utf16le);
        ASSERT_TRUE(platform::writeFileAtomically(folder_ / name, document.serialize()));
    }

    fs::path folder_;
};

TEST_F(LanguageTest, ChoosesTheLanguageAndRemembersTheChoice) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> storedNumber;
        std::optional<std::string> storedText;
        std::uint16_t system;
        std::uint16_t expectedId;
        std::uint32_t expectedStored;
    };
    const Case cases[] = {
        {"nothing stored, Australian English system", {}, {}, 0x0C09, 1033, 1033},
        {"nothing stored, Chinese system", {}, {}, 2052, 1033, 1033},
        {"zero stored, British English system", 0, {}, 0x0809, 1033, 1033},
        {"British English chosen by hand", 2057, {}, 0x0C09, 2057, 2057},
        {"a text where a number belongs", {}, "2057", 0x0C09, 1033, 1033},
        {"a number beyond a language identifier", 0x10409, {}, 1033, 1033, 0x10409},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::SettingsStore store(folder_ / (std::string(c.name) + ".settings"));
        if (c.storedNumber) {
            ASSERT_TRUE(store.writeDword(kSettingsKey, kLanguageValue, *c.storedNumber));
        }
        if (c.storedText) {
            ASSERT_TRUE(store.writeString(kSettingsKey, kLanguageValue, *c.storedText));
        }
        const Language language(store, folder_, [&c] { return c.system; });

        EXPECT_EQ(language.languageId(), c.expectedId);
        EXPECT_EQ(store.readDword(kSettingsKey, kLanguageValue), c.expectedStored);
        EXPECT_EQ(language.languageIndex(), 0);
        EXPECT_EQ(language.text("WHICH"), "US"); // every English variant reads the US file
    }
    // The choice is read on every call, so a change while running is seen at once.
    platform::SettingsStore store(folder_ / "changed.settings");
    const Language language(store, folder_, [] { return std::uint16_t{0x0C09}; });
    EXPECT_EQ(language.languageId(), 1033);
    ASSERT_TRUE(store.writeDword(kSettingsKey, kLanguageValue, 2057));
    EXPECT_EQ(language.languageId(), 2057);
}

TEST_F(LanguageTest, LooksUpKeysInTheirSection) {
    writeLanguageFile("Lang0409.ini",
                      "[TEXT]\nGREETING=Hello\nEMPTY=\n1=text one\nLONG=" + std::string(300, 'x') +
                          "\n[LIGHT]\nUsb=Report Rate\n[MODE]\n1=Wave\n");
    platform::SettingsStore store(folder_ / "settings");
    const Language language(store, folder_);
    struct Case {
        TextSection section;
        std::string key;
        std::string expected;
    };
    const Case cases[] = {{TextSection::text, "GREETING", "Hello"},
                          {TextSection::text, "EMPTY", ""},
                          {TextSection::text, "MISSING", "#Error"},
                          {TextSection::text, "", "#Error"},
                          {TextSection::text, "LONG", std::string(259, 'x')},
                          {TextSection::text, "1", "text one"},
                          {TextSection::text, "Usb", "#Error"},
                          {TextSection::light, "Usb", "Report Rate"},
                          {TextSection::mode, "1", "Wave"},
                          {TextSection::mode, "2", "#Error"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(language.lookup(c.section, c.key), c.expected);
    }
    EXPECT_EQ(language.lightText("Usb"), "Report Rate");
    EXPECT_EQ(language.modeText("1"), "Wave");

    // A file replaced while the program runs is read again, even at the same size.
    writeLanguageFile("Lang0409.ini", "[TEXT]\nGREETING=Howdy\n");
    const auto sameSize = fs::file_size(folder_ / "Lang0409.ini");
    EXPECT_EQ(language.text("GREETING"), "Howdy");
    writeLanguageFile("Lang0409.ini", "[TEXT]\nGREETING=Hiyah\n");
    ASSERT_EQ(fs::file_size(folder_ / "Lang0409.ini"), sameSize);
    EXPECT_EQ(language.text("GREETING"), "Hiyah");

    fs::remove(folder_ / "Lang0409.ini");
    EXPECT_EQ(language.text("GREETING"), kMissingText);
}

TEST_F(LanguageTest, TheLanguageIndexNamesTheFile) {
    platform::SettingsStore store(folder_ / "settings");
    const Language language(store, folder_);
    const std::tuple<int, const char*, const char*> cases[] = {
        {0, "Lang0409.ini", "US"}, {1, "Lang0000.ini", "none"}, {2, "Lang0809.ini", "UK"},
        {3, "Lang0409.ini", "US"}, {-1, "Lang0409.ini", "US"},  {1000, "Lang0409.ini", "US"},
    };
    for (const auto& [index, file, text] : cases) {
        SCOPED_TRACE(index);
        EXPECT_EQ(language.languageFile(index), folder_ / file);
        EXPECT_EQ(language.lookupIn(TextSection::text, "WHICH", index), text);
    }
}

TEST(SystemLanguageTest, MapsTheLocaleToALanguageIdentifier) {
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> saved[3];
    for (std::size_t i = 0; i < 3; ++i) {
        if (const char* value = std::getenv(names[i])) {
            saved[i] = value;
        }
    }
    const auto languageWith = [&names](std::array<const char*, 3> values) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            test::setEnvironment(names[i], values[i] != nullptr
                                               ? std::optional<std::string>(values[i])
                                               : std::nullopt);
        }
        return systemLanguageFromEnvironment();
    };
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"en_US.UTF-8", 0x0409},
        {"en_GB.UTF-8", 0x0809},
        {"en_AU", 0x0C09},
        {"de_AT", 0x0C07},
        {"zh_CN.GB2312", 0x0804},
        {"ja_JP.eucJP", 0x0411},
        {"it_IT@euro", 0x0410},
        {"en_gb.utf8", 0x0809},
        {"EN-IE", 0x1809},
        // A language alone, or with a territory not listed, takes its main variant.
        {"de", 0x0407},
        {"zh_XX.UTF-8", 0x0804},
        // Nothing known: US English.
        {"C", 1033},
        {"POSIX", 1033},
        {"xx_YY", 1033},
        // Nothing set: the desktop's language where the system keeps one.
        {nullptr, platform::desktopLanguageId().value_or(1033)}};
    for (const auto& [lang, expected] : cases) {
        EXPECT_EQ(languageWith({nullptr, nullptr, lang}), expected) << (lang ? lang : "unset");
    }
    // The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty counts.
    EXPECT_EQ(languageWith({"fr_FR.UTF-8", "de_DE", "ja_JP"}), 0x040C);
    EXPECT_EQ(languageWith({nullptr, "de_DE", "ja_JP"}), 0x0407);
    EXPECT_EQ(languageWith({"", "", "ja_JP"}), 0x0411);
    EXPECT_EQ(languageWith({"C", nullptr, "ja_JP"}), 1033);

    languageWith({saved[0] ? saved[0]->c_str() : nullptr, saved[1] ? saved[1]->c_str() : nullptr,
                  saved[2] ? saved[2]->c_str() : nullptr});
}

TEST(FormatTest, FillsASingleField) {
    const std::tuple<const char*, long long, const char*> numbers[] = {
        {"Key %d", 100, "Key 100"},
        {"%u", -1, "4294967295"},
        {"%hu", 70000, "4464"},
        {"%lld", 1LL << 40, "1099511627776"},
        {"%X/%%", 255, "FF/%"},
        {"%04X", 0x1A, "001A"},
        {"%#x", 255, "0xff"},
        {"[%-5d]", 42, "[42   ]"},
        {"%+d", 5, "+5"},
        {"[%5s]", 100, "[  100]"},
        {"100%% of %d", 7, "100% of 7"},
        {"Taste %d ↑", 5, "Taste 5 ↑"},
    };
    for (const auto& [format, number, expected] : numbers) {
        EXPECT_EQ(formatWithNumber(format, number), expected) << format;
    }
    EXPECT_EQ(formatWithNumber("%260d", 1).size(), 260u);

    const std::string longPath = "/" + std::string(1000, 'p') + ".fwc";
    const std::tuple<std::string, std::string, std::string> texts[] = {
        {"%s is not valid.", "/home/u/a b.fwc", "/home/u/a b.fwc is not valid."},
        {"[%-6s]", "ab", "[ab    ]"},
        {"%.2s", "abcdef", "ab"},
        {"%s", longPath, longPath},
        {"%s", "%d %n", "%d %n"},
        {"%d is not valid", "/a.fwc", "%d is not valid"},
    };
    for (const auto& [format, argument, expected] : texts) {
        EXPECT_EQ(formatWithText(format, argument), expected) << format;
    }
}

// A language file is outside data: what it holds comes back as it is rather than being fed to
// the formatting with fields it does not have or could abuse.
TEST(FormatTest, LeavesTextsItCannotFillUnchanged) {
    const char* const formats[] = {"No field",
                                   "100%% sure",
                                   "%d and %d",
                                   "%s%d",
                                   "%n",
                                   "%d%n",
                                   "%f",
                                   "%c",
                                   "%p",
                                   "%*d",
                                   "%.*d",
                                   "%ls",
                                   "%hhd",
                                   "%#d",
                                   "%0s",
                                   "%+s",
                                   "%261d",
                                   "%.261d",
                                   "%99999999999999999999d",
                                   "%",
                                   "ends with %",
                                   "50% off",
                                   "%1$d"};
    for (const char* format : formats) {
        EXPECT_EQ(formatWithNumber(format, 100), format);
        EXPECT_EQ(formatWithText(format, "/tmp/a.fwc"), format);
    }
}

} // namespace
} // namespace velkan::lang
