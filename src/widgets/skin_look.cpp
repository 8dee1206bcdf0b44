#include "widgets/skin_look.h"

#include "widgets/skin_style.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>
#include <algorithm>

namespace velkan::widgets {

QPalette skinPalette() {
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, QRgb active, QRgb disabled) {
        palette.setColor(QPalette::Active, role, QColor(active));
        palette.setColor(QPalette::Inactive, role, QColor(active));
        palette.setColor(QPalette::Disabled, role, QColor(disabled));
    };
    set(QPalette::Window, kSkinWindow, kSkinWindow);
    set(QPalette::WindowText, kSkinText, kSkinDisabledText);
    set(QPalette::Base, kSkinField, kSkinWindow);
    set(QPalette::AlternateBase, kSkinFieldAlternate, kSkinWindow);
    set(QPalette::Text, kSkinText, kSkinDisabledText);
    set(QPalette::PlaceholderText, kSkinDimText, kSkinDisabledText);
    set(QPalette::Button, kSkinHeader, kSkinWindow);
    set(QPalette::ButtonText, kSkinText, kSkinDisabledText);
    set(QPalette::Highlight, kSkinSelection, kSkinHeader);
    set(QPalette::HighlightedText, kSkinSelectedText, kSkinDisabledText);
    set(QPalette::ToolTipBase, kSkinHeader, kSkinHeader);
    set(QPalette::ToolTipText, kSkinText, kSkinText);
    set(QPalette::Light, kSkinFrame, kSkinFrame);
    set(QPalette::Midlight, kSkinHeader, kSkinHeader);
    set(QPalette::Mid, kSkinFrame, kSkinFrame);
    set(QPalette::Dark, kSkinWindow, kSkinWindow);
    set(QPalette::Shadow, kSkinWindow, kSkinWindow);
    set(QPalette::BrightText, kSkinAccent, kSkinAccent);
    set(QPalette::Link, kSkinAccent, kSkinDimText);
    return palette;
}

QString skinFontFamily() {
    return QStringLiteral("DejaVu Sans");
}

QFont skinFont() {
    QFont font;
    font.setFamilies({skinFontFamily(), QStringLiteral("Noto Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    return font;
}

void applyDarkDialogLook(QApplication& application) {
    // Fusion draws with the palette alone; the desktop's own style may ignore it.
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    application.setPalette(skinPalette());
    application.setFont(skinFont());
    QToolTip::setPalette(skinPalette());
}

void fitLabelText(QLabel& label, double largest, double smallest) {
    constexpr double kStep = 0.5;
    label.setWordWrap(true);
    const QRectF room = label.contentsRect();
    const int flags = Qt::TextWordWrap | static_cast<int>(label.alignment());
    QFont font = label.font();
    for (double size = largest;; size -= kStep) {
        font.setPointSizeF(std::max(size, smallest));
        // A word longer than the line sticks out even when wrapped, so both sides count.
        const QRectF needed =
            QFontMetricsF(font).boundingRect(QRectF(0, 0, room.width(), 0), flags, label.text());
        if (size <= smallest ||
            (needed.width() <= room.width() && needed.height() <= room.height())) {
            break;
        }
    }
    label.setFont(font);
}

void applySkinLook(QWidget& widget) {
    QStyle* style = skinStyle();
    const QPalette palette = skinPalette();
    const QFont font = skinFont();
    widget.setStyle(style);
    widget.setPalette(palette);
    widget.setFont(font);
    // A style set on a widget does not reach its children, and palettes do not reach windows.
    const auto children = widget.findChildren<QWidget*>();
    for (QWidget* child : children) {
        child->setStyle(style);
        if (child->isWindow()) {
            child->setPalette(palette);
            child->setFont(font);
        }
    }
}

} // namespace velkan::widgets
