#include "lang/text_lookup.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace velkan::lang {
namespace {

// No looked-up text is longer than the lookup buffer, so a wider field can only be a mistake
// (or an attempt to make the formatting allocate without bound).
constexpr std::size_t kMaxFieldSize = 260;

enum class LengthModifier { none, h, l, ll };

struct Field {
    std::size_t begin = 0; // the '%'
    std::size_t end = 0;   // one past the conversion letter
    std::string flags;
    std::size_t width = 0;
    std::optional<std::size_t> precision;
    LengthModifier length = LengthModifier::none;
    char conversion = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A run of decimal digits at `pos`, refused when it exceeds kMaxFieldSize.
std::optional<std::size_t> readNumber(std::string_view text, std::size_t& pos) {
    std::size_t value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        value = value * 10 + static_cast<std::size_t>(text[pos] - '0');
        if (value > kMaxFieldSize) {
            return std::nullopt;
        }
        ++pos;
    }
    return value;
}

bool flagsAllowed(std::string_view flags, std::string_view allowed) {
    return flags.find_first_not_of(allowed) == std::string_view::npos;
}

// The field starting at the '%' at `begin`, when it is one this program can fill: flags, a
// literal width and precision, h/l/ll and one of d i u x X s. '*' widths, %n, floating point
// and every other conversion are refused.
std::optional<Field> parseField(std::string_view format, std::size_t begin) {
    Field field;
    field.begin = begin;
    std::size_t pos = begin + 1;
    while (pos < format.size() &&
           std::string_view("-+ #0").find(format[pos]) != std::string_view::npos) {
        field.flags += format[pos++];
    }
    const auto width = readNumber(format, pos);
    if (!width) {
        return std::nullopt;
    }
    field.width = *width;
    if (pos < format.size() && format[pos] == '.') {
        ++pos;
        field.precision = readNumber(format, pos);
        if (!field.precision) {
            return std::nullopt;
        }
    }
    if (format.substr(pos).starts_with("ll")) {
        field.length = LengthModifier::ll;
        pos += 2;
    } else if (pos < format.size() && (format[pos] == 'l' || format[pos] == 'h')) {
        field.length = format[pos] == 'l' ? LengthModifier::l : LengthModifier::h;
        ++pos;
    }
    if (pos >= format.size()) {
        return std::nullopt;
    }
    field.conversion = format[pos];
    field.end = pos + 1;
    switch (field.conversion) {
    case 'd':
    case 'i':
    case 'u':
        return flagsAllowed(field.flags, "-+ 0") ? std::optional(field) : std::nullopt;
    case 'x':
    case 'X':
        return flagsAllowed(field.flags, "-+ 0#") ? std::optional(field) : std::nullopt;
    case 's':
        if (field.length != LengthModifier::none || !flagsAllowed(field.flags, "-")) {
            return std::nullopt;
        }
        return field;
    default:
        return std::nullopt;
    }
}

// The one fillable field of the text; nullopt when there is none, more than one, or a '%'
// that starts neither "%%" nor a fillable field.
std::optional<Field> singleField(std::string_view format) {
    std::optional<Field> found;
    for (std::size_t pos = 0; pos < format.size(); ++pos) {
        if (format[pos] != '%') {
            continue;
        }
        if (pos + 1 < format.size() && format[pos + 1] == '%') {
            ++pos;
            continue;
        }
        auto field = parseField(format, pos);
        if (!field || found) {
            return std::nullopt;
        }
        found = std::move(field);
        pos = found->end - 1;
    }
    return found;
}

std::string collapsePercents(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        out += text[pos];
        if (text[pos] == '%' && pos + 1 < text.size() && text[pos + 1] == '%') {
            ++pos;
        }
    }
    return out;
}

std::string fillText(const Field& field, std::string_view argument) {
    if (field.precision) {
        argument = argument.substr(0, *field.precision);
    }
    const std::string padding(field.width > argument.size() ? field.width - argument.size() : 0,
                              ' ');
    const std::string text(argument);
    return field.flags.find('-') != std::string::npos ? text + padding : padding + text;
}

// The field's own conversion is handed to snprintf only after parseField has proved it to be
// one of the integer conversions with bounded width and precision, with an argument of the
// type that conversion reads.
template <typename T> std::string printInteger(const Field& field, T value) {
    std::string format(1, '%');
    format += field.flags;
    if (field.width > 0) {
        format += std::to_string(field.width);
    }
    if (field.precision) {
        format += '.';
        format += std::to_string(*field.precision);
    }
    switch (field.length) {
    case LengthModifier::none:
        break;
    case LengthModifier::h:
        format += "h";
        break;
    case LengthModifier::l:
        format += "l";
        break;
    case LengthModifier::ll:
        format += "ll";
        break;
    }
    format += field.conversion;
    std::array<char, 2 * kMaxFieldSize> buffer{};
    const int written = std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
    if (written < 0) {
        return {};
    }
    return std::string(buffer.data(),
                       std::min(static_cast<std::size_t>(written), buffer.size() - 1));
}

std::string fillNumber(const Field& field, long long number) {
    if (field.conversion == 's') {
        return fillText(field, std::to_string(number));
    }
    const bool isSigned = field.conversion == 'd' || field.conversion == 'i';
    // The number reaches the field as the type the conversion reads, as a C caller's
    // argument would.
    switch (field.length) {
    case LengthModifier::none:
        return isSigned ? printInteger(field, static_cast<int>(number))
                        : printInteger(field, static_cast<unsigned int>(number));
    case LengthModifier::h:
        return isSigned
                   ? printInteger(field, static_cast<int>(static_cast<short>(number)))
                   : printInteger(field,
                                  static_cast<unsigned int>(static_cast<unsigned short>(number)));
    case LengthModifier::l:
        return isSigned ? printInteger(field, static_cast<long>(number))
                        : printInteger(field, static_cast<unsigned long>(number));
    case LengthModifier::ll:
        return isSigned ? printInteger(field, number)
                        : printInteger(field, static_cast<unsigned long long>(number));
    }
    return {};
}

std::string assemble(std::string_view format, const Field& field, const std::string& filled) {
    return collapsePercents(format.substr(0, field.begin)) + filled +
           collapsePercents(format.substr(field.end));
}

} // namespace

std::string formatWithNumber(std::string_view format, long long number) {
    const auto field = singleField(format);
    if (!field) {
        return std::string(format);
    }
    return assemble(format, *field, fillNumber(*field, number));
}

std::string formatWithText(std::string_view format, std::string_view argument) {
    const auto field = singleField(format);
    if (!field || field->conversion != 's') {
        return std::string(format);
    }
    return assemble(format, *field, fillText(*field, argument));
}

} // namespace velkan::lang
