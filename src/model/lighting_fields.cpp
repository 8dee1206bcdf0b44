#include "model/lighting_fields.h"

#include "model/lighting.h"

#include <algorithm>
#include <array>

namespace velkan::model {

namespace {

constexpr std::uint8_t kLastPlainMode = 18;
// Effects that travel across the keys, so a direction means something to them.
constexpr std::array<std::uint8_t, 7> kTravellingModes = {1, 2, 3, 4, 13, 14, 15};

} // namespace

unsigned visibleFields(std::uint8_t mode) {
    namespace field = lighting_field;
    unsigned fields = field::kAlways;
    switch (layoutForMode(mode)) {
    case PanelLayout::first:
        fields |= field::kLayoutFirst;
        break;
    case PanelLayout::second:
        fields |= field::kLayoutSecond;
        break;
    case PanelLayout::third:
        fields |= field::kLayoutThird;
        break;
    }
    const bool known = (mode >= 1 && mode <= kLastPlainMode) || mode == kPerKeyColourMode;
    if (!known) {
        return fields & ~field::kLayoutFirst;
    }
    const bool still = mode == kLastPlainMode || mode == kPerKeyColourMode;
    if (still) {
        fields &= ~field::kLayoutFirst;
    } else {
        fields |= field::kSpeed;
    }
    if (std::find(kTravellingModes.begin(), kTravellingModes.end(), mode) !=
        kTravellingModes.end()) {
        fields |= field::kDirection;
    }
    switch (mode) {
    case 4: // the spectrum is its own colour
    case kPerKeyColourMode:
        break;
    case 7:
        fields |= field::kColour | field::kReactive;
        break;
    case 12:
        fields |= field::kColour | field::kSecondColour;
        break;
    case kLastPlainMode:
        fields |= field::kColour | field::kSteady;
        break;
    default:
        fields |= field::kColour | field::kCycling;
        break;
    }
    return fields;
}

} // namespace velkan::model
