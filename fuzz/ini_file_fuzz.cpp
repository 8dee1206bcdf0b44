// Feeds arbitrary bytes to the INI parser as a file. Every section and key it finds (up to a
// bound) is looked up; the document is written back, in its own encoding and in the other one,
// and parsed again, and each lookup must give what it gave before. Then one found key and one
// new section are written and must read back as written.
#include "platform/ini_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

using namespace velkan::platform;

namespace {

// Enough to reach every kind of line; looking up thousands of keys would only slow the fuzzer.
constexpr std::size_t kQueriedNames = 8;

struct Lookup {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

std::vector<Lookup> lookUp(const IniDocument& document) {
    std::vector<Lookup> lookups;
    const auto add = [&](const std::string& section, const std::string& key) {
        lookups.push_back({section, key, document.value(section, key)});
    };
    const auto sections = document.sections();
    for (std::size_t s = 0; s < std::min(sections.size(), kQueriedNames); ++s) {
        const auto keys = document.keys(sections[s]);
        for (std::size_t k = 0; k < std::min(keys.size(), kQueriedNames); ++k) {
            add(sections[s], keys[k]);
        }
        add(sections[s], "MISSING_KEY");
    }
    add("TEXT", "MAIN_CAPTION");
    add("BUTTONINFO", "CONTROL_OK");
    return lookups;
}

void expectSameValues(const std::vector<Lookup>& lookups, const IniDocument& document) {
    for (const Lookup& lookup : lookups) {
        if (document.value(lookup.section, lookup.key) != lookup.value) {
            __builtin_trap();
        }
    }
}

void expectWritten(const IniDocument& document, const std::string& section, const std::string& key,
                   const std::string& value) {
    const auto again = IniDocument::parse(document.serialize());
    if (document.value(section, key) != value || again.value(section, key) != value) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const IniDocument document = IniDocument::parse(std::span(data, size));
    const std::vector<Lookup> lookups = lookUp(document);

    const IniDocument again = IniDocument::parse(document.serialize());
    expectSameValues(lookups, again);
    if (again.sections() != document.sections()) {
        __builtin_trap();
    }

    IniDocument converted = document;
    converted.setEncoding(document.encoding() == TextEncoding::utf8 ? TextEncoding::utf16le
                                                                    : TextEncoding::utf8);
    expectSameValues(lookups, IniDocument::parse(converted.serialize()));

    IniDocument edited = document;
    for (const Lookup& lookup : lookups) {
        if (lookup.value) {
            edited.setValue(lookup.section, lookup.key, "fuzz value");
            expectWritten(edited, lookup.section, lookup.key, "fuzz value");
            break;
        }
    }
    edited.setValue("Fuzz Section", "Key", "\"quoted\"");
    expectWritten(edited, "fuzz section", "KEY", "quoted");
    return 0;
}
