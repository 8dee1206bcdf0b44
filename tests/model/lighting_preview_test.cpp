#include "model/lighting_preview.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace velkan::model {
namespace {

constexpr ColourRef kWhite = colourRef(255, 255, 255);
constexpr std::uint8_t kForward = 1;
constexpr std::uint8_t kBackward = 0;
// Every mode that draws an effect, and those among them whose picture is this program's own.
constexpr std::uint8_t kLitModes[] = {1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 16, 18};
constexpr std::uint8_t kOwnModes[] = {6, 10, 11, 12, 13, 14, 15, 16, 18};
constexpr std::uint8_t kDarkModes[] = {0, 7, 8, 9, 17, 19, 21, 255};

LightingPanelState panelFor(std::uint8_t mode, bool cycling, std::uint8_t direction = kForward,
                            ColourRef colour = kWhite) {
    LightingPanelState panel;
    panel.mode = mode;
    panel.colourCycling = cycling;
    panel.direction = direction;
    panel.colour = colour;
    return panel;
}

// The preview button of a key, by the key's number in the layout tables.
std::size_t buttonOf(int number) {
    const auto& keys = previewButtons();
    return static_cast<std::size_t>(std::find(keys.begin(), keys.end(), KeyButton{number}) -
                                    keys.begin());
}

PreviewFrame nextFrame(LightingPreview& preview, const LightingPanelState& panel) {
    PreviewFrame frame;
    preview.tick(panel, true, frame);
    return frame;
}

// Every key the grid lights is a button of the frame and finds its way back to a place.
TEST(LightingPreviewGrid, EveryKeyOfTheGridIsAButtonOfTheFrame) {
    std::set<int> gridKeys;
    for (int column = -1; column <= kKeyGridColumns; ++column) {
        for (int row = -1; row <= kKeyGridRows; ++row) {
            if (const auto key = keyGridButton({column, row})) {
                gridKeys.insert(key->number);
            }
        }
    }
    EXPECT_EQ(gridKeys.size(), kKeyRingLength);
    for (int number : gridKeys) {
        EXPECT_TRUE(gridCellOfButton(buttonOf(number)).has_value()) << number;
    }
}

TEST(LightingPreviewGrid, ButtonsFindTheirPlace) {
    const std::pair<int, std::optional<GridCell>> cases[] = {
        {1083, GridCell{0, 5}},  // left Ctrl
        {1022, GridCell{2, 0}},  // Esc
        {1086, GridCell{10, 5}}, // right Alt spans two places and follows the right one
        {1043, GridCell{15, 1}}, // Backspace
        {1120, GridCell{20, 5}}, // Num 0
        {1174, GridCell{11, 5}}, // Fn
        {1000, std::nullopt},    // first G key
        {1143, std::nullopt},    // last G key
        {1087, std::nullopt},    // right Win
        {1199, std::nullopt},    // K45
    };
    for (const auto& [id, cell] : cases) {
        EXPECT_EQ(gridCellOfButton(buttonOf(id)), cell) << id;
    }
    EXPECT_EQ(gridCellOfButton(kPreviewButtonCount), std::nullopt);
    for (GridCell outside : {GridCell{-1, 0}, GridCell{23, 0}, GridCell{0, 6}, GridCell{0, 0}}) {
        EXPECT_EQ(keyGridButton(outside), std::nullopt);
    }
}

TEST(LightingPreview, ModesWithoutAPictureLeaveEveryKeyDarkAndUnmarked) {
    for (std::uint8_t mode : kDarkModes) {
        LightingPreview preview;
        PreviewFrame frame = nextFrame(preview, panelFor(1, true));
        EXPECT_TRUE(preview.tick(panelFor(mode, true), true, frame)) << int{mode};
        for (const PreviewKey& key : frame) {
            EXPECT_EQ(key, (PreviewKey{PreviewLook::darkUnmarked, 0})) << int{mode};
        }
    }
}

TEST(LightingPreview, NothingChangesInPerKeyColourModeOrWithTheViewOff) {
    struct Case {
        std::uint8_t mode;
        bool perKeyView;
    };
    for (const Case c : {Case{20, true}, Case{1, false}, Case{3, false}, Case{6, false},
                         Case{7, false}, Case{20, false}}) {
        const LightingPanelState panel = panelFor(c.mode, true);
        LightingPreview preview;
        PreviewFrame frame;
        frame.fill({PreviewLook::colour, kWhite});
        for (int n = 0; n < 3; ++n) {
            EXPECT_FALSE(preview.tick(panel, c.perKeyView, frame)) << int{c.mode};
        }
        EXPECT_TRUE(std::all_of(frame.begin(), frame.end(),
                                [](const PreviewKey& key) { return key == PreviewKey{}; }));
        EXPECT_EQ(preview.phase(c.mode), 0u);
        LightingPreview fresh;
        EXPECT_EQ(nextFrame(preview, panel), nextFrame(fresh, panel)) << int{c.mode};
    }
}

TEST(LightingPreview, PhaseStepsByTheModesStepAndWraps) {
    struct Case {
        std::uint8_t mode;
        bool cycling;
        std::uint8_t direction;
        std::size_t step;
        std::size_t period;
        bool forward;
    };
    const Case cases[] = {
        {1, true, kForward, 9, 192, true},    {1, true, kBackward, 9, 192, false},
        {1, false, kForward, 7, 96, true},    {1, false, kBackward, 7, 96, false},
        {2, true, kBackward, 4, 192, false},  {2, false, kBackward, 4, 128, true},
        {2, false, 255, 4, 128, true},        {3, true, kForward, 4, 192, true},
        {3, false, kBackward, 4, 96, false},  {4, true, 3, 2, 192, true},
        {4, false, kBackward, 2, 192, false}, {5, true, kBackward, 2, 128, true},
        {13, true, kBackward, 1, 192, false}, {14, false, kForward, 1, 104, true},
    };
    for (const Case& c : cases) {
        for (int speed : {0, 5}) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << int{c.mode} << " cycling " << c.cycling << " direction "
                         << int{c.direction} << " speed " << speed);
            LightingPanelState panel = panelFor(c.mode, c.cycling, c.direction);
            panel.speedPosition = speed;
            LightingPreview preview;
            std::size_t expected = 0;
            for (std::size_t n = 0; n < 2 * c.period / c.step + 1; ++n) {
                nextFrame(preview, panel);
                expected = (expected + (c.forward ? c.step : c.period - c.step)) % c.period;
                ASSERT_EQ(preview.phase(c.mode), expected) << "tick " << n;
            }
        }
    }
}

TEST(LightingPreview, DirectionChangeReversesTheWaveFromWhereItIs) {
    struct Case {
        std::uint8_t mode;
        bool cycling;
    };
    for (const Case c :
         {Case{1, true}, Case{1, false}, Case{3, true}, Case{3, false}, Case{4, true}}) {
        SCOPED_TRACE(testing::Message() << "mode " << int{c.mode} << " cycling " << c.cycling);
        LightingPreview onward;
        std::vector<PreviewFrame> drawn;
        for (int n = 0; n < 5; ++n) {
            drawn.push_back(nextFrame(onward, panelFor(c.mode, c.cycling, kForward)));
        }
        LightingPreview turned = onward;
        EXPECT_EQ(nextFrame(turned, panelFor(c.mode, c.cycling, kBackward)),
                  nextFrame(onward, panelFor(c.mode, c.cycling, kForward)));
        for (auto earlier = drawn.rbegin(); earlier != drawn.rend(); ++earlier) {
            EXPECT_EQ(nextFrame(turned, panelFor(c.mode, c.cycling, kBackward)), *earlier);
        }
    }
}

TEST(LightingPreview, WhatTheKeysShowOfWavesCycleAndBreathing) {
    struct Case {
        const char* what;
        LightingPanelState panel;
        int key; // its number in the layout tables
        ColourRef expected;
        int ticksBefore = 0;
    };
    const ColourRef brown = colourRef(200, 100, 7);
    const auto& wheel = colourWheel();
    const Case cases[] = {
        {"wave, column 0", panelFor(1, true), 1083, wheel[0]},
        {"wave, column 2", panelFor(1, true), 1022, wheel[18]},
        {"wave, wide key", panelFor(1, true), 1086, wheel[90]},
        {"wave, chosen colour truncated", panelFor(1, false, kForward, brown), 1083,
         colourRef(17, 8, 0)},
        {"wave, chosen colour column 2", panelFor(1, false, kForward, brown), 1022,
         colourRef(54, 27, 1)},
        {"comet wave, cycling", panelFor(2, true), 1022, wheel[10]},
        {"comet rightwards, column 0", panelFor(2, false, 255), 1083, colourRef(33, 33, 33)},
        {"comet rightwards, column 3", panelFor(2, false, 255), 1010, colourRef(227, 227, 227)},
        {"comet rightwards, column 22", panelFor(2, false, 255), 1107, 0},
        {"comet rightwards, wrapped", panelFor(2, false, 255), 1107, colourRef(77, 77, 77), 4},
        {"comet leftwards, column 0", panelFor(2, false, kForward), 1083, 0},
        {"comet leftwards, column 22", panelFor(2, false, kForward), 1107, colourRef(77, 77, 77)},
        {"spiral, first key of the ring", panelFor(3, true), 1093, wheel[0]},
        {"spiral, 13th key of the ring", panelFor(3, true), 1012, wheel[60]},
        {"spiral, chosen colour", panelFor(3, false), 1012, colourRef(176, 176, 176)},
        {"spectrum cycle", panelFor(4, false), 1090, wheel[0]},
        {"breathing, column 0", panelFor(5, true), 1083, colourRef(3, 0, 0)},
        {"breathing, column 22", panelFor(5, true), 1107, colourRef(2, 0, 3)},
        {"breathing, chosen colour", panelFor(5, false), 1107, colourRef(3, 3, 3)},
        {"steady", panelFor(18, false, kForward, brown), 1174, brown},
    };
    for (const Case& c : cases) {
        LightingPreview preview;
        for (int n = 0; n < c.ticksBefore; ++n) {
            nextFrame(preview, c.panel);
        }
        EXPECT_EQ(nextFrame(preview, c.panel)[buttonOf(c.key)],
                  (PreviewKey{PreviewLook::colour, c.expected}))
            << c.what;
    }
}

// Keys off the grid (the G keys, the two extra keys beside the Shift keys, right Win) light
// too, as the key beside them does.
TEST(LightingPreview, EffectsColourEveryKeyAndMoveEveryTick) {
    for (std::uint8_t mode : kLitModes) {
        for (bool cycling : {true, false}) {
            SCOPED_TRACE(testing::Message() << "mode " << int{mode} << " cycling " << cycling);
            const LightingPanelState panel = panelFor(mode, cycling);
            LightingPreview preview;
            PreviewFrame before = nextFrame(preview, panel);
            for (int n = 0; n < 200; ++n) {
                const PreviewFrame frame = nextFrame(preview, panel);
                for (std::size_t b = 0; b < kPreviewButtonCount; ++b) {
                    ASSERT_EQ(frame[b].look, PreviewLook::colour) << b;
                }
                for (const auto& [offGrid, beside] :
                     {std::pair{1000, 1022}, {1143, 1083}, {1199, 1071}, {1087, 1086}}) {
                    ASSERT_EQ(frame[buttonOf(offGrid)], frame[buttonOf(beside)]) << offGrid;
                }
                // Of this program's own pictures only a steady chosen colour holds still.
                const bool own = std::find(std::begin(kOwnModes), std::end(kOwnModes), mode) !=
                                 std::end(kOwnModes);
                if (own && (mode != 18 || cycling)) {
                    ASSERT_NE(frame, before) << "tick " << n;
                }
                before = frame;
            }
        }
    }
}

TEST(LightingPreview, ChoosingAModeStartsTheEffectOver) {
    for (std::uint8_t mode : kLitModes) {
        const LightingPanelState panel = panelFor(mode, true);
        LightingPreview preview;
        for (int n = 0; n < 7; ++n) {
            nextFrame(preview, panel);
        }
        preview.modeChosen();
        LightingPreview fresh;
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(nextFrame(preview, panel), nextFrame(fresh, panel)) << int{mode};
        }
    }
}

} // namespace
} // namespace velkan::model
