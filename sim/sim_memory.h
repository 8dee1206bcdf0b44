// The two simulated keyboard models and the memories their firmware keeps: sizes, ids and the
// factory content every simulated keyboard starts from (and returns to on a factory reset).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velkan::sim {

enum class KeyboardModel : std::uint8_t { keys126 = 0, keys128 = 1 };

struct SimModelInfo {
    KeyboardModel model = KeyboardModel::keys126;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    std::size_t keyCount = 0;
    std::size_t tableBytes = 0;
    std::uint8_t macroUnits = 0; // factory macro capacity in 128-byte units
};

const SimModelInfo& modelInfo(KeyboardModel model);

inline constexpr std::size_t kProfileCount = 3;
inline constexpr std::size_t kDeviceInfoBytes = 44;
inline constexpr std::size_t kActiveProfileOffset = 10;
inline constexpr std::size_t kMacroUnitsOffset = 11;
inline constexpr std::size_t kModeListOffset = 12;
inline constexpr std::size_t kLightingPageBytes = 42;
// Larger than the three lighting pages: the host reads 56 bytes at the last page's address.
inline constexpr std::size_t kParamAreaBytes = 256;
inline constexpr std::size_t kKeyColourPageBytes = 512;
inline constexpr std::size_t kKeyColourAreaBytes = kProfileCount * kKeyColourPageBytes;
inline constexpr std::size_t kMacroUnitBytes = 128;
inline constexpr std::size_t kMacroHeaderBytes = 16;
inline constexpr std::size_t kExtraKeyCount = 18;
inline constexpr std::size_t kStandardKeyCount = 106;
inline constexpr std::uint8_t kPerKeyColourMode = 20;

struct SimKeyboardOptions {
    // The model's own capacity when empty.
    std::optional<std::uint8_t> macroUnits{};
    // false: the macro memory starts all zero, without the header magic.
    bool validMacroHeader = true;
    // Lighting modes the keyboard offers, in the order it lists them; at most 31 are kept so
    // that the list always ends with a 0.
    std::vector<std::uint8_t> lightingModes = {1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                               11, 12, 13, 14, 15, 16, 17, 18, 20};
};

// Everything the firmware keeps, region by region, as the commands address it.
struct SimMemory {
    std::array<std::uint8_t, kDeviceInfoBytes> deviceInfo{};
    std::vector<std::uint8_t> params;          // kParamAreaBytes
    std::vector<std::uint8_t> keyTables;       // kProfileCount banks of tableBytes
    std::vector<std::uint8_t> defaultKeyTable; // tableBytes
    std::vector<std::uint8_t> macros;          // deviceInfo[kMacroUnitsOffset] units
    std::vector<std::uint8_t> keyColours;      // kKeyColourAreaBytes
};

SimMemory makeFactoryMemory(const SimModelInfo& info, const SimKeyboardOptions& options);

// True when every region has the size the model and the block's own capacity byte call for.
bool hasModelSizes(const SimMemory& memory, const SimModelInfo& info);

} // namespace velkan::sim
