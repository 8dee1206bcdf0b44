// The direction card of the lighting panel: the direction arrows and turns, the two-way switch
// and the third colour of the effects that have them, and the report selector.
#pragma once

#include "app/lighting_controls.h"
#include "model/lighting.h"

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <array>

namespace velkan::skin {
class ImageButton;
} // namespace velkan::skin

namespace velkan::app {

class DirectionCard final : public QObject {
public:
    explicit DirectionCard(LightingControls& controls);

    void refresh();
    void reloadTexts();

private:
    struct Arrow {
        skin::ImageButton* button = nullptr;
        // Released and pressed picture origins on the arrow sheet.
        std::array<QPoint, 2> origins{};
    };

    void createTwoWaySwitch();
    void createTurns();
    void createThirdColour();
    void createReportButtons();
    void createArrows();
    Arrow addArrow(const char* skinKey, const char* name, const char* released,
                   const char* pressed);
    void showArrow(const Arrow& arrow, bool pressed) const;

    LightingControls& controls_;
    LightToggle* twoWayFirstToggle_ = nullptr;
    LightToggle* twoWaySecondToggle_ = nullptr;
    LightToggle* anticlockwiseToggle_ = nullptr;
    LightToggle* clockwiseToggle_ = nullptr;
    LightingControls::ColourControls third_;
    // By the report each selects, as the page stores it.
    std::array<skin::ImageButton*, model::kMaxPattern + 1> reportButtons_{};
    QPixmap arrowSheet_;
    Arrow leftArrow_;
    Arrow rightArrow_;
};

} // namespace velkan::app
