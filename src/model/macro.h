// Macros as the program keeps them (fixed 32512-byte records the profile file stores byte for
// byte) and the macro memory image the keyboard plays them from.
#pragma once

#include "lang/text_lookup.h"
#include "model/key_codes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velkan::model {

inline constexpr std::size_t kMaxMacros = 100;
inline constexpr std::size_t kMaxMacroActions = 4000;
inline constexpr std::uint32_t kMaxActionDelayMs = 40000;
inline constexpr std::size_t kMacroNameUnits = 250; // UTF-16 units with the terminator
inline constexpr std::uint16_t kMacroMemoryMagic = 0x55AA;
inline constexpr std::size_t kMacroMemoryHeaderBytes = 16;

struct MacroAction {
    std::uint32_t delay = 0; // ms to wait after this action, 0-40000
    std::uint16_t key = 0;   // KeyCode pressed or released
    std::uint16_t released = 0;
};
static_assert(sizeof(MacroAction) == 8);

enum class MacroRepeatMode : std::uint16_t { once = 0, repeat = 1, untilKeyAgain = 2 };

struct MacroRecord {
    std::array<char16_t, kMacroNameUnits> name{}; // UTF-16, 0-terminated
    std::uint8_t cycles = 1;
    std::uint8_t reserved1 = 0;
    std::uint16_t isNew = 0;
    std::uint16_t repeatMode = 0;
    std::uint16_t id = 0; // 1-100, unique in the list
    std::uint16_t actionCount = 0;
    std::uint16_t reserved2 = 0;
    std::array<MacroAction, kMaxMacroActions> actions{};

    std::string nameUtf8() const;
    // Stores the name, cut to 249 UTF-16 units.
    void setName(std::string_view utf8);
};
static_assert(sizeof(MacroRecord) == 0x7F00);
static_assert(offsetof(MacroRecord, cycles) == 500);
static_assert(offsetof(MacroRecord, isNew) == 502);
static_assert(offsetof(MacroRecord, repeatMode) == 504);
static_assert(offsetof(MacroRecord, id) == 506);
static_assert(offsetof(MacroRecord, actionCount) == 508);
static_assert(offsetof(MacroRecord, actions) == 512);

using MacroList = std::vector<MacroRecord>;

struct MacroMemorySizes {
    std::size_t fullSize = 0;
    std::size_t sizeWithoutNames = 0;
};

MacroMemorySizes macroMemorySizes(const MacroList& list);
// The image of `size` bytes (one of the two sizes) with or without the names.
std::vector<std::uint8_t> buildMacroMemory(const MacroList& list, std::size_t size, bool withNames);
// Macros of an image read from the keyboard; every offset, count and name length is checked
// against the image, and an entry that points outside it ends the decoding with the macros
// read so far. Unnamed macros are named from "MACRO_NEW_PREFIX" and their slot number.
MacroList decodeMacroMemory(std::span<const std::uint8_t> image, const lang::TextLookup& texts);
// Slot of the first macro with the id, 0 when none has it.
std::size_t macroSlotOfId(const MacroList& list, std::uint16_t id);
// The smallest id from 1 to 100 that no macro has; 0 when all are taken.
std::uint16_t newMacroId(const MacroList& list);

} // namespace velkan::model
