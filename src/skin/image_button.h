// The image button every skinned window is built from. It has no look of its own: each state
// is a whole-window picture, and the button shows the part of it under its own rectangle.
#pragma once

#include "widgets/skin_look.h"

#include <QAbstractButton>
#include <QColor>
#include <QMargins>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <array>

class QTimer;

namespace velkan::skin {

struct ButtonPictures {
    QPixmap normal;
    QPixmap over;
    QPixmap down;
    QPixmap disabled;
    QPixmap selected;

    // A sprite: one picture for every state.
    static ButtonPictures allAs(const QPixmap& picture) {
        return {picture, picture, picture, picture, picture};
    }
};

struct ButtonTextStyle {
    bool on = false;
    int pointSize = 8;
    QString face = widgets::skinFontFamily();
    QColor normal = Qt::black;
    QColor over = Qt::black;
    QColor down = Qt::black;
    QColor disabled = Qt::black;
    QColor selected = Qt::black;
    int format = Qt::AlignCenter | Qt::TextSingleLine;
    QMargins insets;
    // Tenths of a degree, anticlockwise. Turned text is centred on the text area.
    int escapement = 0;
    // Turned captions are drawn heavy so they stay legible.
    bool rotated = false;
};

class ImageButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit ImageButton(QWidget* parent = nullptr);

    // `origin` is where the button's rectangle lies in the pictures. Replacing the pictures
    // forgets hovering and pressing: the new look starts from rest.
    void setPictures(QPoint origin, const ButtonPictures& pictures, bool redraw = true);
    QPoint origin() const { return origin_; }

    // While on, the alternate pair replaces every enabled look: the first picture, or the
    // second when `second` is set.
    void setAlternatePair(const QPixmap& first, const QPixmap& second);
    void setAlternateMode(bool on, bool second);
    // The look of a toggled or current-page button.
    void setSelectedLook(bool on, bool redraw = true);
    bool selectedLook() const { return selectedLook_; }
    void setTextStyle(const ButtonTextStyle& style);
    // Shown 300 ms after the mouse comes over the button; empty text shows none.
    void setToolTipText(const QString& text);

    bool isHovering() const { return hovering_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A quick second click is a click like the first, not a gesture of its own.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    enum class Look { normal, over, down, disabled, selected, alternate };

    Look currentLook() const;
    const QPixmap& pictureOf(Look look) const;
    QColor textColourOf(Look look) const;
    void drawText(QPainter& painter, const QColor& colour) const;
    void startHover();
    void showToolTip();

    QPoint origin_;
    ButtonPictures pictures_;
    std::array<QPixmap, 2> alternate_;
    bool alternateMode_ = false;
    bool alternateSecond_ = false;
    bool hovering_ = false;
    bool selectedLook_ = false;
    ButtonTextStyle textStyle_;
    QString toolTipText_;
    QTimer* toolTipTimer_ = nullptr; // created on first use
};

} // namespace velkan::skin
