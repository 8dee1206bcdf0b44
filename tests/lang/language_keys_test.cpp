// The shipped English language file against the program: every language key the program looks
// up must be in it, in the form the program reads.
//
// Keys are found in the sources by convention: a string literal passed to text(), lightText(),
// modeText(), textKey(), or to lookup()/lookupIn() after a TextSection. Keys formed from tables
// and numbers (key names, effect names, panel captions) are listed from the tables themselves.
#include "lang/text_lookup.h"
#include "model/key_codes.h"
#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/little_endian.h"
#include "platform/unicode.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace velkan::lang {
namespace {

namespace fs = std::filesystem;

using KeyUse = std::pair<std::string, std::string>; // section, key

std::vector<KeyUse> languageKeysIn(const std::string& source) {
    // A lookup function and its opening parenthesis, or lookup() up to its section; then the key.
    static const std::regex kUse(
        R"re(\b(?:(text|lightText|modeText|textKey)\s*\()re"
        R"re(|lookup(?:In)?\s*\(\s*(?:\w+::)*TextSection::(text|light|mode)\s*,))re"
        R"re(\s*"([^"\\]*)")re");
    std::vector<KeyUse> uses;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), kUse);
         it != std::sregex_iterator(); ++it) {
        const std::string how = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
        const char* section = how == "lightText" || how == "light" ? "LIGHT"
                              : how == "modeText" || how == "mode" ? "MODE"
                                                                   : "TEXT";
        uses.emplace_back(section, (*it)[3]);
    }
    return uses;
}

TEST(LanguageKeyScanTest, FindsKeysByTheConvention) {
    const std::pair<const char*, std::vector<KeyUse>> cases[] = {
        {R"(caption = texts.text("MAIN_CAPTION");)", {{"TEXT", "MAIN_CAPTION"}}},
        {"texts_->text(\n    \"ON_TWO_LINES\")", {{"TEXT", "ON_TWO_LINES"}}},
        {R"(a.lightText("Usb") + b.modeText("20"))", {{"LIGHT", "Usb"}, {"MODE", "20"}}},
        {R"({32771, lang::textKey("MENU_11")})", {{"TEXT", "MENU_11"}}},
        {R"(lookup(TextSection::light, "Speed"))", {{"LIGHT", "Speed"}}},
        {R"(lookupIn(lang::TextSection::mode, "7", index))", {{"MODE", "7"}}},
        // Not lookups of a literal key.
        {R"(label->setText("fixed"); contextText("x"); text(key); lookup(section, "X"))", {}},
    };
    for (const auto& [source, expected] : cases) {
        EXPECT_EQ(languageKeysIn(source), expected) << source;
    }
}

std::vector<KeyUse> keysUsedByTheProgram() {
    std::vector<KeyUse> uses = {{"TEXT", "UNKNOWN_KEY"}};
    for (const auto& entry : fs::recursive_directory_iterator(VELKAN_SOURCE_DIR)) {
        const auto extension = entry.path().extension();
        if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h")) {
            std::ostringstream text;
            text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            const auto found = languageKeysIn(text.str());
            uses.insert(uses.end(), found.begin(), found.end());
        }
    }
    for (const auto& info : model::KeyInfoTable()) {
        if (!info.languageKey.empty()) {
            uses.emplace_back("TEXT", info.languageKey);
        }
    }
    for (const auto& media : model::MediaKeyTable()) {
        uses.emplace_back("TEXT", media.languageKey);
    }
    for (int position = 0; position < model::kFunctionKeyCount; ++position) {
        uses.emplace_back("TEXT", model::functionKeyLanguageKey(position));
    }
    for (const char* caption :
         {"Usb", "Deng", "Light", "FX", "Speed", "Color", "JColor", "DC", "Tool"}) {
        uses.emplace_back("LIGHT", caption);
    }
    for (int mode = 1; mode <= 20; ++mode) {
        uses.emplace_back("MODE", std::to_string(mode));
    }
    return uses;
}

std::vector<std::uint8_t> shippedFile() {
    return platform::readWholeFile(VELKAN_LANGUAGE_FILE).value_or(std::vector<std::uint8_t>{});
}

TEST(ShippedLanguageFileTest, HoldsEveryKeyTheProgramLooksUp) {
    const auto document = platform::IniDocument::parse(shippedFile());
    const auto uses = keysUsedByTheProgram();
    ASSERT_GT(uses.size(), 200u) << "the key tables alone name more than 200 keys";

    std::string missing;
    for (const auto& [section, key] : std::set<KeyUse>(uses.begin(), uses.end())) {
        // An empty text is legal, but in the English file it can only be a slip.
        if (document.value(section, key).value_or("").empty()) {
            missing += "\n  [" + section + "] " + key;
        }
    }
    EXPECT_EQ(missing, "") << "missing or empty in " << VELKAN_LANGUAGE_FILE;
}

// Chinese, Japanese and Korean characters: none of them belongs in the English interface.
bool isCjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// The first CJK character of UTF-8 text, as "line N", or "" when there is none.
std::string firstCjkLine(const std::string& text) {
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c =
            platform::nextUtf8CodePoint(text, i).value_or(platform::kReplacementCharacter);
        if (isCjk(c)) {
            return "line " + std::to_string(line);
        }
        line += c == '\n' ? 1 : 0;
    }
    return "";
}

TEST(ShippedLanguageFileTest, ProgramAndEnglishTextsHoldNoCjkCharacters) {
    EXPECT_EQ(firstCjkLine("OK \xe6\x9b\xb4\xe6\x96\xb0"), "line 1"); // the scan finds one
    for (const auto& entry : fs::recursive_directory_iterator(VELKAN_SOURCE_DIR)) {
        if (entry.is_regular_file()) {
            std::ostringstream text;
            text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            EXPECT_EQ(firstCjkLine(text.str()), "") << entry.path();
        }
    }
    const auto bytes = shippedFile();
    for (std::size_t pos = 2; pos + 2 <= bytes.size(); pos += 2) {
        EXPECT_FALSE(isCjk(platform::loadLe16(bytes, pos))) << "at " << pos;
    }
}

TEST(ShippedLanguageFileTest, IsUtf16WithByteOrderMarkAndCrlf) {
    const auto bytes = shippedFile();
    ASSERT_TRUE(bytes.size() > 2 && bytes.size() % 2 == 0);
    EXPECT_TRUE(bytes[0] == 0xFF && bytes[1] == 0xFE);
    std::size_t lineEnds = 0;
    for (std::size_t pos = 2; pos + 2 <= bytes.size(); pos += 2) {
        const std::uint16_t unit = platform::loadLe16(bytes, pos);
        const bool crBefore = platform::loadLe16(bytes, pos - 2) == '\r';
        const bool lfAfter = pos + 4 <= bytes.size() && platform::loadLe16(bytes, pos + 2) == '\n';
        EXPECT_TRUE((unit != '\r' || lfAfter) && (unit != '\n' || crBefore)) << "at " << pos;
        lineEnds += unit == '\n' ? 1 : 0;
    }
    EXPECT_GT(lineEnds, 200u);
}

TEST(ShippedLanguageFileTest, FormatTextsTakeTheirArgument) {
    const auto document = platform::IniDocument::parse(shippedFile());
    for (const auto& [key, number] :
         {std::pair{"UNKNOWN_KEY", 100}, std::pair{"MACRO_ERR_MAX", 100},
          std::pair{"MACRO_ACTION_ERR_DELAY_MAX", 40000}}) {
        const std::string formatted =
            formatWithNumber(document.value("TEXT", key).value_or(""), number);
        EXPECT_NE(formatted.find(std::to_string(number)), std::string::npos) << key;
    }
    const auto profileError = document.value("TEXT", "PROFILE_FORMAT_ERROR").value_or("");
    EXPECT_NE(formatWithText(profileError, "/tmp/x.fwc").find("/tmp/x.fwc"), std::string::npos);
}

} // namespace
} // namespace velkan::lang
