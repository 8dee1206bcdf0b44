#include "widgets/skin_look.h"

#include "widgets/skin_style.h"

#include <QWidget>

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
