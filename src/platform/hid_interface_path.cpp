#include "platform/hid_backend.h"

#include <cstdio>

namespace velkan::platform {

std::string makeHidInterfacePath(const std::string& node, std::uint16_t vendorId,
                                 std::uint16_t productId, std::size_t collectionIndex,
                                 std::size_t collectionCount) {
    char ids[48];
    std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x", vendorId, productId);
    std::string path = node + ids;
    if (collectionCount > 1) {
        char col[16];
        std::snprintf(col, sizeof col, "&col%02u", static_cast<unsigned>(collectionIndex + 1));
        path += col;
    }
    return path;
}

} // namespace velkan::platform
