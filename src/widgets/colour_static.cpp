#include "widgets/colour_static.h"

#include "widgets/skin_look.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace velkan::widgets {

namespace {

// Between the frame and the colour, so a colour close to the frame's stays distinct.
constexpr int kSwatchInset = 2;

} // namespace

ColourStatic::ColourStatic(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    applySkinLook(*this);
}

void ColourStatic::setColour(const QColor& colour) {
    colour_ = colour;
    update();
}

QSize ColourStatic::sizeHint() const {
    const int side = fontMetrics().height() + 2 * (kSwatchInset + 1);
    return {side, side};
}

void ColourStatic::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect swatch = rect();
    const bool lit = isEnabled() && (hasFocus() || underMouse());
    painter.fillRect(swatch, QColor(kSkinWindow));
    painter.setPen(QColor(lit ? kSkinAccent : kSkinFrame));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    const QRect face =
        swatch.adjusted(kSwatchInset + 1, kSwatchInset + 1, -kSwatchInset - 1, -kSwatchInset - 1);
    if (colour_.isValid()) {
        painter.fillRect(face, colour_);
    } else {
        painter.fillRect(face, QBrush(QColor(kSkinDimText), Qt::BDiagPattern));
    }
}

void ColourStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = true;
}

void ColourStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) {
        event->ignore();
        return;
    }
    pressed_ = false;
    // Letting go outside the control is how the user takes a click back.
    if (rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void ColourStatic::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ColourStatic::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    update();
}

void ColourStatic::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    update();
}

} // namespace velkan::widgets
