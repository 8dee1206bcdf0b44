#include "sim/sim_memory.h"

#include <algorithm>
#include <iterator>
#include <span>

namespace velkan::sim {

namespace {

constexpr SimModelInfo kModels[] = {
    {KeyboardModel::keys126, 0x0C45, 0x5004, 0x0105, 126, 378, 0x80},
    {KeyboardModel::keys128, 0x320F, 0x5000, 0x0210, 128, 512, 0xC0},
};

constexpr std::uint8_t kEntryKey = 0x02;
constexpr std::uint8_t kKeyUsage = 0x02;
constexpr std::uint8_t kModifierBits = 0x01;
constexpr std::uint8_t kEntryExtraKey = 0x06;
constexpr std::uint8_t kExtraKeyMarker = 0xA2;
constexpr std::uint8_t kTableFiller = 0xFF;

// Data bytes of the factory entry of each standard key, in the order of the key positions the
// host numbers its key buttons by (A first): a key's device code, or a modifier's mask bit.
constexpr std::array<std::uint8_t, 2> kStandardKeys[kStandardKeyCount] = {
    // A-Z
    {kKeyUsage, 0x04},
    {kKeyUsage, 0x05},
    {kKeyUsage, 0x06},
    {kKeyUsage, 0x07},
    {kKeyUsage, 0x08},
    {kKeyUsage, 0x09},
    {kKeyUsage, 0x0A},
    {kKeyUsage, 0x0B},
    {kKeyUsage, 0x0C},
    {kKeyUsage, 0x0D},
    {kKeyUsage, 0x0E},
    {kKeyUsage, 0x0F},
    {kKeyUsage, 0x10},
    {kKeyUsage, 0x11},
    {kKeyUsage, 0x12},
    {kKeyUsage, 0x13},
    {kKeyUsage, 0x14},
    {kKeyUsage, 0x15},
    {kKeyUsage, 0x16},
    {kKeyUsage, 0x17},
    {kKeyUsage, 0x18},
    {kKeyUsage, 0x19},
    {kKeyUsage, 0x1A},
    {kKeyUsage, 0x1B},
    {kKeyUsage, 0x1C},
    {kKeyUsage, 0x1D},
    // 1-9, 0
    {kKeyUsage, 0x1E},
    {kKeyUsage, 0x1F},
    {kKeyUsage, 0x20},
    {kKeyUsage, 0x21},
    {kKeyUsage, 0x22},
    {kKeyUsage, 0x23},
    {kKeyUsage, 0x24},
    {kKeyUsage, 0x25},
    {kKeyUsage, 0x26},
    {kKeyUsage, 0x27},
    // Enter, Esc, Backspace, Tab, Space, - = [ ] \ ; ' ` , . /
    {kKeyUsage, 0x28},
    {kKeyUsage, 0x29},
    {kKeyUsage, 0x2A},
    {kKeyUsage, 0x2B},
    {kKeyUsage, 0x2C},
    {kKeyUsage, 0x2D},
    {kKeyUsage, 0x2E},
    {kKeyUsage, 0x2F},
    {kKeyUsage, 0x30},
    {kKeyUsage, 0x31},
    {kKeyUsage, 0x33},
    {kKeyUsage, 0x34},
    {kKeyUsage, 0x35},
    {kKeyUsage, 0x36},
    {kKeyUsage, 0x37},
    {kKeyUsage, 0x38},
    // F1-F12
    {kKeyUsage, 0x3A},
    {kKeyUsage, 0x3B},
    {kKeyUsage, 0x3C},
    {kKeyUsage, 0x3D},
    {kKeyUsage, 0x3E},
    {kKeyUsage, 0x3F},
    {kKeyUsage, 0x40},
    {kKeyUsage, 0x41},
    {kKeyUsage, 0x42},
    {kKeyUsage, 0x43},
    {kKeyUsage, 0x44},
    {kKeyUsage, 0x45},
    // Print Screen, Pause, Insert, Delete, Home, End, Page Up, Page Down, arrows up down left
    // right
    {kKeyUsage, 0x46},
    {kKeyUsage, 0x48},
    {kKeyUsage, 0x49},
    {kKeyUsage, 0x4C},
    {kKeyUsage, 0x4A},
    {kKeyUsage, 0x4D},
    {kKeyUsage, 0x4B},
    {kKeyUsage, 0x4E},
    {kKeyUsage, 0x52},
    {kKeyUsage, 0x51},
    {kKeyUsage, 0x50},
    {kKeyUsage, 0x4F},
    // Scroll Lock, Caps Lock, App
    {kKeyUsage, 0x47},
    {kKeyUsage, 0x39},
    {kKeyUsage, 0x65},
    // Ctrl, right Ctrl, Shift, right Shift, Alt, right Alt, Win, right Win
    {kModifierBits, 0x01},
    {kModifierBits, 0x10},
    {kModifierBits, 0x02},
    {kModifierBits, 0x20},
    {kModifierBits, 0x04},
    {kModifierBits, 0x40},
    {kModifierBits, 0x08},
    {kModifierBits, 0x80},
    // keypad 1-9, 0, Num Lock, Enter, point, /, *, -, +
    {kKeyUsage, 0x59},
    {kKeyUsage, 0x5A},
    {kKeyUsage, 0x5B},
    {kKeyUsage, 0x5C},
    {kKeyUsage, 0x5D},
    {kKeyUsage, 0x5E},
    {kKeyUsage, 0x5F},
    {kKeyUsage, 0x60},
    {kKeyUsage, 0x61},
    {kKeyUsage, 0x62},
    {kKeyUsage, 0x53},
    {kKeyUsage, 0x58},
    {kKeyUsage, 0x63},
    {kKeyUsage, 0x54},
    {kKeyUsage, 0x55},
    {kKeyUsage, 0x56},
    {kKeyUsage, 0x57},
    // K45, K56
    {kKeyUsage, 0x64},
    {kKeyUsage, 0x87},
};

// Cells of the key matrix with no key behind them; every other cell holds the next standard
// key, then the extra keys. 106 + 18 keys leave 2 cells free on the 126-key matrix, 4 on the
// 128-key one.
constexpr std::size_t kEmptyCells126[] = {20, 100};
constexpr std::size_t kEmptyCells128[] = {20, 60, 100, 127};
static_assert(kModels[0].keyCount - std::size(kEmptyCells126) ==
              kStandardKeyCount + kExtraKeyCount);
static_assert(kModels[1].keyCount - std::size(kEmptyCells128) ==
              kStandardKeyCount + kExtraKeyCount);

std::vector<std::uint8_t> factoryKeyTable(const SimModelInfo& info) {
    std::vector<std::uint8_t> table(info.tableBytes, kTableFiller);
    const std::span<const std::size_t> empty = info.model == KeyboardModel::keys126
                                                   ? std::span<const std::size_t>(kEmptyCells126)
                                                   : std::span<const std::size_t>(kEmptyCells128);
    std::size_t next = 0; // standard keys first, then the extra keys
    for (std::size_t cell = 0; cell < info.keyCount; ++cell) {
        std::uint8_t* entry = table.data() + cell * 3;
        if (std::find(empty.begin(), empty.end(), cell) != empty.end()) {
            entry[0] = entry[1] = entry[2] = 0;
        } else if (next < kStandardKeyCount) {
            entry[0] = kEntryKey;
            entry[1] = kStandardKeys[next][0];
            entry[2] = kStandardKeys[next][1];
            ++next;
        } else {
            entry[0] = kEntryExtraKey;
            entry[1] = kExtraKeyMarker;
            entry[2] = static_cast<std::uint8_t>(next - kStandardKeyCount + 1);
            ++next;
        }
    }
    return table;
}

// Firmware identification the host keeps but never reads.
constexpr std::uint8_t kFirmwareInfo[kActiveProfileOffset] = {'V',  'S',  'I',  'M',  0x01,
                                                              0x04, 0x00, 0x00, 0x00, 0x00};
constexpr std::size_t kMaxModes = kDeviceInfoBytes - kModeListOffset - 1;

// Each profile's page differs in its colour so that a page mix-up shows.
constexpr std::uint8_t kFactoryPages[kProfileCount][8] = {
    {1, 25, 3, 0xFF, 1, 0xFF, 0x00, 0x00},
    {1, 25, 3, 0xFF, 1, 0x00, 0xFF, 0x00},
    {1, 25, 3, 0xFF, 1, 0x00, 0x00, 0xFF},
};

constexpr std::uint8_t kMacroMagic[2] = {0xAA, 0x55};

} // namespace

const SimModelInfo& modelInfo(KeyboardModel model) {
    return model == KeyboardModel::keys128 ? kModels[1] : kModels[0];
}

SimMemory makeFactoryMemory(const SimModelInfo& info, const SimKeyboardOptions& options) {
    SimMemory memory;
    std::copy(std::begin(kFirmwareInfo), std::end(kFirmwareInfo), memory.deviceInfo.begin());
    memory.deviceInfo[kActiveProfileOffset] = 0;
    const std::uint8_t units = options.macroUnits.value_or(info.macroUnits);
    memory.deviceInfo[kMacroUnitsOffset] = units;
    const std::size_t modes = std::min(options.lightingModes.size(), kMaxModes);
    std::copy_n(options.lightingModes.begin(), modes, memory.deviceInfo.begin() + kModeListOffset);

    memory.params.assign(kParamAreaBytes, 0);
    for (std::size_t page = 0; page < kProfileCount; ++page) {
        std::copy(std::begin(kFactoryPages[page]), std::end(kFactoryPages[page]),
                  memory.params.begin() + static_cast<std::ptrdiff_t>(page * kLightingPageBytes));
    }

    memory.defaultKeyTable = factoryKeyTable(info);
    memory.keyTables.clear();
    for (std::size_t bank = 0; bank < kProfileCount; ++bank) {
        memory.keyTables.insert(memory.keyTables.end(), memory.defaultKeyTable.begin(),
                                memory.defaultKeyTable.end());
    }

    memory.macros.assign(std::size_t{units} * kMacroUnitBytes, 0);
    if (options.validMacroHeader && memory.macros.size() >= kMacroHeaderBytes) {
        // An empty image: magic, total length 16, no macros.
        memory.macros[0] = kMacroMagic[0];
        memory.macros[1] = kMacroMagic[1];
        memory.macros[2] = static_cast<std::uint8_t>(kMacroHeaderBytes);
    }

    memory.keyColours.assign(kKeyColourAreaBytes, 0);
    return memory;
}

bool hasModelSizes(const SimMemory& memory, const SimModelInfo& info) {
    return memory.params.size() == kParamAreaBytes &&
           memory.keyTables.size() == kProfileCount * info.tableBytes &&
           memory.defaultKeyTable.size() == info.tableBytes &&
           memory.macros.size() ==
               std::size_t{memory.deviceInfo[kMacroUnitsOffset]} * kMacroUnitBytes &&
           memory.keyColours.size() == kKeyColourAreaBytes;
}

} // namespace velkan::sim
