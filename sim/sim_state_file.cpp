#include "sim/sim_state_file.h"

#include "platform/atomic_file.h"
#include "platform/little_endian.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

namespace velkan::sim {

using platform::loadLe16;
using platform::loadLe32;
using platform::rangeFits;
using platform::readLe32;
using platform::storeLe16;
using platform::storeLe32;

namespace {

constexpr std::uint8_t kMagic[8] = {'V', 'S', 'I', 'M', 'S', 'T', 'A', 'T'};
constexpr std::size_t kVersionOffset = 8;
constexpr std::size_t kModelOffset = 10;
constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kHashBytes = 4;
// Far above the largest state (about 35 KiB); anything bigger is not ours.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

std::uint32_t fnv1a(std::span<const std::uint8_t> bytes) {
    std::uint32_t hash = 2166136261u;
    for (const std::uint8_t byte : bytes) {
        hash = (hash ^ byte) * 16777619u;
    }
    return hash;
}

void appendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    storeLe32(out, out.size() - 4, value);
}

void appendRegion(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> region) {
    appendLe32(out, static_cast<std::uint32_t>(region.size()));
    out.insert(out.end(), region.begin(), region.end());
}

std::vector<std::uint8_t> encode(KeyboardModel model, const SimMemory& memory) {
    std::vector<std::uint8_t> out(kHeaderBytes, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), out.begin());
    storeLe16(out, kVersionOffset, kStateFileVersion);
    out[kModelOffset] = static_cast<std::uint8_t>(model);
    appendRegion(out, memory.deviceInfo);
    appendRegion(out, memory.params);
    appendRegion(out, memory.keyTables);
    appendRegion(out, memory.defaultKeyTable);
    appendRegion(out, memory.macros);
    appendRegion(out, memory.keyColours);
    appendLe32(out, fnv1a(out));
    return out;
}

// Reads the next counted region of `body` at `pos` into `out`.
bool takeRegion(std::span<const std::uint8_t> body, std::size_t& pos,
                std::vector<std::uint8_t>& out) {
    const auto count = readLe32(body, pos);
    if (!count || !rangeFits(body.size(), pos + 4, *count)) {
        return false;
    }
    const auto first = body.begin() + static_cast<std::ptrdiff_t>(pos + 4);
    out.assign(first, first + static_cast<std::ptrdiff_t>(*count));
    pos += 4 + *count;
    return true;
}

} // namespace

bool writeStateFile(const std::filesystem::path& path, KeyboardModel model,
                    const SimMemory& memory) {
    return platform::writeFileAtomically(path, encode(model, memory));
}

std::optional<SimMemory> readStateFile(const std::filesystem::path& path, KeyboardModel model) {
    const auto file = platform::readWholeFile(path, kMaxFileBytes);
    if (!file || file->size() < kHeaderBytes + kHashBytes) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> all(*file);
    const std::span<const std::uint8_t> body = all.first(all.size() - kHashBytes);
    if (loadLe32(all, body.size()) != fnv1a(body) ||
        !std::equal(std::begin(kMagic), std::end(kMagic), body.begin()) ||
        loadLe16(body, kVersionOffset) != kStateFileVersion ||
        body[kModelOffset] != static_cast<std::uint8_t>(model)) {
        return std::nullopt;
    }

    SimMemory memory;
    std::vector<std::uint8_t> deviceInfo;
    std::size_t pos = kHeaderBytes;
    if (!takeRegion(body, pos, deviceInfo) || deviceInfo.size() != kDeviceInfoBytes ||
        !takeRegion(body, pos, memory.params) || !takeRegion(body, pos, memory.keyTables) ||
        !takeRegion(body, pos, memory.defaultKeyTable) || !takeRegion(body, pos, memory.macros) ||
        !takeRegion(body, pos, memory.keyColours) || pos != body.size()) {
        return std::nullopt;
    }
    std::copy(deviceInfo.begin(), deviceInfo.end(), memory.deviceInfo.begin());
    if (!hasModelSizes(memory, modelInfo(model)) ||
        memory.deviceInfo[kActiveProfileOffset] >= kProfileCount) {
        return std::nullopt;
    }
    return memory;
}

} // namespace velkan::sim
