// Turns a language file kept as UTF-8 in the source tree into the form the program ships:
// UTF-16LE with a byte-order mark and CRLF line ends.
//
//   make_language_file <source.ini> <output.ini>
#include "platform/atomic_file.h"
#include "platform/ini_file.h"

#include <cstdio>
#include <string_view>

namespace {

// The INI reader replaces ill-formed UTF-8 by U+FFFD; in a file of ours that is a mistake of
// its editor, caught here rather than shown to users.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
// Larger than any language file, small enough that a wrong argument fails at once.
constexpr std::uintmax_t kMaxSourceBytes = 1u << 20;

bool hasReplacementCharacters(const velkan::platform::IniDocument& document) {
    bool found = false;
    for (const auto& section : document.sections()) {
        for (const auto& key : document.keys(section)) {
            if (document.value(section, key).value_or("").find(kReplacementCharacter) !=
                std::string::npos) {
                std::fprintf(stderr, "[%s] %s: not valid UTF-8\n", section.c_str(), key.c_str());
                found = true;
            }
        }
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    namespace platform = velkan::platform;
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_language_file <source.ini> <output.ini>\n");
        return 2;
    }
    const auto source = platform::readWholeFile(argv[1], kMaxSourceBytes);
    if (!source) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    auto document = platform::IniDocument::parse(*source);
    if (document.encoding() != platform::TextEncoding::utf8) {
        std::fprintf(stderr, "%s: the source must be UTF-8\n", argv[1]);
        return 1;
    }
    if (document.sections().empty() || hasReplacementCharacters(document)) {
        std::fprintf(stderr, "%s: not a usable language file\n", argv[1]);
        return 1;
    }
    document.setEncoding(platform::TextEncoding::utf16le);
    if (!platform::writeFileAtomically(argv[2], document.serialize())) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
