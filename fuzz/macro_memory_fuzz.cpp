// Feeds arbitrary bytes to the macro memory decoder as an image read back from the keyboard,
// then builds the decoded macros again, also into images too small for them. Once decoded, a
// list must come back unchanged from every further build and decode: anything else would
// mean the keyboard plays something other than what the program shows.
#include "model/macro.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using namespace velkan::model;

namespace {

class FixedTexts : public velkan::lang::TextLookup {
public:
    std::string lookup(velkan::lang::TextSection, std::string_view) const override { return "M"; }
};

bool sameRecords(const MacroList& a, const MacroList& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(MacroRecord)) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FixedTexts texts;
    const MacroList first = decodeMacroMemory(std::span(data, size), texts);
    const MacroMemorySizes sizes = macroMemorySizes(first);

    // The names do not fit: the builder must stop at the end of the image.
    const auto cramped = buildMacroMemory(first, sizes.sizeWithoutNames, true);
    if (cramped.size() != sizes.sizeWithoutNames) {
        __builtin_trap();
    }
    decodeMacroMemory(cramped, texts);

    const MacroList second =
        decodeMacroMemory(buildMacroMemory(first, sizes.fullSize, true), texts);
    const MacroMemorySizes secondSizes = macroMemorySizes(second);
    // Offsets are 16-bit: beyond that no image describes its macros, and no keyboard has one.
    if (secondSizes.fullSize > 0xFFFF) {
        return 0;
    }
    const MacroList third =
        decodeMacroMemory(buildMacroMemory(second, secondSizes.fullSize, true), texts);
    if (!sameRecords(second, third)) {
        __builtin_trap();
    }
    return 0;
}
