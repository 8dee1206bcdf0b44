#include "model/macro.h"

#include "platform/little_endian.h"

#include <algorithm>
#include <bitset>

namespace velkan::model {

namespace {

using platform::loadLe16;
using platform::rangeFits;
using platform::readLe16;
using platform::writeLe16;

constexpr std::size_t kMaxNameUnits = kMacroNameUnits - 1;
constexpr std::size_t kEntryHeaderBytes = 4;
constexpr std::size_t kActionBytes = 4;
constexpr std::size_t kOffsetBytes = 2;
constexpr std::size_t kLengthField = 2;
constexpr std::size_t kCountField = 4;
constexpr std::size_t kNamesFlagField = 6;
// The action word: delay in 10 ms steps, entry type, and press/release.
constexpr std::uint32_t kDelayStepMs = 10;
constexpr std::uint16_t kDelayMask = 0x0FFF;
constexpr unsigned kTypeShift = 12;
constexpr std::uint16_t kTypeMask = 0x7;
constexpr std::uint16_t kPressBit = 0x8000;

// A name read from a file may lack its terminator; it then ends with the array.
std::u16string_view storedName(const MacroRecord& record) {
    const auto end = std::find(record.name.begin(), record.name.end(), u'\0');
    return {record.name.data(), static_cast<std::size_t>(end - record.name.begin())};
}

std::size_t nameLength(const MacroRecord& record) {
    return utf16CutLength(storedName(record), kMaxNameUnits);
}

std::size_t actionCountOf(const MacroRecord& record) {
    return std::min<std::size_t>(record.actionCount, kMaxMacroActions);
}

std::size_t macroCountOf(const MacroList& list) {
    return std::min(list.size(), kMaxMacros);
}

// The data bytes the keyboard plays a key from. Keys without a usage the keyboard can send
// (extra keys, the program's own functions) become an empty action.
DeviceKeyEntry actionEntry(KeyCode key) {
    const UsageRef usage = usageFromKeyCode(key);
    switch (usage.page) {
    case kUsagePageKeyboard:
        if (const std::uint8_t mask = modifierMaskFromKeyCode(key)) {
            return {kEntryKeyboard, kKeyboardModifiers, mask};
        }
        return {kEntryKeyboard, kKeyboardKey, static_cast<std::uint8_t>(usage.usage)};
    case kUsagePageSystem:
        return {kEntrySystem, static_cast<std::uint8_t>(usage.usage & 0xFF),
                static_cast<std::uint8_t>(usage.usage >> 8)};
    case kUsagePageMouse:
        return mouseEntryFromKeyCode(key);
    default:
        return {};
    }
}

std::uint16_t actionWord(const MacroAction& action, std::uint8_t type) {
    // A longer wait than the field holds is kept as the longest it can hold, not wrapped.
    const auto steps = std::min<std::uint32_t>(action.delay / kDelayStepMs, kDelayMask);
    const auto typeBits = static_cast<std::uint32_t>(type & kTypeMask) << kTypeShift;
    const std::uint32_t press = action.released != 1 ? kPressBit : 0U;
    return static_cast<std::uint16_t>(steps | typeBits | press);
}

void decodeActions(std::span<const std::uint8_t> image, std::size_t at, MacroRecord& record) {
    for (std::size_t i = 0; i < record.actionCount; ++i, at += kActionBytes) {
        const std::uint16_t word = loadLe16(image, at);
        MacroAction& action = record.actions[i];
        action.delay = (word & kDelayMask) * kDelayStepMs;
        action.key = keyCodeFromEntry({static_cast<std::uint8_t>((word >> kTypeShift) & kTypeMask),
                                       image[at + 2], image[at + 3]});
        action.released = (word & kPressBit) != 0 ? 0 : 1;
    }
}

void decodeName(std::span<const std::uint8_t> image, std::size_t at, std::size_t units,
                MacroRecord& record) {
    std::u16string name(units, u'\0');
    for (std::size_t i = 0; i < units; ++i) {
        name[i] = static_cast<char16_t>(loadLe16(image, at + 2 * i));
    }
    name.resize(utf16CutLength(name, kMaxNameUnits));
    std::copy(name.begin(), name.end(), record.name.begin());
}

} // namespace

std::string MacroRecord::nameUtf8() const {
    return utf8FromUtf16(storedName(*this));
}

void MacroRecord::setName(std::string_view utf8) {
    const std::u16string units = utf16FromUtf8(utf8);
    const std::size_t kept = utf16CutLength(units, kMaxNameUnits);
    name.fill(u'\0');
    std::copy_n(units.begin(), kept, name.begin());
}

MacroMemorySizes macroMemorySizes(const MacroList& list) {
    const std::size_t count = macroCountOf(list);
    MacroMemorySizes sizes;
    sizes.sizeWithoutNames = kMacroMemoryHeaderBytes + kOffsetBytes * count;
    sizes.fullSize = sizes.sizeWithoutNames;
    for (std::size_t slot = 0; slot < count; ++slot) {
        const std::size_t entry = kEntryHeaderBytes + kActionBytes * actionCountOf(list[slot]);
        sizes.sizeWithoutNames += entry;
        sizes.fullSize += entry + 2 * nameLength(list[slot]);
    }
    return sizes;
}

// Every field is written only where it fits, so an image smaller than the list needs is
// filled as far as it goes. Offsets and the total length are 16-bit fields: the keyboard's
// memory (at most 255 units of 128 bytes) keeps a real image well below their limit.
std::vector<std::uint8_t> buildMacroMemory(const MacroList& list, std::size_t size,
                                           bool withNames) {
    std::vector<std::uint8_t> image(size, 0);
    const std::span<std::uint8_t> bytes(image);
    const std::size_t count = macroCountOf(list);
    writeLe16(bytes, 0, kMacroMemoryMagic);
    writeLe16(bytes, kLengthField, static_cast<std::uint16_t>(size));
    writeLe16(bytes, kCountField, static_cast<std::uint16_t>(count));
    writeLe16(bytes, kNamesFlagField, withNames ? 1 : 0);

    std::size_t pos = kMacroMemoryHeaderBytes + kOffsetBytes * count;
    for (std::size_t slot = 0; slot < count; ++slot) {
        const MacroRecord& record = list[slot];
        const std::size_t actions = actionCountOf(record);
        const std::size_t units = withNames ? nameLength(record) : 0;
        writeLe16(bytes, kMacroMemoryHeaderBytes + kOffsetBytes * slot,
                  static_cast<std::uint16_t>(pos));
        writeLe16(bytes, pos, static_cast<std::uint16_t>(actions));
        if (rangeFits(size, pos + 2, 2)) {
            image[pos + 2] = record.cycles;
            image[pos + 3] = static_cast<std::uint8_t>(units);
        }
        pos += kEntryHeaderBytes;
        for (std::size_t i = 0; i < actions; ++i, pos += kActionBytes) {
            const MacroAction& action = record.actions[i];
            const DeviceKeyEntry entry = actionEntry(action.key);
            writeLe16(bytes, pos, actionWord(action, entry.type));
            if (rangeFits(size, pos + 2, 2)) {
                image[pos + 2] = entry.b1;
                image[pos + 3] = entry.b2;
            }
        }
        for (std::size_t i = 0; i < units; ++i, pos += 2) {
            writeLe16(bytes, pos, record.name[i]);
        }
    }
    return image;
}

MacroList decodeMacroMemory(std::span<const std::uint8_t> image, const lang::TextLookup& texts) {
    const auto magic = readLe16(image, 0);
    const auto declared = readLe16(image, kCountField);
    if (!magic || *magic != kMacroMemoryMagic || !declared) {
        return {};
    }
    const std::size_t count = std::min<std::size_t>(*declared, kMaxMacros);
    MacroList list;
    // Records are large: room for no more than the offset table can hold, and no copies.
    const std::size_t offsetRoom = image.size() > kMacroMemoryHeaderBytes
                                       ? (image.size() - kMacroMemoryHeaderBytes) / kOffsetBytes
                                       : 0;
    list.reserve(std::min(count, offsetRoom));
    for (std::size_t slot = 0; slot < count; ++slot) {
        const auto offset = readLe16(image, kMacroMemoryHeaderBytes + kOffsetBytes * slot);
        if (!offset || !rangeFits(image.size(), *offset, kEntryHeaderBytes)) {
            break;
        }
        const std::size_t actions = loadLe16(image, *offset);
        const std::size_t units = image[*offset + 3];
        const std::size_t body = *offset + kEntryHeaderBytes;
        if (!rangeFits(image.size(), body, kActionBytes * actions + 2 * units)) {
            break;
        }
        MacroRecord& record = list.emplace_back();
        record.cycles = image[*offset + 2];
        record.id = static_cast<std::uint16_t>(slot + 1);
        record.actionCount = static_cast<std::uint16_t>(std::min(actions, kMaxMacroActions));
        decodeActions(image, body, record);
        if (units > 0) {
            decodeName(image, body + kActionBytes * actions, units, record);
        } else {
            record.setName(texts.text("MACRO_NEW_PREFIX") + std::to_string(slot + 1));
        }
    }
    return list;
}

std::size_t macroSlotOfId(const MacroList& list, std::uint16_t id) {
    const auto found = std::find_if(list.begin(), list.end(),
                                    [id](const MacroRecord& record) { return record.id == id; });
    return found == list.end() ? 0 : static_cast<std::size_t>(found - list.begin());
}

std::uint16_t newMacroId(const MacroList& list) {
    std::bitset<kMaxMacros + 1> taken;
    for (const MacroRecord& record : list) {
        if (record.id <= kMaxMacros) {
            taken.set(record.id);
        }
    }
    for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
        if (!taken.test(id)) {
            return id;
        }
    }
    return 0;
}

} // namespace velkan::model
