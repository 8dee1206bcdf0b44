#include "skin/image_button.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <utility>

namespace velkan::skin {
namespace {

constexpr int kToolTipDelayMs = 300;
// Below this a caption is no longer legible; it is cut instead.
constexpr int kSmallestCaptionPixels = 8;

} // namespace

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
    // Hover comes back with the first move after the pictures were replaced under the mouse.
    setMouseTracking(true);
}

void ImageButton::setPictures(QPoint origin, const ButtonPictures& pictures, bool redraw) {
    origin_ = origin;
    pictures_ = pictures;
    hovering_ = false;
    setDown(false);
    if (redraw) {
        update();
    }
}

void ImageButton::setAlternatePair(const QPixmap& first, const QPixmap& second) {
    alternate_ = {first, second};
    update();
}

void ImageButton::setAlternateMode(bool on, bool second) {
    alternateMode_ = on;
    alternateSecond_ = second;
    update();
}

void ImageButton::setSelectedLook(bool on, bool redraw) {
    selectedLook_ = on;
    if (redraw) {
        update();
    }
}

void ImageButton::setTextStyle(const ButtonTextStyle& style) {
    textStyle_ = style;
    update();
}

void ImageButton::setToolTipText(const QString& text) {
    toolTipText_ = text;
    if (text.isEmpty()) {
        if (toolTipTimer_ != nullptr) {
            toolTipTimer_->stop();
        }
        return;
    }
    if (toolTipTimer_ == nullptr) {
        toolTipTimer_ = new QTimer(this);
        toolTipTimer_->setSingleShot(true);
        toolTipTimer_->setInterval(kToolTipDelayMs);
        connect(toolTipTimer_, &QTimer::timeout, this, &ImageButton::showToolTip);
    }
    if (hovering_) {
        toolTipTimer_->start();
    }
}

ImageButton::Look ImageButton::currentLook() const {
    if (!isEnabled()) {
        return Look::disabled;
    }
    if (alternateMode_) {
        return Look::alternate;
    }
    if (isDown()) {
        return Look::down;
    }
    if (hovering_) {
        return Look::over;
    }
    if (selectedLook_) {
        return Look::selected;
    }
    return Look::normal;
}

const QPixmap& ImageButton::pictureOf(Look look) const {
    switch (look) {
    case Look::over:
        return pictures_.over;
    case Look::down:
        return pictures_.down;
    case Look::disabled:
        return pictures_.disabled;
    case Look::selected:
        return pictures_.selected;
    case Look::alternate:
        return alternate_[alternateSecond_ ? 1 : 0];
    case Look::normal:
        break;
    }
    return pictures_.normal;
}

QColor ImageButton::textColourOf(Look look) const {
    switch (look) {
    case Look::over:
        return textStyle_.over;
    case Look::down:
        return textStyle_.down;
    case Look::disabled:
        return textStyle_.disabled;
    case Look::selected:
        return textStyle_.selected;
    case Look::alternate:
    case Look::normal:
        break;
    }
    return textStyle_.normal;
}

void ImageButton::paintEvent(QPaintEvent*) {
    const Look look = currentLook();
    QPainter painter(this);
    // The pictures cover the whole window; the skin's origin counts from 1.
    painter.drawPixmap(QPoint(0, 0), pictureOf(look), QRect(origin_ - QPoint(1, 1), size()));
    if (textStyle_.on) {
        drawText(painter, textColourOf(look));
    }
}

void ImageButton::drawText(QPainter& painter, const QColor& colour) const {
    QFont font(textStyle_.face);
    int pixels = std::max(1, static_cast<int>(textStyle_.pointSize * logicalDpiY() / 72.0 + 0.5));
    font.setPixelSize(pixels);
    font.setWeight(textStyle_.rotated ? QFont::Black : QFont::Normal);
    const QRect area = rect().marginsRemoved(textStyle_.insets);
    if (textStyle_.escapement == 0) {
        // A caption on one line that is longer than its button, as in another language, is
        // drawn smaller rather than cut at both ends.
        if ((textStyle_.format & Qt::TextSingleLine) != 0) {
            while (pixels > kSmallestCaptionPixels &&
                   QFontMetrics(font).horizontalAdvance(text()) > area.width()) {
                font.setPixelSize(--pixels);
            }
        }
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(area, textStyle_.format, text());
        return;
    }
    painter.setFont(font);
    painter.setPen(colour);
    const QFontMetrics metrics(font);
    const QSize extent(metrics.horizontalAdvance(text()), metrics.height());
    painter.translate(QRectF(area).center());
    // Screen y grows downwards, so an anticlockwise angle turns the painter backwards.
    painter.rotate(-textStyle_.escapement / 10.0);
    painter.drawText(QRect(QPoint(-extent.width() / 2, -extent.height() / 2), extent),
                     textStyle_.format, text());
}

void ImageButton::startHover() {
    hovering_ = true;
    update();
    if (toolTipTimer_ != nullptr && !toolTipText_.isEmpty()) {
        toolTipTimer_->start();
    }
}

void ImageButton::showToolTip() {
    if (hovering_) {
        QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTipText_, this, rect());
    }
}

void ImageButton::enterEvent(QEnterEvent* event) {
    startHover();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    if (toolTipTimer_ != nullptr) {
        toolTipTimer_->stop();
    }
    QToolTip::hideText();
    update();
    QAbstractButton::leaveEvent(event);
}

void ImageButton::mouseMoveEvent(QMouseEvent* event) {
    if (!hovering_ && rect().contains(event->position().toPoint())) {
        startHover();
    }
    QAbstractButton::mouseMoveEvent(event);
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

} // namespace velkan::skin
