// Private-profile (INI) files with the desktop's semantics: sections and keys match without
// regard to case, a missing key or file gives the caller's default, a value is cut to the
// caller's buffer, files are read as UTF-16LE (with BOM) or UTF-8, and a write keeps the
// file's encoding, creates a missing file and replaces the file atomically.
//
// Texts are UTF-8 in the program; buffer sizes count UTF-16 units, as the files do.
//
// Reading: a UTF-16LE byte order mark selects UTF-16LE, anything else is UTF-8 (with or without
// its mark); bytes that do not decode read as U+FFFD. CRLF, LF and a lone CR all end a line.
// Blanks around names and values are trimmed, one pair of double quotes around a value is
// removed, lines starting with ';' are comments, and the first matching section and the first
// matching key in it win. Case is folded for ASCII letters only. Keys above the first section
// header belong to no section.
//
// Writing: lines end in CRLF; every line the write does not touch keeps its bytes. A missing
// file is created, but a missing folder is not, as on the desktop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkan::platform {

// The buffer every caller passes: 260 UTF-16 units with the terminator.
inline constexpr std::size_t kProfileStringBuffer = 260;
// Language and skin files are tens of kilobytes; a file far beyond that is not one of ours, and
// refusing it keeps a hostile file from costing gigabytes of line records.
inline constexpr std::uintmax_t kMaxIniBytes = 4u << 20;

enum class TextEncoding { utf8, utf16le };

// One INI file in memory: parsed from untrusted bytes, never failing (lines that are not
// "[section]" or "key=value" are kept but ignored), written back in its own encoding.
class IniDocument {
public:
    static IniDocument parse(std::span<const std::uint8_t> bytes);
    // The file's document; an empty one when the file is missing, unreadable or too large.
    // For many reads of one file, where getPrivateProfileString would read it every time.
    static IniDocument readFile(const std::filesystem::path& file);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Sets or adds the key (adding the section when missing), keeping everything else.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Section names / key names in file order.
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    TextEncoding encoding() const { return encoding_; }
    void setEncoding(TextEncoding encoding) { encoding_ = encoding; }
    std::vector<std::uint8_t> serialize() const;

private:
    struct Line {
        std::string text; // the line as UTF-8, without its end of line
        // The file's own bytes, kept only when decoding had to replace some of them, so an
        // untouched line is written back byte for byte.
        std::optional<std::string> raw;
    };
    // The line of the first header that names `section`.
    std::optional<std::size_t> findSection(std::string_view section) const;

    TextEncoding encoding_ = TextEncoding::utf16le;
    TextEncoding rawEncoding_ = TextEncoding::utf16le; // what the kept `raw` bytes are in
    bool byteOrderMark_ = true;                        // for UTF-8; UTF-16LE always has one
    std::vector<Line> lines_;
};

// The value of `key` in `section`, or `defaultValue` when the file, section or key is
// missing; cut to `bufferUnits - 1` UTF-16 units.
std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file,
                                    std::size_t bufferUnits = kProfileStringBuffer);
// The same from a document already read.
std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const IniDocument& document,
                                    std::size_t bufferUnits = kProfileStringBuffer);

// Writes the value, creating the file (UTF-16LE with BOM) when missing. False when the file
// cannot be written; the old file is then left as it was.
bool writePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file);

} // namespace velkan::platform
