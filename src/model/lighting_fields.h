// Which of the lighting panel's fields each lighting mode uses: the speed only for moving
// effects, a direction only for effects that travel, a colour only where a chosen colour
// applies. The model and the panel read it from here, so what the panel shows and what the
// keyboard is sent for a mode never disagree.
#pragma once

#include <cstdint>

namespace velkan::model {

namespace lighting_field {
inline constexpr unsigned kAlways = 1u << 0;
inline constexpr unsigned kSpeed = 1u << 1;
inline constexpr unsigned kColour = 1u << 2;        // the number boxes and presets
inline constexpr unsigned kDirection = 1u << 3;     // the two arrows
inline constexpr unsigned kLayoutFirst = 1u << 4;   // the two-way switch
inline constexpr unsigned kLayoutSecond = 1u << 5;  // the two further directions
inline constexpr unsigned kLayoutThird = 1u << 6;   // the third colour
inline constexpr unsigned kCycling = 1u << 7;       // colour button and colour cycling
inline constexpr unsigned kReactive = 1u << 8;      // colour button and the mode-7 toggle
inline constexpr unsigned kSteady = 1u << 9;        // the first page's colour button
inline constexpr unsigned kSecondColour = 1u << 10; // second colour and its switch
inline constexpr unsigned kUserTools = 1u << 11;    // the per-key view's tools
// The effect cards share places, so at most one of these groups is shown.
inline constexpr unsigned kColourGroups = kCycling | kReactive | kSteady | kSecondColour;
} // namespace lighting_field

// The fields `mode` uses, as lighting_field flags.
unsigned visibleFields(std::uint8_t mode);

} // namespace velkan::model
