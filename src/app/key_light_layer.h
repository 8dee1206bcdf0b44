// The key picture of the per-key view: every key button's face with its light, painted in one
// go over the buttons. A preview step changes the light of every key, and one widget painting
// them all costs a fraction of what a hundred buttons repainting themselves do. The layer
// covers the keys only; clicks and hovering go through it to the buttons below.
#pragma once

#include "model/lighting.h"
#include "model/lighting_preview.h"

#include <QPixmap>
#include <QRect>
#include <QWidget>
#include <array>
#include <optional>

namespace velkan::app {

class KeyGrid;

class KeyLightLayer final : public QWidget {
public:
    // `faces` is the window's picture of the keys without lights.
    KeyLightLayer(QWidget& window, QPixmap faces, const KeyGrid& keys);

    // The light preview button `button` shows; nothing when it shows its own picture only.
    std::optional<model::ColourRef> light(std::size_t button) const { return lights_[button]; }
    void setLight(std::size_t button, std::optional<model::ColourRef> light);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap faces_;
    std::array<std::optional<model::ColourRef>, model::kPreviewButtonCount> lights_{};
    std::array<QRect, model::kPreviewButtonCount> places_{};
};

} // namespace velkan::app
