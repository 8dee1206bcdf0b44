// The backlight effect imitated on the keyboard picture while the per-key view is on: every
// 50 ms tick the main window asks for one frame and paints its key buttons from it. Nothing
// here talks to the keyboard or allocates; a tick only reads the lighting panel's state, steps
// the effect's phase and fills the caller's frame.
#pragma once

#include "model/key_codes.h"
#include "model/lighting.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace velkan::model {

// The picture's keys as the backlight sees them: 23 columns of 6 rows, row 0 at the top.
inline constexpr int kKeyGridColumns = 23;
inline constexpr int kKeyGridRows = 6;
// Every key of the grid once, walked as a spiral from the top right corner inwards.
inline constexpr std::size_t kKeyRingLength = 104;

inline constexpr std::size_t kColourWheelSize = 192;

// The key buttons a frame covers, in this order: the nine G keys in bank order, the standard
// keys in the order of KeyPositionList, then Fn.
inline constexpr std::size_t kPreviewButtonCount = 9 + kStandardKeyCount + 1;
const std::array<KeyButton, kPreviewButtonCount>& previewButtons();

struct GridCell {
    int column = 0;
    int row = 0;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

// The key at a place of the grid; nothing for an empty place or one outside the grid.
std::optional<KeyButton> keyGridButton(GridCell cell);
// The place whose colour preview button `button` shows. A key spanning two places shows the
// later one in column order; keys off the grid (the extra keys among them) have none.
std::optional<GridCell> gridCellOfButton(std::size_t button);

// Red, yellow, green, cyan, blue, magenta and back to red, 32 steps between each pair.
const std::array<ColourRef, kColourWheelSize>& colourWheel();

enum class PreviewLook : std::uint8_t {
    keep,         // the button stays as it is drawn
    colour,       // drawn in the frame's colour, its marked state untouched
    darkUnmarked, // drawn black and without its marked state
};

struct PreviewKey {
    PreviewLook look = PreviewLook::keep;
    ColourRef colour = 0;
    friend bool operator==(const PreviewKey&, const PreviewKey&) = default;
};

// Indexed like previewButtons().
using PreviewFrame = std::array<PreviewKey, kPreviewButtonCount>;

// The running effect: one phase per mode plus the scattered state of the random effects.
// The panel state is read afresh every tick, so the picture follows the panel at once.
class LightingPreview {
public:
    // The mode chooser made a choice: the next tick starts every effect from the beginning.
    void modeChosen() { restartPending_ = true; }

    // One step. With the per-key view off the frame keeps every button and nothing advances.
    // True when the frame has something to paint.
    bool tick(const LightingPanelState& panel, bool perKeyView, PreviewFrame& frame);

    // The phase the next tick of `mode` draws from.
    std::size_t phase(std::uint8_t mode) const { return state_.phases[mode]; }

private:
    struct EffectState {
        std::array<std::size_t, 256> phases{};
        std::uint32_t ticks = 0;
        // Per button: how bright a sparkle or twinkle is, how far it has got, its colour.
        std::array<std::uint8_t, kPreviewButtonCount> levels{};
        std::array<std::uint8_t, kPreviewButtonCount> ages{};
        std::array<ColourRef, kPreviewButtonCount> colours{};
        // Per column: 0 no raindrop, else 1 + the rows it has fallen.
        std::array<std::uint8_t, kKeyGridColumns> drops{};
    };

    bool paintMode(const LightingPanelState& panel, PreviewFrame& frame);
    static void lightKeysOffTheGrid(PreviewFrame& frame);
    std::size_t& settledPhase(std::uint8_t mode, std::size_t period);
    void columnWave(const LightingPanelState& panel, PreviewFrame& frame);
    void cometWave(const LightingPanelState& panel, PreviewFrame& frame);
    void spiral(const LightingPanelState& panel, PreviewFrame& frame);
    void spectrumCycle(const LightingPanelState& panel, PreviewFrame& frame);
    void breathing(const LightingPanelState& panel, PreviewFrame& frame);
    void sparkle(const LightingPanelState& panel, PreviewFrame& frame);
    void raindrops(const LightingPanelState& panel, PreviewFrame& frame);
    void starlight(const LightingPanelState& panel, PreviewFrame& frame);
    void checkerboard(const LightingPanelState& panel, PreviewFrame& frame);
    void marquee(const LightingPanelState& panel, PreviewFrame& frame);
    void orbit(const LightingPanelState& panel, PreviewFrame& frame);
    void meteor(const LightingPanelState& panel, PreviewFrame& frame);
    void twinkle(const LightingPanelState& panel, PreviewFrame& frame);
    void steady(const LightingPanelState& panel, PreviewFrame& frame);

    EffectState state_;
    bool restartPending_ = false;
};

} // namespace velkan::model
