// The UTF-8 and UTF-16 steps every text conversion of the program shares: the keyboard's and
// the files' UTF-16 texts meet the program's UTF-8 ones.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkan::platform {

// What an ill-formed sequence reads as.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// One code point of UTF-8 at `pos`, advancing past it. An ill-formed sequence gives nullopt
// and is skipped as its maximal valid prefix (at least one byte), the way decoders agree on.
// `pos` must be inside `text`.
std::optional<char32_t> nextUtf8CodePoint(std::string_view text, std::size_t& pos);

// Appends `codePoint` (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

constexpr bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr char32_t combineSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

} // namespace velkan::platform
