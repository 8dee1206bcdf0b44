#include "app/key_light_layer.h"

#include "app/key_grid.h"
#include "app/lighting_colours.h"
#include "skin/image_button.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

namespace velkan::app {

namespace {

// A lit key: the light washes over the cap and shows in full round its edge, where it
// leaks past the cap on the keyboard. A dark key is the cap dimmed, as an unlit keyboard
// looks. Plain fills only, the cheap kind.
void drawLight(QPainter& painter, const QRect& area, model::ColourRef colour) {
    if (colour == 0) {
        painter.fillRect(area, QColor(0, 0, 0, 120));
        return;
    }
    const QColor rim = toQColor(colour);
    QColor wash = rim;
    wash.setAlpha(110);
    painter.fillRect(area, wash);
    constexpr int kRim = 2;
    const int x = area.x();
    const int y = area.y();
    const int w = area.width();
    const int h = area.height();
    painter.fillRect(QRect(x, y, w, kRim), rim);
    painter.fillRect(QRect(x, y + h - kRim, w, kRim), rim);
    painter.fillRect(QRect(x, y + kRim, kRim, h - 2 * kRim), rim);
    painter.fillRect(QRect(x + w - kRim, y + kRim, kRim, h - 2 * kRim), rim);
}

} // namespace

KeyLightLayer::KeyLightLayer(QWidget& window, QPixmap faces, const KeyGrid& keys)
    : QWidget(&window), faces_(std::move(faces)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const auto& previewKeys = model::previewButtons();
    QRegion covered;
    for (std::size_t i = 0; i < previewKeys.size(); ++i) {
        if (const skin::ImageButton* key = keys.button(previewKeys[i])) {
            places_[i] = key->geometry();
            covered += places_[i];
        }
    }
    setGeometry(covered.boundingRect());
    setMask(covered.translated(-pos()));
    hide();
}

void KeyLightLayer::setLight(std::size_t button, std::optional<model::ColourRef> light) {
    if (lights_[button] == light) {
        return;
    }
    lights_[button] = light;
    update(places_[button].translated(-pos()));
}

void KeyLightLayer::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    for (std::size_t i = 0; i < places_.size(); ++i) {
        const QRect area = places_[i].translated(-pos());
        if (area.isEmpty() || !event->rect().intersects(area)) {
            continue;
        }
        // A face lies one pixel up and left of its button in the window's pictures.
        painter.drawPixmap(area.topLeft(), faces_, places_[i].translated(-1, -1));
        if (lights_[i]) {
            drawLight(painter, area, *lights_[i]);
        }
    }
}

} // namespace velkan::app
