// The one dark look every skinned widget shares. Colours, font and style are set on each widget
// explicitly, so the widgets look the same whatever desktop style or platform plugin runs them.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QApplication;
class QLabel;
class QWidget;

namespace velkan::widgets {

inline constexpr QRgb kSkinWindow = 0xff0d0e11;
inline constexpr QRgb kSkinField = 0xff16181d;
inline constexpr QRgb kSkinFieldAlternate = 0xff1b1e24;
inline constexpr QRgb kSkinHeader = 0xff23262e;
inline constexpr QRgb kSkinFrame = 0xff3a3f4a;
inline constexpr QRgb kSkinText = 0xffe4e4e4;
inline constexpr QRgb kSkinDimText = 0xff8c8f96;
inline constexpr QRgb kSkinDisabledText = 0xff5a5d63;
inline constexpr QRgb kSkinAccent = 0xffff8200;
inline constexpr QRgb kSkinSelection = 0xff7a3c00;
inline constexpr QRgb kSkinSelectedText = 0xffffffff;

QPalette skinPalette();
// The face of every text the program draws: one that every Linux desktop has, so text fits
// the same everywhere; fontconfig stands in a like one where it is missing.
QString skinFontFamily();
QFont skinFont();

// The windows the program does not draw itself (message boxes, file dialogs, the colour
// chooser) in the skin's dark colours and font rather than the desktop's light stock look.
// File dialogs take it only as Qt's own dialog, not the desktop's native one.
void applyDarkDialogLook(QApplication& application);

// Wraps the label's text at word boundaries and, where even wrapped it would be cut, shrinks
// it from `largest` down to `smallest` points until it fits the label. Called after each change
// of text or size.
void fitLabelText(QLabel& label, double largest, double smallest);

// Gives `widget` and every widget below it now the skin's style, palette and font. Popups and
// editors a widget creates later are separate windows or children, so it calls this for them.
void applySkinLook(QWidget& widget);

} // namespace velkan::widgets
