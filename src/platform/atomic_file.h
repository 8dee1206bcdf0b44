// Whole-file reads and atomic writes: a write goes to a temporary file in the same folder,
// is flushed to disk and renamed over the target, so a crash or a full disk never leaves a
// half-written file and a failed write leaves the old file byte for byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace velkan::platform {

// nullopt when the file cannot be read, or is larger than `maxBytes`.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& file,
                                                       std::uintmax_t maxBytes = 64u << 20);

bool writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

// How a write forces a file or folder to disk (fsync by default). Tests put their own step in
// to see what stands on disk at that moment; returns the step it replaces.
using FileSyncStep = int (*)(int fd);
FileSyncStep replaceFileSyncStep(FileSyncStep step);

} // namespace velkan::platform
