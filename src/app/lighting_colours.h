// The keyboard's colours (0x00BBGGRR) as Qt colours and back.
#pragma once

#include "model/lighting.h"

#include <QColor>

namespace velkan::app {

inline QColor toQColor(model::ColourRef colour) {
    const auto rgb = model::colourBytes(colour);
    return {rgb[0], rgb[1], rgb[2]};
}

inline model::ColourRef fromQColor(const QColor& colour) {
    return model::colourRef(static_cast<std::uint8_t>(colour.red()),
                            static_cast<std::uint8_t>(colour.green()),
                            static_cast<std::uint8_t>(colour.blue()));
}

} // namespace velkan::app
