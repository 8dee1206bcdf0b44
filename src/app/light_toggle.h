// A small square switch of the lighting panel. Its face says what it switches: a check mark,
// the colour spectrum (colour cycling), a glyph, or a colour (a painting tool). The panel sets
// its state; a click only reports.
#pragma once

#include "model/lighting.h"

#include <QAbstractButton>

namespace velkan::app {

class LightToggle final : public QAbstractButton {
public:
    enum class Face { check, spectrum, glyph, swatch };

    LightToggle(Face face, QWidget* parent);

    void setOn(bool on);
    bool isOn() const { return on_; }
    void setSwatch(model::ColourRef colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Face face_;
    bool on_ = false;
    model::ColourRef swatch_ = 0;
};

} // namespace velkan::app
