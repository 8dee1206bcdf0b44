// Looking up user-visible text by language key. The model and the windows ask through this
// interface; the language files answer it in the program, a table answers it in tests.
#pragma once

#include <string>
#include <string_view>

namespace velkan::lang {

// What a missing language file or key shows in place of the text.
inline constexpr std::string_view kMissingText = "#Error";

enum class TextSection { text, light, mode };

class TextLookup {
public:
    virtual ~TextLookup() = default;
    // The text of `key` in the section of the current language's file, "#Error" when the file
    // or the key is missing, empty for a key with an empty value.
    virtual std::string lookup(TextSection section, std::string_view key) const = 0;

    std::string text(std::string_view key) const { return lookup(TextSection::text, key); }
    std::string lightText(std::string_view key) const { return lookup(TextSection::light, key); }
    std::string modeText(std::string_view key) const { return lookup(TextSection::mode, key); }
};

// Marks a key of the TEXT section written away from its lookup (menu tables, lists), so the
// test suite's check of the shipped language file finds it like a literal passed to text().
consteval std::string_view textKey(std::string_view key) {
    return key;
}

// Formats a looked-up text that holds one printf-style field (%d, %u, %s, ...) with a number.
// A text with no field, or with fields that do not fit a single number, comes back unchanged,
// so a translator's mistake can never crash the program.
std::string formatWithNumber(std::string_view format, long long number);
// The same for a text argument (a file path): only a single %s field takes it.
std::string formatWithText(std::string_view format, std::string_view argument);

} // namespace velkan::lang
