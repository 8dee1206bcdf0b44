// Key tables read back from a keyboard are outside bytes: decode any table against any factory
// table, then check that encoding the result never touches a cell without a key.
#include "model/key_assignment.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using velkan::protocol::KeyTableImage;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool largeModel = (data[0] & 1) != 0;
    const int keyCount = largeModel ? 128 : 126;
    const int tableBytes = largeModel ? 512 : 378;
    ++data;
    --size;

    KeyTableImage table{};
    KeyTableImage factory{};
    const std::size_t tablePart = std::min(size, table.size());
    std::copy_n(data, tablePart, table.begin());
    std::copy_n(data + tablePart, std::min(size - tablePart, factory.size()), factory.begin());

    velkan::model::KeyImage image{};
    for (int bank = 0; bank < velkan::model::kProfileCount; ++bank) {
        velkan::model::decodeKeyTable(table, bank, image, factory, keyCount);
    }
    const KeyTableImage encoded =
        velkan::model::encodeKeyTable(1, image, {}, factory, keyCount, tableBytes);
    for (int position = 0; position < keyCount; ++position) {
        const auto offset = static_cast<std::size_t>(position) * 3;
        const velkan::model::DeviceKeyEntry cell{factory[offset], factory[offset + 1],
                                                 factory[offset + 2]};
        if (velkan::model::keyCodeFromEntry(cell) == 0 &&
            !std::equal(encoded.begin() + static_cast<std::ptrdiff_t>(offset),
                        encoded.begin() + static_cast<std::ptrdiff_t>(offset + 3),
                        factory.begin() + static_cast<std::ptrdiff_t>(offset))) {
            __builtin_trap();
        }
    }
    return 0;
}
