#include "platform/ini_file.h"

#include "platform/atomic_file.h"
#include "platform/little_endian.h"
#include "platform/unicode.h"

#include <algorithm>
#include <array>

namespace velkan::platform {

namespace {

constexpr std::array<std::uint8_t, 3> kUtf8Bom = {0xEF, 0xBB, 0xBF};
constexpr std::array<std::uint8_t, 2> kUtf16Bom = {0xFF, 0xFE};

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Valid UTF-8 with every ill-formed sequence replaced by U+FFFD; `lossy` tells whether any was.
std::string decodeUtf8(std::string_view bytes, bool& lossy) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t start = pos;
        if (nextUtf8CodePoint(bytes, pos)) {
            text.append(bytes.substr(start, pos - start));
        } else {
            appendUtf8(text, kReplacementCharacter);
            lossy = true;
        }
    }
    return text;
}

std::string validUtf8(std::string_view bytes) {
    bool lossy = false;
    return decodeUtf8(bytes, lossy);
}

// Unpaired surrogates and an odd last byte become U+FFFD.
std::string decodeUtf16le(std::span<const std::uint8_t> bytes, bool& lossy) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t pos = 0;
    while (rangeFits(bytes.size(), pos, 2)) {
        char32_t unit = loadLe16(bytes, pos);
        pos += 2;
        if (isHighSurrogate(unit)) {
            const auto low = readLe16(bytes, pos);
            if (low && isLowSurrogate(*low)) {
                unit = combineSurrogates(unit, *low);
                pos += 2;
            } else {
                unit = kReplacementCharacter;
                lossy = true;
            }
        } else if (isLowSurrogate(unit)) {
            unit = kReplacementCharacter;
            lossy = true;
        }
        appendUtf8(text, unit);
    }
    if (pos < bytes.size()) {
        appendUtf8(text, kReplacementCharacter);
        lossy = true;
    }
    return text;
}

void appendUtf16le(std::vector<std::uint8_t>& out, std::string_view text) {
    const auto unit = [&out](char32_t value) {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = nextUtf8CodePoint(text, pos).value_or(kReplacementCharacter);
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
}

// The longest prefix of valid UTF-8 `text` that fits in `maxUnits` UTF-16 units, never
// ending between the two halves of a surrogate pair.
std::string cutToUnits(std::string text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const char32_t c = nextUtf8CodePoint(text, pos).value_or(kReplacementCharacter);
        units += c >= 0x10000 ? 2 : 1;
        if (units > maxUnits) {
            text.resize(start);
            break;
        }
    }
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII case folding only: the names the program uses are ASCII, and folding other letters
// would need locale tables that differ between systems.
bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

enum class LineKind { other, section, entry };

struct ParsedLine {
    LineKind kind = LineKind::other;
    std::string_view name;  // section name or key, trimmed
    std::string_view value; // trimmed, quotes still on
};

ParsedLine parseLine(std::string_view text) {
    const std::string_view line = trim(text);
    if (line.empty() || line.front() == ';') {
        return {};
    }
    if (line.front() == '[') {
        const std::size_t close = line.find(']');
        const std::string_view name =
            close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
        return {LineKind::section, trim(name), {}};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || trim(line.substr(0, equals)).empty()) {
        return {};
    }
    return {LineKind::entry, trim(line.substr(0, equals)), trim(line.substr(equals + 1))};
}

std::string unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

// A line of the file cannot hold a line break: one given to a write becomes a blank.
std::string singleLine(std::string_view text) {
    std::string line = validUtf8(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

bool startsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

} // namespace

IniDocument IniDocument::parse(std::span<const std::uint8_t> bytes) {
    IniDocument document;
    std::size_t unitBytes = 1;
    if (startsWith(bytes, kUtf16Bom)) {
        document.encoding_ = TextEncoding::utf16le;
        bytes = bytes.subspan(kUtf16Bom.size());
        unitBytes = 2;
    } else {
        document.encoding_ = TextEncoding::utf8;
        document.byteOrderMark_ = startsWith(bytes, kUtf8Bom);
        if (document.byteOrderMark_) {
            bytes = bytes.subspan(kUtf8Bom.size());
        }
    }
    document.rawEncoding_ = document.encoding_;

    const auto unitAt = [&](std::size_t pos) -> std::uint16_t {
        return unitBytes == 2 ? loadLe16(bytes, pos) : bytes[pos];
    };
    const auto addLine = [&](std::span<const std::uint8_t> raw) {
        bool lossy = false;
        Line line;
        line.text = unitBytes == 2 ? decodeUtf16le(raw, lossy) : decodeUtf8(asText(raw), lossy);
        // An odd byte count cannot be written back in front of a UTF-16 line end; the text,
        // with U+FFFD for the lost byte, is written instead.
        if (lossy && raw.size() % unitBytes == 0) {
            line.raw = std::string(asText(raw));
        }
        document.lines_.push_back(std::move(line));
    };

    std::size_t start = 0;
    std::size_t pos = 0;
    while (rangeFits(bytes.size(), pos, unitBytes)) {
        const std::uint16_t unit = unitAt(pos);
        if (unit != '\r' && unit != '\n') {
            pos += unitBytes;
            continue;
        }
        addLine(bytes.subspan(start, pos - start));
        pos += unitBytes;
        if (unit == '\r' && rangeFits(bytes.size(), pos, unitBytes) && unitAt(pos) == '\n') {
            pos += unitBytes;
        }
        start = pos;
    }
    if (start < bytes.size()) {
        addLine(bytes.subspan(start));
    }
    return document;
}

std::optional<std::size_t> IniDocument::findSection(std::string_view section) const {
    const std::string_view wanted = trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine line = parseLine(lines_[i].text);
        if (line.kind == LineKind::section && sameName(line.name, wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    const auto header = findSection(section);
    if (!header) {
        return std::nullopt;
    }
    const std::string_view wanted = trim(key);
    for (std::size_t i = *header + 1; i < lines_.size(); ++i) {
        const ParsedLine line = parseLine(lines_[i].text);
        if (line.kind == LineKind::section) {
            break;
        }
        if (line.kind == LineKind::entry && sameName(line.name, wanted)) {
            return unquote(line.value);
        }
    }
    return std::nullopt;
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionName(trim(singleLine(section)));
    const std::string keyName(trim(singleLine(key)));
    const std::string text = singleLine(value);

    const auto header = findSection(sectionName);
    if (!header) {
        lines_.push_back({"[" + sectionName + "]", std::nullopt});
        lines_.push_back({keyName + "=" + text, std::nullopt});
        return;
    }
    // A new key goes after the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    std::size_t insertAt = *header + 1;
    for (std::size_t i = *header + 1; i < lines_.size(); ++i) {
        const ParsedLine line = parseLine(lines_[i].text);
        if (line.kind == LineKind::section) {
            break;
        }
        if (line.kind == LineKind::entry && sameName(line.name, keyName)) {
            lines_[i] = {std::string(line.name) + "=" + text, std::nullopt};
            return;
        }
        if (!trim(lines_[i].text).empty()) {
            insertAt = i + 1;
        }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  {keyName + "=" + text, std::nullopt});
}

std::vector<std::string> IniDocument::sections() const {
    std::vector<std::string> names;
    for (const Line& stored : lines_) {
        const ParsedLine line = parseLine(stored.text);
        if (line.kind == LineKind::section &&
            std::none_of(names.begin(), names.end(),
                         [&](const std::string& name) { return sameName(name, line.name); })) {
            names.emplace_back(line.name);
        }
    }
    return names;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const {
    std::vector<std::string> names;
    const auto header = findSection(section);
    if (!header) {
        return names;
    }
    for (std::size_t i = *header + 1; i < lines_.size(); ++i) {
        const ParsedLine line = parseLine(lines_[i].text);
        if (line.kind == LineKind::section) {
            break;
        }
        if (line.kind == LineKind::entry &&
            std::none_of(names.begin(), names.end(),
                         [&](const std::string& name) { return sameName(name, line.name); })) {
            names.emplace_back(line.name);
        }
    }
    return names;
}

std::vector<std::uint8_t> IniDocument::serialize() const {
    std::vector<std::uint8_t> out;
    const bool utf16 = encoding_ == TextEncoding::utf16le;
    if (utf16) {
        out.assign(kUtf16Bom.begin(), kUtf16Bom.end());
    } else if (byteOrderMark_) {
        out.assign(kUtf8Bom.begin(), kUtf8Bom.end());
    }
    const auto append = [&](std::string_view text) {
        if (utf16) {
            appendUtf16le(out, text);
        } else {
            out.insert(out.end(), text.begin(), text.end());
        }
    };
    for (const Line& line : lines_) {
        if (line.raw && rawEncoding_ == encoding_) {
            out.insert(out.end(), line.raw->begin(), line.raw->end());
        } else {
            append(line.text);
        }
        append("\r\n");
    }
    return out;
}

IniDocument IniDocument::readFile(const std::filesystem::path& file) {
    const auto bytes = readWholeFile(file, kMaxIniBytes);
    return bytes ? parse(*bytes) : IniDocument{};
}

std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file, std::size_t bufferUnits) {
    const auto bytes = readWholeFile(file, kMaxIniBytes);
    return getPrivateProfileString(section, key, defaultValue,
                                   bytes ? IniDocument::parse(*bytes) : IniDocument{}, bufferUnits);
}

std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const IniDocument& document,
                                    std::size_t bufferUnits) {
    std::optional<std::string> found = document.value(section, key);
    return cutToUnits(found ? std::move(*found) : validUtf8(defaultValue),
                      bufferUnits == 0 ? 0 : bufferUnits - 1);
}

bool writePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file) {
    std::error_code error;
    const bool exists = std::filesystem::exists(file, error);
    if (error) {
        return false;
    }
    IniDocument document; // a new file: UTF-16LE with its byte order mark
    if (exists) {
        // A file we cannot read is never replaced by one holding only the new key.
        const auto bytes = readWholeFile(file, kMaxIniBytes);
        if (!bytes) {
            return false;
        }
        document = IniDocument::parse(*bytes);
    }
    document.setValue(section, key, value);
    return writeFileAtomically(file, document.serialize());
}

} // namespace velkan::platform
