// The colour card of the lighting panel: the red, green and blue boxes with the preset colours,
// the colour buttons and switches each effect has of its own, and the note that says why a
// mode shows none of them.
#pragma once

#include "app/lighting_controls.h"

#include <QObject>
#include <array>

class QLabel;
class QLineEdit;

namespace velkan::skin {
class ImageButton;
} // namespace velkan::skin

namespace velkan::app {

class ColourCard final : public QObject {
public:
    explicit ColourCard(LightingControls& controls);

    void refresh();
    void reloadTexts();
    // The note stands where the boxes and presets would, when `fields` shows no colour.
    void showNote(unsigned fields, bool perKeyView);

private:
    static constexpr std::size_t kPresetCount = 8;

    void createColourBoxes();
    void createPresets();
    void createNote();
    void createEffectColours();
    void commitColourBoxes();
    void showNoteText();

    LightingControls& controls_;
    std::array<QLineEdit*, 3> colourBoxes_{}; // red, green, blue
    std::array<skin::ImageButton*, kPresetCount> presets_{};
    QLabel* colourNote_ = nullptr;
    // Each effect's own colour, and its switch where it has one.
    LightingControls::ColourControls cycling_;
    LightingControls::ColourControls reactive_;
    LightingControls::ColourControls steady_;
    LightingControls::ColourControls second_;
};

} // namespace velkan::app
