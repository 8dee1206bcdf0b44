#include "app/light_toggle.h"

#include "app/lighting_colours.h"
#include "widgets/skin_look.h"

#include <QPainter>
#include <algorithm>

namespace velkan::app {

LightToggle::LightToggle(Face face, QWidget* parent) : QAbstractButton(parent), face_(face) {
    setCursor(Qt::PointingHandCursor);
    widgets::applySkinLook(*this);
}

void LightToggle::setOn(bool on) {
    if (on != on_) {
        on_ = on;
        update();
    }
}

void LightToggle::setSwatch(model::ColourRef colour) {
    swatch_ = colour;
    update();
}

void LightToggle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    const QRectF box(0.5, 0.5, side - 1.0, side - 1.0);
    const bool lit = isEnabled() && (underMouse() || hasFocus());
    painter.setPen(QColor(on_ || lit ? widgets::kSkinAccent : widgets::kSkinFrame));
    painter.setBrush(QColor(widgets::kSkinWindow));
    painter.drawRoundedRect(box, 3, 3);
    const QRectF inner = box.adjusted(3, 3, -3, -3);
    painter.setPen(Qt::NoPen);
    switch (face_) {
    case Face::check:
        if (on_) {
            painter.setPen(QPen(QColor(widgets::kSkinAccent), 2));
            painter.drawPolyline(QPolygonF{{inner.left() + 1, inner.center().y()},
                                           {inner.left() + inner.width() * 0.4, inner.bottom() - 1},
                                           {inner.right() - 1, inner.top() + 1}});
        }
        break;
    case Face::spectrum: {
        QLinearGradient spectrum(inner.topLeft(), inner.topRight());
        const QColor stops[] = {Qt::red, Qt::yellow, Qt::green, Qt::cyan, Qt::blue, Qt::magenta};
        for (int i = 0; i < 6; ++i) {
            spectrum.setColorAt(i / 5.0, stops[i]);
        }
        painter.setOpacity(on_ ? 1.0 : 0.25);
        painter.fillRect(inner, spectrum);
        break;
    }
    case Face::glyph:
        painter.setPen(QColor(on_ ? widgets::kSkinAccent : widgets::kSkinDimText));
        painter.drawText(box, Qt::AlignCenter, text());
        break;
    case Face::swatch:
        painter.fillRect(on_ ? inner : inner.adjusted(2, 2, -2, -2), toQColor(swatch_));
        break;
    }
    if (face_ == Face::check && !text().isEmpty()) {
        painter.setOpacity(1.0);
        painter.setPen(QColor(isEnabled() ? widgets::kSkinText : widgets::kSkinDisabledText));
        painter.drawText(QRect(side + 6, 0, width() - side - 6, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
    }
}

} // namespace velkan::app
