#include "sim/sim_state_file.h"

#include "platform/little_endian.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <unistd.h>
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

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable. Best effort: the new file is already in place either way.
void syncFolder(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(kMaxFileBytes + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto count = static_cast<std::size_t>(in.gcount());
    if (in.bad() || count > kMaxFileBytes) {
        return std::nullopt;
    }
    bytes.resize(count);
    return bytes;
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
    const std::vector<std::uint8_t> bytes = encode(model, memory);
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    return true;
}

std::optional<SimMemory> readStateFile(const std::filesystem::path& path, KeyboardModel model) {
    const auto file = readFileBytes(path);
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
