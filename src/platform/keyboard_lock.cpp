#include "platform/keyboard_lock.h"

#include <cstdint>
#include <cstdio>

namespace velkan::platform {
namespace {

// Enough of the path to tell the lock apart by eye; the hash keeps long paths distinct.
constexpr std::size_t kReadablePathBytes = 80;

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3;
    }
    return hash;
}

} // namespace

std::string keyboardLockName(std::string_view interfacePath) {
    std::string name = "velkan-keyboard-";
    for (const char c : interfacePath.substr(0, kReadablePathBytes)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    char hash[24];
    std::snprintf(hash, sizeof hash, "-%016llx",
                  static_cast<unsigned long long>(fnv1a(interfacePath)));
    return name + hash;
}

} // namespace velkan::platform
