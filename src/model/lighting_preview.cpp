#include "model/lighting_preview.h"

#include <algorithm>
#include <vector>

namespace velkan::model {

namespace {

constexpr std::size_t kColumns = kKeyGridColumns;
constexpr std::size_t kRows = kKeyGridRows;
constexpr std::size_t kLevels96Size = 96;
constexpr std::size_t kLevels128Size = 128;
constexpr std::size_t kCometLevelsSize = 129;
constexpr int kNoKey = 0;

// Column by column, keyboard row 0 at the top. Wide keys fill two places.
constexpr std::array<std::array<int, kRows>, kColumns> kKeyGrid = {{
    {0, 0, 0, 0, 0, 1083},
    {0, 1029, 1056, 1069, 1082, 1084},
    {1022, 1030, 1044, 1058, 1071, 1085},
    {1010, 1031, 1045, 1059, 1072, 0},
    {1011, 1032, 1046, 1060, 1073, 0},
    {1012, 1033, 1047, 1061, 1074, 0},
    {1013, 1034, 1048, 1062, 1075, 1090},
    {0, 1035, 1049, 1063, 1076, 0},
    {1014, 1036, 1050, 1064, 1077, 0},
    {1015, 1037, 1051, 1065, 1078, 1086},
    {1023, 1038, 1052, 1066, 1079, 1086},
    {1024, 1039, 1053, 1067, 1080, 1174},
    {1025, 1040, 1054, 1068, 0, 1088},
    {1026, 1041, 1055, 1070, 0, 0},
    {1027, 1043, 1042, 0, 1081, 1089},
    {1028, 1043, 1042, 0, 1081, 1089},
    {1091, 1094, 1097, 0, 0, 1100},
    {1092, 1095, 1098, 0, 1103, 1101},
    {1093, 1096, 1099, 0, 0, 1102},
    {0, 1104, 1108, 1112, 1115, 1120},
    {0, 1105, 1109, 1113, 1116, 1120},
    {0, 1106, 1110, 1114, 1117, 1119},
    {0, 1107, 0, 1111, 1118, 0},
}};

// Three loops, each starting at the right end of the top row that is left and turning
// anticlockwise; the numeric keypad closes the two outer ones.
constexpr std::array<int, kKeyRingLength> kKeyRing = {
    // outer loop
    1093, 1092, 1091, 1028, 1027, 1026, 1025, 1024, 1023, 1015, 1014, 1013, 1012, 1011, 1010, 1022,
    1029, 1056, 1069, 1082, 1083, 1084, 1085, 1090, 1086, 1174, 1088, 1089, 1100, 1101, 1102, 1120,
    1119, 1118, 1111, 1107, 1106, 1105, 1104,
    // middle loop
    1096, 1095, 1094, 1043, 1041, 1040, 1039, 1038, 1037, 1036, 1035, 1034, 1033, 1032, 1031, 1030,
    1044, 1058, 1071, 1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081, 1103, 1115, 1116,
    1117, 1114, 1110, 1109, 1108,
    // inner loop
    1099, 1098, 1097, 1042, 1055, 1054, 1053, 1052, 1051, 1050, 1049, 1048, 1047, 1046, 1045, 1059,
    1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1070, 1112, 1113};

// The keys the picture shows off the grid and the key of the grid whose light each shows:
// the G keys the first key of their row, the extra keys and right Win their neighbour.
constexpr std::array<std::pair<int, int>, 12> kOffGridNeighbours = {{
    {1000, 1022}, // G1: Esc
    {1001, 1022},
    {1002, 1029}, // G3: the number row
    {1003, 1056}, // G4: Tab
    {1004, 1069}, // G5: Caps Lock
    {1140, 1069},
    {1141, 1082}, // G7: left Shift
    {1142, 1082},
    {1143, 1083}, // G9: left Ctrl
    {1199, 1071}, // K45: Z
    {1200, 1080}, // K56: /
    {1087, 1086}, // right Win: right Alt
}};

constexpr bool inGrid(int id) {
    for (const auto& column : kKeyGrid) {
        if (std::find(column.begin(), column.end(), id) != column.end()) {
            return true;
        }
    }
    return false;
}

constexpr bool ringHoldsEveryGridKeyOnce() {
    for (std::size_t k = 0; k < kKeyRing.size(); ++k) {
        if (!inGrid(kKeyRing[k]) || std::find(kKeyRing.begin(), kKeyRing.begin() + k,
                                              kKeyRing[k]) != kKeyRing.begin() + k) {
            return false;
        }
    }
    for (const auto& column : kKeyGrid) {
        for (int id : column) {
            if (id != kNoKey && std::find(kKeyRing.begin(), kKeyRing.end(), id) == kKeyRing.end()) {
                return false;
            }
        }
    }
    return true;
}
// The ring effects reach every lit key exactly once.
static_assert(ringHoldsEveryGridKeyOnce());

constexpr std::size_t kRampLength = 32;
constexpr std::array<std::uint8_t, kRampLength> kRisingRamp = {
    1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<std::uint8_t, kRampLength> kFallingRamp = {
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

constexpr std::array<ColourRef, kColourWheelSize> makeColourWheel() {
    std::array<ColourRef, kColourWheelSize> wheel{};
    for (std::size_t i = 0; i < kRampLength; ++i) {
        const std::uint8_t up = kRisingRamp[i];
        const std::uint8_t down = kFallingRamp[i];
        wheel[i] = colourRef(255, up, 0);
        wheel[kRampLength + i] = colourRef(down, 255, 0);
        wheel[2 * kRampLength + i] = colourRef(0, 255, up);
        wheel[3 * kRampLength + i] = colourRef(0, down, 255);
        wheel[4 * kRampLength + i] = colourRef(up, 0, 255);
        wheel[5 * kRampLength + i] = colourRef(255, 0, down);
    }
    return wheel;
}
constexpr auto kWheel = makeColourWheel();
static_assert(kWheel[0] == colourRef(255, 1, 0) && kWheel[31] == colourRef(255, 255, 0) &&
              kWheel[63] == colourRef(0, 255, 0) && kWheel[127] == colourRef(0, 0, 255) &&
              kWheel[191] == colourRef(255, 0, 0));

constexpr std::array<std::uint8_t, kLevels96Size / 2> kLevels96Rise = {
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

template <std::size_t Half>
constexpr std::array<std::uint8_t, 2 * Half>
riseAndFall(const std::array<std::uint8_t, Half>& rise) {
    std::array<std::uint8_t, 2 * Half> levels{};
    for (std::size_t i = 0; i < Half; ++i) {
        levels[i] = rise[i];
        levels[2 * Half - 1 - i] = rise[i];
    }
    return levels;
}

// Slow at the dark end, where the eye tells small steps apart: 3 + 2i(i + 7)/35, rounded,
// which goes 3, 3, 4, 5, ... and meets 255 at i = 63.
constexpr std::array<std::uint8_t, kLevels128Size / 2> makeLevels128Rise() {
    std::array<std::uint8_t, kLevels128Size / 2> rise{};
    for (std::size_t i = 0; i < rise.size(); ++i) {
        rise[i] = static_cast<std::uint8_t>(3 + (4 * i * (i + 7) + 35) / 70);
    }
    return rise;
}

constexpr auto kLevels96 = riseAndFall(kLevels96Rise);
constexpr auto kLevels128 = riseAndFall(makeLevels128Rise());
static_assert(kLevels128[0] == 3 && kLevels128[1] == 3 && kLevels128[2] == 4 &&
              kLevels128[3] == 5 && kLevels128[63] == 255 && kLevels128[127] == 3);

constexpr std::array<std::uint8_t, 17> kCometRise = {0,  4,   8,   14,  22,  33,  45,  61, 77,
                                                     94, 114, 134, 158, 182, 206, 234, 255};
constexpr std::array<std::uint8_t, 16> kCometTail = {20, 18, 16, 14, 12, 10, 9, 8,
                                                     7,  6,  5,  4,  3,  2,  2, 1};

// The rise, the fall of the 96-step table below its peak, the tail, then dark to the end.
constexpr std::array<std::uint8_t, kCometLevelsSize> makeCometLevels() {
    std::array<std::uint8_t, kCometLevelsSize> comet{};
    std::size_t next = 0;
    for (std::uint8_t level : kCometRise) {
        comet[next++] = level;
    }
    for (std::size_t i = kLevels96Size / 2 + 1; i < kLevels96Size; ++i) {
        comet[next++] = kLevels96[i];
    }
    for (std::uint8_t level : kCometTail) {
        comet[next++] = level;
    }
    return comet;
}
constexpr auto kComet = makeCometLevels();
static_assert(kComet[16] == 255 && kComet[17] == 248 && kComet[63] == 22 && kComet[64] == 20 &&
              kComet[79] == 1 && kComet[80] == 0);

// Per channel, truncating.
ColourRef scaled(ColourRef colour, std::uint8_t level) {
    ColourRef result = 0;
    for (unsigned shift = 0; shift <= 16; shift += 8) {
        result |= ((colour >> shift & 0xFFu) * level / 255u) << shift;
    }
    return result;
}

std::size_t advancePhase(std::size_t phase, std::size_t step, std::size_t period, bool forward) {
    if (forward) {
        phase += step;
        return phase >= period ? phase - period : phase;
    }
    return phase < step ? phase + period - step : phase - step;
}

bool forwardDirection(const LightingPanelState& panel) {
    return panel.direction != 0;
}

std::uint32_t mixBits(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// Counter-based, so a tick scatters the same way whenever it is replayed from a restart.
class TickRandom {
public:
    explicit TickRandom(std::uint32_t tick) : state_(mixBits(tick)) {}
    std::size_t below(std::size_t bound) {
        state_ += 0x9E3779B9u;
        return mixBits(state_) % bound;
    }

private:
    std::uint32_t state_;
};

struct ButtonPlace {
    bool onGrid = false;
    std::size_t column = 0;
    std::size_t row = 0;
    std::size_t ringItem = 0;
    std::uint32_t scatter = 0; // fixed per key, for effects that look random but hold still
};

struct PreviewLayout {
    std::array<KeyButton, kPreviewButtonCount> keys{};
    std::array<ButtonPlace, kPreviewButtonCount> places{};
    std::array<std::size_t, kKeyRingLength> ringButtons{};
    // Buttons of kOffGridNeighbours: the key off the grid, the key whose light it shows.
    std::vector<std::pair<std::size_t, std::size_t>> offGridNeighbours;
};

PreviewLayout buildLayout() {
    PreviewLayout layout;
    auto next = std::copy(GKeyButtons().begin(), GKeyButtons().end(), layout.keys.begin());
    for (const KeyPosition& position : KeyPositionList()) {
        *next++ = position.button;
    }
    *next = kFnKey;

    // The layout tables name keys by their numbers.
    const auto buttonOf = [&layout](int number) {
        return static_cast<std::size_t>(
            std::find(layout.keys.begin(), layout.keys.end(), KeyButton{number}) -
            layout.keys.begin());
    };
    for (std::size_t button = 0; button < kPreviewButtonCount; ++button) {
        layout.places[button].scatter =
            mixBits(static_cast<std::uint32_t>(layout.keys[button].number));
    }
    // Later places overwrite earlier ones, so a wide key follows its right-hand half.
    for (std::size_t column = 0; column < kColumns; ++column) {
        for (std::size_t row = 0; row < kRows; ++row) {
            const std::size_t button = buttonOf(kKeyGrid[column][row]);
            if (button < kPreviewButtonCount) {
                ButtonPlace& place = layout.places[button];
                place.onGrid = true;
                place.column = column;
                place.row = row;
            }
        }
    }
    for (const auto& [offGrid, neighbour] : kOffGridNeighbours) {
        const std::size_t button = buttonOf(offGrid);
        const std::size_t shown = buttonOf(neighbour);
        if (button < kPreviewButtonCount && shown < kPreviewButtonCount) {
            layout.offGridNeighbours.emplace_back(button, shown);
        }
    }
    for (std::size_t item = 0; item < kKeyRingLength; ++item) {
        const std::size_t button = buttonOf(kKeyRing[item]);
        if (button < kPreviewButtonCount) {
            layout.places[button].ringItem = item;
            layout.ringButtons[item] = button;
        }
    }
    return layout;
}

const PreviewLayout& previewLayout() {
    static const PreviewLayout built = buildLayout();
    return built;
}

// Keys of the grid get `colourOf(place, button)`; the keys off it stay as they are.
template <typename ColourOf> void paintGrid(PreviewFrame& frame, ColourOf colourOf) {
    const auto& places = previewLayout().places;
    for (std::size_t button = 0; button < kPreviewButtonCount; ++button) {
        const ButtonPlace& place = places[button];
        frame[button] =
            place.onGrid ? PreviewKey{PreviewLook::colour, colourOf(place, button)} : PreviewKey{};
    }
}

// A key of the ring picked at random.
std::size_t randomKey(TickRandom& random) {
    return previewLayout().ringButtons[random.below(kKeyRingLength)];
}

constexpr std::uint8_t kOrbitTailLength = 16;
constexpr std::size_t kMeteorLength = 8;
constexpr std::size_t kMeteorPeriod = 32; // the columns plus a pause before the next one
constexpr int kSparklesPerTick = 5;
constexpr int kTwinklesPerTick = 3;
constexpr std::uint8_t kTwinkleTicks = 12;
constexpr std::array<std::uint8_t, 3> kRaindropTrail = {255, 96, 32};
// A drop is gone once its trail has left the bottom row.
constexpr auto kRaindropGone = static_cast<std::uint8_t>(kRows + kRaindropTrail.size());

} // namespace

const std::array<KeyButton, kPreviewButtonCount>& previewButtons() {
    return previewLayout().keys;
}

std::optional<KeyButton> keyGridButton(GridCell cell) {
    if (cell.column < 0 || cell.column >= kKeyGridColumns || cell.row < 0 ||
        cell.row >= kKeyGridRows) {
        return std::nullopt;
    }
    const int id =
        kKeyGrid[static_cast<std::size_t>(cell.column)][static_cast<std::size_t>(cell.row)];
    return id == kNoKey ? std::nullopt : std::optional<KeyButton>(KeyButton{id});
}

std::optional<GridCell> gridCellOfButton(std::size_t button) {
    if (button >= kPreviewButtonCount || !previewLayout().places[button].onGrid) {
        return std::nullopt;
    }
    const ButtonPlace& place = previewLayout().places[button];
    return GridCell{static_cast<int>(place.column), static_cast<int>(place.row)};
}

const std::array<ColourRef, kColourWheelSize>& colourWheel() {
    return kWheel;
}

bool LightingPreview::tick(const LightingPanelState& panel, bool perKeyView, PreviewFrame& frame) {
    if (!perKeyView) {
        frame.fill(PreviewKey{});
        return false;
    }
    if (restartPending_) {
        state_ = EffectState{};
        restartPending_ = false;
    }
    const bool painted = paintMode(panel, frame);
    if (painted) {
        lightKeysOffTheGrid(frame);
    }
    ++state_.ticks;
    return painted;
}

void LightingPreview::lightKeysOffTheGrid(PreviewFrame& frame) {
    for (const auto& [button, shown] : previewLayout().offGridNeighbours) {
        frame[button] = frame[shown];
    }
}

bool LightingPreview::paintMode(const LightingPanelState& panel, PreviewFrame& frame) {
    switch (panel.mode) {
    case 1:
        columnWave(panel, frame);
        return true;
    case 2:
        cometWave(panel, frame);
        return true;
    case 3:
        spiral(panel, frame);
        return true;
    case 4:
        spectrumCycle(panel, frame);
        return true;
    case 5:
        breathing(panel, frame);
        return true;
    case 6:
        sparkle(panel, frame);
        return true;
    case 10:
        raindrops(panel, frame);
        return true;
    case 11:
        starlight(panel, frame);
        return true;
    case 12:
        checkerboard(panel, frame);
        return true;
    case 13:
        marquee(panel, frame);
        return true;
    case 14:
        orbit(panel, frame);
        return true;
    case 15:
        meteor(panel, frame);
        return true;
    case 16:
        twinkle(panel, frame);
        return true;
    case 18:
        steady(panel, frame);
        return true;
    case kPerKeyColourMode:
        // The user's own key colours are the picture.
        frame.fill(PreviewKey{});
        return false;
    default:
        // Modes without a picture of their own, 7, 8, 9 and 17 among them.
        frame.fill(PreviewKey{PreviewLook::darkUnmarked, 0});
        return true;
    }
}

std::size_t& LightingPreview::settledPhase(std::uint8_t mode, std::size_t period) {
    // The other colour setting of the same mode may have left it beyond this period.
    std::size_t& phase = state_.phases[mode];
    phase %= period;
    return phase;
}

void LightingPreview::columnWave(const LightingPanelState& panel, PreviewFrame& frame) {
    const bool cycling = panel.colourCycling;
    const std::size_t period = cycling ? kColourWheelSize : kLevels96Size;
    const std::size_t step = cycling ? 9 : 7;
    std::size_t& phase = settledPhase(1, period);
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        const std::size_t at = (phase + step * place.column) % period;
        return cycling ? kWheel[at] : scaled(panel.colour, kLevels96[at]);
    });
    phase = advancePhase(phase, step, period, forwardDirection(panel));
}

void LightingPreview::cometWave(const LightingPanelState& panel, PreviewFrame& frame) {
    constexpr std::size_t kStep = 4;
    if (panel.colourCycling) {
        std::size_t& phase = settledPhase(2, kColourWheelSize);
        paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
            return kWheel[(phase + 5 * place.column) % kColourWheelSize];
        });
        phase = advancePhase(phase, kStep, kColourWheelSize, forwardDirection(panel));
        return;
    }
    constexpr std::size_t kPeriod = 128;
    constexpr int kLast = static_cast<int>(kCometLevelsSize) - 1;
    std::size_t& phase = settledPhase(2, kPeriod);
    const int move = panel.direction == 255 ? 5 : -5;
    std::array<std::uint8_t, kColumns> columnLevels{};
    int at = static_cast<int>(phase);
    for (std::uint8_t& level : columnLevels) {
        at += move;
        if (at > kLast) {
            at -= 123;
        } else if (at < 0) {
            at += 123;
        }
        level = kComet[static_cast<std::size_t>(at)];
    }
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        return scaled(panel.colour, columnLevels[place.column]);
    });
    phase = advancePhase(phase, kStep, kPeriod, true);
}

void LightingPreview::spiral(const LightingPanelState& panel, PreviewFrame& frame) {
    constexpr std::size_t kStep = 4;
    const bool cycling = panel.colourCycling;
    const std::size_t period = cycling ? kColourWheelSize : kLevels96Size;
    std::size_t& phase = settledPhase(3, period);
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        const std::size_t at = (phase + 5 * place.ringItem) % period;
        return cycling ? kWheel[at] : scaled(panel.colour, kLevels96[at]);
    });
    phase = advancePhase(phase, kStep, period, forwardDirection(panel));
}

void LightingPreview::spectrumCycle(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(4, kColourWheelSize);
    paintGrid(frame, [&](const ButtonPlace&, std::size_t) { return kWheel[phase]; });
    phase = advancePhase(phase, 2, kColourWheelSize, forwardDirection(panel));
}

void LightingPreview::breathing(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(5, kLevels128Size);
    const std::uint8_t level = kLevels128[phase];
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        return scaled(panel.colourCycling ? kWheel[7 * place.column] : panel.colour, level);
    });
    phase = advancePhase(phase, 2, kLevels128Size, true);
}

void LightingPreview::sparkle(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(6, kColourWheelSize);
    for (std::uint8_t& level : state_.levels) {
        level = static_cast<std::uint8_t>(level * 5 / 8);
    }
    TickRandom random(state_.ticks);
    for (int n = 0; n < kSparklesPerTick; ++n) {
        const std::size_t button = randomKey(random);
        state_.levels[button] = 255;
        state_.colours[button] =
            panel.colourCycling ? kWheel[(phase + random.below(kRampLength)) % kColourWheelSize]
                                : panel.colour;
    }
    paintGrid(frame, [&](const ButtonPlace&, std::size_t button) {
        return scaled(state_.colours[button], state_.levels[button]);
    });
    phase = advancePhase(phase, 1, kColourWheelSize, true);
}

void LightingPreview::raindrops(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(10, kColourWheelSize);
    for (std::uint8_t& drop : state_.drops) {
        if (drop != 0) {
            drop = drop + 1 == kRaindropGone ? 0 : static_cast<std::uint8_t>(drop + 1);
        }
    }
    TickRandom random(state_.ticks);
    std::uint8_t& fresh = state_.drops[random.below(kColumns)];
    if (fresh == 0) {
        fresh = 1;
    }
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        const std::uint8_t drop = state_.drops[place.column];
        if (drop == 0) {
            return ColourRef{0};
        }
        const std::size_t head = drop - 1u;
        if (place.row > head || head - place.row >= kRaindropTrail.size()) {
            return ColourRef{0};
        }
        const ColourRef colour = panel.colourCycling
                                     ? kWheel[(phase + 8 * place.column) % kColourWheelSize]
                                     : panel.colour;
        return scaled(colour, kRaindropTrail[head - place.row]);
    });
    phase = advancePhase(phase, 1, kColourWheelSize, true);
}

void LightingPreview::starlight(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(11, kLevels128Size);
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        // Squaring keeps most keys dim, so only a few shine at any moment.
        const unsigned glow = kLevels128[(phase + (place.scatter & 0x7Fu)) % kLevels128Size];
        const ColourRef colour =
            panel.colourCycling ? kWheel[(place.scatter >> 8) % kColourWheelSize] : panel.colour;
        return scaled(colour, static_cast<std::uint8_t>(glow * glow / 255));
    });
    phase = advancePhase(phase, 2, kLevels128Size, true);
}

void LightingPreview::checkerboard(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(12, kLevels96Size);
    const std::uint8_t evenLevel = kLevels96[phase];
    const std::uint8_t oddLevel = kLevels96[(phase + kLevels96Size / 2) % kLevels96Size];
    ColourRef even = panel.colour;
    ColourRef odd = panel.secondColourOn ? panel.secondColour : panel.colour;
    if (panel.colourCycling) {
        even = kWheel[2 * phase];
        odd = kWheel[(2 * phase + kColourWheelSize / 2) % kColourWheelSize];
    }
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        return (place.column + place.row) % 2 == 0 ? scaled(even, evenLevel)
                                                   : scaled(odd, oddLevel);
    });
    phase = advancePhase(phase, 3, kLevels96Size, true);
}

void LightingPreview::marquee(const LightingPanelState& panel, PreviewFrame& frame) {
    constexpr std::size_t kBlock = 3; // lit keys, then as many dark ones
    std::size_t& phase = settledPhase(13, kColourWheelSize);
    const std::size_t shift = phase % (2 * kBlock);
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        if ((place.ringItem + 2 * kBlock - shift) % (2 * kBlock) >= kBlock) {
            return ColourRef{0};
        }
        return panel.colourCycling ? kWheel[(phase + 2 * place.ringItem) % kColourWheelSize]
                                   : panel.colour;
    });
    phase = advancePhase(phase, 1, kColourWheelSize, forwardDirection(panel));
}

void LightingPreview::orbit(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(14, kKeyRingLength);
    const bool forward = forwardDirection(panel);
    // Two heads on opposite sides of the ring, each trailing a fading tail.
    const auto tail = [&](std::size_t head, std::size_t item) -> std::uint8_t {
        const std::size_t behind = forward ? (head + kKeyRingLength - item) % kKeyRingLength
                                           : (item + kKeyRingLength - head) % kKeyRingLength;
        return behind < kOrbitTailLength ? kComet[kCometRise.size() - 1 + 4 * behind]
                                         : std::uint8_t{0};
    };
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        const std::uint8_t level =
            std::max(tail(phase, place.ringItem),
                     tail((phase + kKeyRingLength / 2) % kKeyRingLength, place.ringItem));
        const ColourRef colour =
            panel.colourCycling ? kWheel[2 * place.ringItem % kColourWheelSize] : panel.colour;
        return scaled(colour, level);
    });
    phase = advancePhase(phase, 1, kKeyRingLength, forward);
}

void LightingPreview::meteor(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(15, kMeteorPeriod);
    const bool forward = forwardDirection(panel);
    paintGrid(frame, [&](const ButtonPlace& place, std::size_t) {
        // Each row has its own meteor, started at its own time.
        const std::size_t head = (phase + 11 * place.row) % kMeteorPeriod;
        const std::size_t column = forward ? place.column : kColumns - 1 - place.column;
        if (column > head || head - column >= kMeteorLength) {
            return ColourRef{0};
        }
        const ColourRef colour =
            panel.colourCycling ? kWheel[(4 * phase + kRampLength * place.row) % kColourWheelSize]
                                : panel.colour;
        return scaled(colour, kComet[kCometRise.size() - 1 + 8 * (head - column)]);
    });
    phase = advancePhase(phase, 1, kMeteorPeriod, true);
}

void LightingPreview::twinkle(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(16, kColourWheelSize);
    for (std::uint8_t& age : state_.ages) {
        if (age != 0) {
            age = age == kTwinkleTicks ? 0 : static_cast<std::uint8_t>(age + 1);
        }
    }
    TickRandom random(state_.ticks);
    for (int n = 0; n < kTwinklesPerTick; ++n) {
        const std::size_t button = randomKey(random);
        if (state_.ages[button] == 0) {
            state_.ages[button] = 1;
            state_.colours[button] = panel.colourCycling
                                         ? kWheel[(phase + random.below(48)) % kColourWheelSize]
                                         : panel.colour;
        }
    }
    paintGrid(frame, [&](const ButtonPlace&, std::size_t button) {
        const std::size_t age = state_.ages[button];
        if (age == 0) {
            return ColourRef{0};
        }
        // One soft rise and fall over the twinkle's life.
        return scaled(state_.colours[button], kLevels96[(age - 1) * kLevels96Size / kTwinkleTicks]);
    });
    phase = advancePhase(phase, 1, kColourWheelSize, true);
}

void LightingPreview::steady(const LightingPanelState& panel, PreviewFrame& frame) {
    std::size_t& phase = settledPhase(18, kColourWheelSize);
    const ColourRef colour = panel.colourCycling ? kWheel[phase] : panel.colour;
    paintGrid(frame, [&](const ButtonPlace&, std::size_t) { return colour; });
    phase = advancePhase(phase, 1, kColourWheelSize, true);
}

} // namespace velkan::model
