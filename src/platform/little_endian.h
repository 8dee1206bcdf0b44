// Little-endian readers and writers over byte spans, for wire frames, descriptors and files.
// The checked forms refuse to read or write past the span instead of trusting an offset that
// came from outside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velkan::platform {

// Unchecked: the caller has already proved that [offset, offset + 2/4) lies inside the span.
inline std::uint16_t loadLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline std::uint32_t loadLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

inline void storeLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void storeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

// True when `count` bytes starting at `offset` lie inside a span of `size` bytes, without the
// overflow that `offset + count <= size` can hit.
inline bool rangeFits(std::size_t size, std::size_t offset, std::size_t count) {
    return offset <= size && count <= size - offset;
}

// Checked forms: nullopt / false when the field does not lie inside the span.
inline std::optional<std::uint16_t> readLe16(std::span<const std::uint8_t> bytes,
                                             std::size_t offset) {
    if (!rangeFits(bytes.size(), offset, 2)) {
        return std::nullopt;
    }
    return loadLe16(bytes, offset);
}

inline std::optional<std::uint32_t> readLe32(std::span<const std::uint8_t> bytes,
                                             std::size_t offset) {
    if (!rangeFits(bytes.size(), offset, 4)) {
        return std::nullopt;
    }
    return loadLe32(bytes, offset);
}

inline bool writeLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    if (!rangeFits(bytes.size(), offset, 2)) {
        return false;
    }
    storeLe16(bytes, offset, value);
    return true;
}

inline bool writeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    if (!rangeFits(bytes.size(), offset, 4)) {
        return false;
    }
    storeLe32(bytes, offset, value);
    return true;
}

} // namespace velkan::platform
