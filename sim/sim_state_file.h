// The file a simulated keyboard keeps its memories in between runs of the program.
//
// Layout, little-endian: magic "VSIMSTAT", 16-bit version, model byte, reserved byte, then the
// regions device info, parameters, key tables, factory key table, macro memory and key colours,
// each as a 32-bit byte count followed by the bytes, and last a 32-bit FNV-1a hash of all that
// precedes it.
#pragma once

#include "sim/sim_memory.h"

#include <filesystem>
#include <optional>

namespace velkan::sim {

inline constexpr std::uint16_t kStateFileVersion = 1;

// Written to a temporary file in the same folder, flushed to disk, then renamed over `path`, so
// an interrupted save leaves the previous file whole.
bool writeStateFile(const std::filesystem::path& path, KeyboardModel model,
                    const SimMemory& memory);

// nullopt unless the file is whole, of this version and of `model`, with every region of the
// size the model calls for.
std::optional<SimMemory> readStateFile(const std::filesystem::path& path, KeyboardModel model);

} // namespace velkan::sim
