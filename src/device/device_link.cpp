#include "device/device_link.h"

namespace velkan::device {

std::optional<KeyboardModel> keyboardModelFor(std::uint16_t vendorId, std::uint16_t productId) {
    for (const KeyboardModel& model : {kKeyboard126, kKeyboard128}) {
        if (model.vendorId == vendorId && model.productId == productId) {
            return model;
        }
    }
    return std::nullopt;
}

} // namespace velkan::device
