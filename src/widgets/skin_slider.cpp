#include "widgets/skin_slider.h"

#include "widgets/skin_look.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

namespace velkan::widgets {

namespace {

constexpr int kFallbackThumbWidth = 10;
constexpr int kFallbackThumbHeight = 18;
constexpr int kFallbackTrackHeight = 4;

} // namespace

SkinSlider::SkinSlider(int positionCount, QWidget* parent)
    : QWidget(parent), count_(std::max(1, positionCount)) {
    setFocusPolicy(Qt::StrongFocus);
    applySkinLook(*this);
}

void SkinSlider::setPosition(int position) {
    const int clamped = std::clamp(position, 0, count_ - 1);
    if (clamped != position_) {
        position_ = clamped;
        update();
    }
}

void SkinSlider::setPositionHandler(PositionHandler handler) {
    handler_ = std::move(handler);
}

void SkinSlider::setPictures(const QPixmap& track, const QPixmap& thumb) {
    track_ = track;
    thumb_ = thumb;
    updateGeometry();
    update();
}

QSize SkinSlider::sizeHint() const {
    if (!track_.isNull()) {
        return track_.size();
    }
    return {160, 22};
}

int SkinSlider::thumbWidth() const {
    return thumb_.isNull() ? kFallbackThumbWidth : thumb_.width();
}

int SkinSlider::thumbLeft() const {
    const int span = std::max(0, width() - thumbWidth());
    return count_ > 1 ? position_ * span / (count_ - 1) : 0;
}

int SkinSlider::positionAt(int x) const {
    const int last = count_ - 1;
    const int thumb = thumbWidth();
    const int span = width() - thumb;
    if (last == 0 || span <= 0) {
        return 0;
    }
    const double offset = x - thumb / 2.0;
    return std::clamp(qRound(offset * last / span), 0, last);
}

void SkinSlider::moveTo(int position) {
    const int clamped = std::clamp(position, 0, count_ - 1);
    if (clamped == position_) {
        return;
    }
    position_ = clamped;
    update();
    if (handler_) {
        handler_(position_, false);
    }
}

void SkinSlider::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!track_.isNull()) {
        painter.drawPixmap(rect(), track_);
    } else {
        drawFallbackTrack(painter);
    }
    if (!thumb_.isNull()) {
        painter.drawPixmap(thumbLeft(), (height() - thumb_.height()) / 2, thumb_);
    } else {
        drawFallbackThumb(painter);
    }
}

void SkinSlider::drawFallbackTrack(QPainter& painter) const {
    const int thumb = thumbWidth();
    const int top = (height() - kFallbackTrackHeight) / 2;
    const QRect groove(thumb / 2, top, std::max(0, width() - thumb), kFallbackTrackHeight);
    painter.fillRect(groove, QColor(kSkinHeader));
    const QRect filled(groove.left(), top, thumbLeft(), kFallbackTrackHeight);
    painter.fillRect(filled, QColor(isEnabled() ? kSkinAccent : kSkinDisabledText));
}

void SkinSlider::drawFallbackThumb(QPainter& painter) const {
    const int thumbHeight = std::min(height(), kFallbackThumbHeight);
    const QRect thumb(thumbLeft(), (height() - thumbHeight) / 2, kFallbackThumbWidth, thumbHeight);
    QRgb face = dragging_ ? kSkinAccent : kSkinText;
    if (!isEnabled()) {
        face = kSkinDisabledText;
    }
    painter.fillRect(thumb, QColor(face));
    painter.setPen(QColor(hasFocus() ? kSkinAccent : kSkinFrame));
    painter.drawRect(thumb.adjusted(0, 0, -1, -1));
}

void SkinSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    dragging_ = true;
    moveTo(positionAt(event->position().toPoint().x()));
    update();
}

void SkinSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        moveTo(positionAt(event->position().toPoint().x()));
    }
}

void SkinSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) {
        event->ignore();
        return;
    }
    moveTo(positionAt(event->position().toPoint().x()));
    dragging_ = false;
    update();
    if (handler_) {
        handler_(position_, true);
    }
}

std::optional<int> SkinSlider::keyTarget(int key) const {
    // The page keys move a fifth of the range.
    const int page = std::max(1, count_ / 5);
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        return position_ + 1;
    case Qt::Key_Left:
    case Qt::Key_Down:
        return position_ - 1;
    case Qt::Key_PageUp:
        return position_ + page;
    case Qt::Key_PageDown:
        return position_ - page;
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return count_ - 1;
    default:
        return std::nullopt;
    }
}

void SkinSlider::keyPressEvent(QKeyEvent* event) {
    const std::optional<int> target = keyTarget(event->key());
    if (!target || dragging_) {
        QWidget::keyPressEvent(event);
        return;
    }
    moveTo(*target);
}

void SkinSlider::keyReleaseEvent(QKeyEvent* event) {
    // Letting go of a stepping key ends the move, as letting go of the mouse does.
    if (!keyTarget(event->key()) || event->isAutoRepeat() || dragging_) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (handler_) {
        handler_(position_, true);
    }
}

} // namespace velkan::widgets
