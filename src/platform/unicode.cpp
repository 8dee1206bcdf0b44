#include "platform/unicode.h"

#include <cstdint>

namespace velkan::platform {

std::optional<char32_t> nextUtf8CodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<std::uint8_t>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return std::nullopt;
    }
    char32_t value = lead & (0xFFu >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if (pos >= text.size()) {
            return std::nullopt;
        }
        const auto next = static_cast<std::uint8_t>(text[pos]);
        if (next < low || next > high) {
            return std::nullopt;
        }
        value = (value << 6) | (next & 0x3Fu);
        ++pos;
        low = 0x80;
        high = 0xBF;
    }
    return value;
}

void appendUtf8(std::string& out, char32_t c) {
    const auto byte = [](char32_t bits) {
        return static_cast<char>(static_cast<std::uint8_t>(bits));
    };
    if (c < 0x80) {
        out += byte(c);
    } else if (c < 0x800) {
        out += byte(0xC0 | (c >> 6));
        out += byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += byte(0xE0 | (c >> 12));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    } else {
        out += byte(0xF0 | (c >> 18));
        out += byte(0x80 | ((c >> 12) & 0x3F));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    }
}

} // namespace velkan::platform
