#include "skin_painter.h"

#include "widgets/skin_look.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

namespace velkan::skingen {
namespace {

// One dark graphite scheme with an amber accent, the colour the windows use for hovered text.
const QColor kAccent(255, 130, 0);
const QColor kAccentLight(255, 170, 70);
const QColor kAccentDark(196, 92, 0);
const QColor kText(233, 235, 238);
const QColor kMuted(138, 144, 153);
const QColor kDim(82, 87, 95);
const QColor kEdge(46, 50, 56);
const QColor kRecess(12, 13, 15);

constexpr int kThumbWidth = 14;

QRectF toQt(const SkinRect& r) {
    return QRectF(r.x, r.y, r.w, r.h);
}

QFont font(double pixels, QFont::Weight weight = QFont::Normal, bool italic = false) {
    QFont result(widgets::skinFontFamily());
    result.setPixelSize(std::max(1, static_cast<int>(pixels + 0.5)));
    result.setWeight(weight);
    result.setItalic(italic);
    result.setHintingPreference(QFont::PreferFullHinting);
    return result;
}

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

QColor withAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

void fillRounded(QPainter& p, const QRectF& r, double radius, const QBrush& brush) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, brush);
}

void strokeRounded(QPainter& p, const QRectF& r, double radius, const QColor& colour,
                   double width = 1) {
    QPainterPath path;
    const double inset = width / 2;
    path.addRoundedRect(r.adjusted(inset, inset, -inset, -inset), radius, radius);
    p.strokePath(path, QPen(colour, width));
}

// A soft halo: rings of falling alpha around a rounded rectangle.
void glow(QPainter& p, const QRectF& r, double radius, const QColor& colour, int spread,
          int strength) {
    for (int ring = spread; ring >= 1; --ring) {
        const double grow = ring;
        const int alpha = strength * (spread - ring + 1) / (spread * 3);
        strokeRounded(p, r.adjusted(-grow, -grow, grow, grow), radius + grow,
                      withAlpha(colour, alpha), 1.5);
    }
}

void drawText(QPainter& p, const QRectF& r, const QString& text, const QFont& f,
              const QColor& colour, int flags = Qt::AlignCenter) {
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, flags | Qt::TextSingleLine, text);
}

// A narrow face, shrunk until the text fits the width.
QFont fitted(const QString& text, double width, int pixels, QFont::Weight weight) {
    QFont f = font(pixels, weight);
    f.setStretch(QFont::Condensed);
    while (pixels > 7 && QFontMetricsF(f).horizontalAdvance(text) > width) {
        f.setPixelSize(--pixels);
    }
    return f;
}

// ---- Glyphs ------------------------------------------------------------------------------

void drawGlyph(QPainter& p, const QRectF& area, Glyph glyph, const QColor& colour) {
    const double s = std::min(area.width(), area.height()) * 0.5;
    const QPointF c = area.center();
    const QRectF box(c.x() - s / 2, c.y() - s / 2, s, s);
    QPen pen(colour, std::max(1.5, s / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const auto line = [&](double x1, double y1, double x2, double y2) {
        p.drawLine(QPointF(box.left() + x1 * s, box.top() + y1 * s),
                   QPointF(box.left() + x2 * s, box.top() + y2 * s));
    };
    const auto chevron = [&](double y, bool up) {
        const double tip = up ? y - 0.22 : y + 0.22;
        line(0.18, y, 0.5, tip);
        line(0.5, tip, 0.82, y);
    };
    switch (glyph) {
    case Glyph::none:
        break;
    case Glyph::minimise:
        line(0.15, 0.75, 0.85, 0.75);
        break;
    case Glyph::close:
        line(0.18, 0.18, 0.82, 0.82);
        line(0.82, 0.18, 0.18, 0.82);
        break;
    case Glyph::menu:
        line(0.12, 0.22, 0.88, 0.22);
        line(0.12, 0.5, 0.88, 0.5);
        line(0.12, 0.78, 0.88, 0.78);
        break;
    case Glyph::help:
        drawText(p, area, QStringLiteral("?"), font(s * 1.3, QFont::Bold), colour);
        break;
    case Glyph::list:
        for (double y : {0.2, 0.5, 0.8}) {
            line(0.05, y, 0.12, y);
            line(0.32, y, 0.95, y);
        }
        break;
    case Glyph::plus:
        line(0.5, 0.12, 0.5, 0.88);
        line(0.12, 0.5, 0.88, 0.5);
        break;
    case Glyph::minus:
        line(0.12, 0.5, 0.88, 0.5);
        break;
    case Glyph::folder: {
        QPainterPath path;
        path.moveTo(box.left(), box.top() + 0.2 * s);
        path.lineTo(box.left() + 0.38 * s, box.top() + 0.2 * s);
        path.lineTo(box.left() + 0.48 * s, box.top() + 0.32 * s);
        path.lineTo(box.right(), box.top() + 0.32 * s);
        path.lineTo(box.right(), box.bottom() - 0.08 * s);
        path.lineTo(box.left(), box.bottom() - 0.08 * s);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Glyph::trash:
        line(0.1, 0.22, 0.9, 0.22);
        line(0.38, 0.08, 0.62, 0.08);
        p.drawRoundedRect(QRectF(box.left() + 0.2 * s, box.top() + 0.34 * s, 0.6 * s, 0.62 * s), 2,
                          2);
        break;
    case Glyph::eraser: {
        p.drawEllipse(box.adjusted(0.04 * s, 0.04 * s, -0.04 * s, -0.04 * s));
        line(0.22, 0.78, 0.78, 0.22);
        break;
    }
    case Glyph::toTop:
        line(0.15, 0.12, 0.85, 0.12);
        chevron(0.62, true);
        break;
    case Glyph::up:
        chevron(0.62, true);
        break;
    case Glyph::down:
        chevron(0.38, false);
        break;
    case Glyph::toBottom:
        chevron(0.38, false);
        line(0.15, 0.88, 0.85, 0.88);
        break;
    case Glyph::keyboard: {
        const QRectF body(box.left() - 0.25 * s, box.top() + 0.12 * s, 1.5 * s, 0.8 * s);
        p.setPen(QPen(colour, 1.4));
        p.drawRoundedRect(body, 2, 2);
        p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 5; ++col) {
                p.drawPoint(QPointF(body.left() + (col + 1) * body.width() / 6,
                                    body.top() + (row + 1) * body.height() / 4));
            }
        }
        p.drawLine(QPointF(body.left() + body.width() * 0.3, body.top() + body.height() * 0.76),
                   QPointF(body.left() + body.width() * 0.7, body.top() + body.height() * 0.76));
        break;
    }
    case Glyph::globe:
        p.drawEllipse(box);
        p.drawEllipse(box.adjusted(0.28 * s, 0, -0.28 * s, 0));
        line(0, 0.5, 1, 0.5);
        break;
    case Glyph::chat: {
        QPainterPath path;
        path.addRoundedRect(QRectF(box.left(), box.top() + 0.05 * s, s, 0.7 * s), 0.2 * s, 0.2 * s);
        p.drawPath(path);
        line(0.3, 0.75, 0.22, 0.98);
        line(0.22, 0.98, 0.52, 0.75);
        break;
    }
    case Glyph::left:
    case Glyph::right: {
        const bool left = glyph == Glyph::left;
        QPainterPath path;
        path.moveTo(box.left() + (left ? 0.72 : 0.28) * s, box.top() + 0.15 * s);
        path.lineTo(box.left() + (left ? 0.28 : 0.72) * s, box.top() + 0.5 * s);
        path.lineTo(box.left() + (left ? 0.72 : 0.28) * s, box.top() + 0.85 * s);
        path.closeSubpath();
        p.setBrush(colour);
        p.drawPath(path);
        break;
    }
    case Glyph::sun:
        p.drawEllipse(box.adjusted(0.28 * s, 0.28 * s, -0.28 * s, -0.28 * s));
        for (int ray = 0; ray < 8; ++ray) {
            const double angle = ray * 3.14159265358979 / 4;
            const QPointF unit(std::cos(angle), std::sin(angle));
            p.drawLine(c + unit * 0.36 * s, c + unit * 0.5 * s);
        }
        break;
    case Glyph::drop: {
        QPainterPath path;
        path.moveTo(c.x(), box.top());
        path.cubicTo(c.x() + 0.45 * s, box.top() + 0.45 * s, c.x() + 0.4 * s, box.bottom(), c.x(),
                     box.bottom());
        path.cubicTo(c.x() - 0.4 * s, box.bottom(), c.x() - 0.45 * s, box.top() + 0.45 * s, c.x(),
                     box.top());
        p.drawPath(path);
        break;
    }
    case Glyph::wave: {
        QPainterPath path;
        path.moveTo(box.left(), c.y());
        path.cubicTo(box.left() + 0.25 * s, c.y() - 0.5 * s, box.left() + 0.25 * s, c.y() + 0.5 * s,
                     c.x(), c.y());
        path.cubicTo(c.x() + 0.25 * s, c.y() - 0.5 * s, c.x() + 0.25 * s, c.y() + 0.5 * s,
                     box.right(), c.y());
        p.drawPath(path);
        break;
    }
    case Glyph::flip:
        line(0.0, 0.3, 1.0, 0.3);
        line(0.78, 0.12, 1.0, 0.3);
        line(0.0, 0.7, 1.0, 0.7);
        line(0.0, 0.7, 0.22, 0.88);
        break;
    }
    p.setBrush(Qt::NoBrush);
}

// ---- Image button faces ------------------------------------------------------------------

bool isLight(Face face) {
    return face == Face::lightOff || face == Face::lightOn;
}

void drawKeyCap(QPainter& p, const QRectF& r, const SkinControl& key, Face face) {
    const bool accentLegend = key.look == Look::macroKey;
    const bool pressed = face == Face::down;
    const bool lit = face == Face::lightOn;

    // The skirt, darker towards the plate; the top face sits higher on the back than on the
    // front, as on a sculpted cap.
    QColor skirtTop(44, 47, 53);
    QColor skirtBottom(24, 26, 30);
    QColor faceTop(60, 64, 72);
    QColor faceBottom(42, 45, 51);
    switch (face) {
    case Face::over:
        faceTop = QColor(74, 79, 88);
        faceBottom = QColor(52, 56, 63);
        break;
    case Face::down:
        skirtTop = QColor(30, 32, 36);
        skirtBottom = QColor(20, 21, 24);
        faceTop = QColor(48, 51, 57);
        faceBottom = QColor(38, 40, 45);
        break;
    case Face::disabled:
        skirtTop = skirtBottom = QColor(30, 32, 35);
        faceTop = faceBottom = QColor(36, 38, 42);
        break;
    case Face::lightOn:
        // Lit from below: the light warms the whole cap.
        skirtTop = QColor(92, 56, 20);
        skirtBottom = QColor(48, 30, 12);
        faceTop = QColor(76, 60, 46);
        faceBottom = QColor(58, 44, 33);
        break;
    case Face::lightOff:
        faceTop = QColor(50, 53, 59);
        faceBottom = QColor(36, 38, 43);
        break;
    case Face::normal:
        break;
    }
    p.setRenderHint(QPainter::Antialiasing);
    fillRounded(p, r, 5, vertical(r, skirtTop, skirtBottom));
    const QRectF top = pressed ? r.adjusted(4, 4, -4, -4) : r.adjusted(4, 2, -4, -6);
    fillRounded(p, top, 4, vertical(top, faceTop, faceBottom));
    // A thin highlight along the face's back edge catches the light.
    if (face != Face::disabled) {
        p.setPen(QPen(withAlpha(Qt::white, pressed ? 14 : 30), 1));
        p.drawLine(QPointF(top.left() + 3, top.top() + 0.5),
                   QPointF(top.right() - 3, top.top() + 0.5));
    }
    if (face == Face::over || pressed) {
        strokeRounded(p, r, 5, withAlpha(kAccent, pressed ? 255 : 170), pressed ? 1.6 : 1.2);
    }
    if (lit) {
        strokeRounded(p, r, 5, withAlpha(kAccent, 200), 1.2);
    }

    QColor legendColour = accentLegend ? kAccent : kText;
    if (pressed) {
        legendColour = kAccentLight;
    } else if (face == Face::disabled) {
        legendColour = kDim;
    } else if (face == Face::lightOff) {
        legendColour = QColor(92, 97, 105);
    } else if (lit) {
        legendColour = QColor(255, 226, 178);
    }
    const QString legend = QString::fromStdString(key.caption);
    const QString shifted = QString::fromStdString(key.subCaption);
    const QRectF text = top.adjusted(2, 1, -2, -1);
    const auto paintLegend = [&](const QColor& colour, double dx, double dy) {
        const QRectF at = text.translated(dx, dy);
        if (!shifted.isEmpty()) {
            drawText(p, QRectF(at.left(), at.top(), at.width(), at.height() / 2), shifted,
                     font(10, QFont::DemiBold), withAlpha(colour, colour.alpha() * 3 / 4));
            drawText(p, QRectF(at.left(), at.center().y(), at.width(), at.height() / 2), legend,
                     font(11, QFont::DemiBold), colour);
        } else if (legend.size() <= 2) {
            drawText(p, at, legend, font(legend.size() == 1 ? 14 : 12, QFont::DemiBold), colour);
        } else {
            drawText(p, at, legend, fitted(legend, at.width() - 2, 11, QFont::DemiBold), colour);
        }
    };
    if (lit) {
        for (const auto& [dx, dy] : {std::pair{-1.0, 0.0}, {1.0, 0.0}, {0.0, -1.0}, {0.0, 1.0}}) {
            paintLegend(withAlpha(kAccent, 150), dx, dy);
        }
    }
    paintLegend(legendColour, 0, 0);
}

struct BodyColours {
    QColor top;
    QColor bottom;
    QColor border;
};

BodyColours buttonColours(Look look, Face face) {
    if (look == Look::accentButton) {
        switch (face) {
        case Face::over:
            return {QColor(255, 160, 60), QColor(232, 118, 10), QColor(255, 196, 120)};
        case Face::down:
            return {QColor(190, 88, 0), QColor(160, 72, 0), QColor(230, 130, 40)};
        case Face::disabled:
            return {QColor(40, 42, 46), QColor(36, 38, 41), QColor(50, 53, 58)};
        default:
            return {QColor(255, 140, 26), QColor(214, 104, 0), QColor(255, 170, 80)};
        }
    }
    switch (face) {
    case Face::over:
        return {QColor(66, 71, 79), QColor(48, 52, 58), withAlpha(kAccent, 210)};
    case Face::down:
        return {QColor(255, 148, 38), QColor(210, 104, 0), kAccentLight};
    case Face::disabled:
        return {QColor(36, 38, 42), QColor(33, 35, 38), QColor(44, 47, 52)};
    default:
        return {QColor(54, 58, 65), QColor(38, 41, 46), QColor(70, 75, 83)};
    }
}

QColor glyphColour(Face face) {
    switch (face) {
    case Face::over:
    case Face::down:
        return Qt::white;
    case Face::disabled:
        return kDim;
    default:
        return QColor(196, 200, 207);
    }
}

void drawButton(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    const BodyColours colours = buttonColours(control.look, face);
    fillRounded(p, r, 6, vertical(r, colours.top, colours.bottom));
    strokeRounded(p, r, 6, colours.border);
    if (face != Face::disabled) {
        p.setPen(QPen(withAlpha(Qt::white, 40), 1));
        p.drawLine(QPointF(r.left() + 6, r.top() + 1.5), QPointF(r.right() - 6, r.top() + 1.5));
    }
    if (control.look == Look::recordButton) {
        const QPointF dot(r.left() + 16, r.center().y());
        const QColor red = face == Face::disabled ? QColor(90, 40, 40) : QColor(235, 52, 45);
        if (face == Face::down) {
            p.setBrush(withAlpha(Qt::white, 90));
            p.setPen(Qt::NoPen);
            p.drawEllipse(dot, 8, 8);
        }
        p.setBrush(red);
        p.setPen(QPen(withAlpha(Qt::black, 80), 1));
        p.drawEllipse(dot, 5.5, 5.5);
        p.setBrush(Qt::NoBrush);
    }
    drawGlyph(p, r, control.glyph, glyphColour(face));
    if (!control.caption.empty()) {
        drawText(p, r, QString::fromStdString(control.caption), font(12, QFont::Bold),
                 face == Face::disabled ? kDim : kText);
    }
}

void drawTab(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    QColor top(40, 43, 49);
    QColor bottom(31, 33, 38);
    QColor bar(60, 64, 71);
    double barHeight = 2;
    switch (face) {
    case Face::over:
        top = QColor(54, 58, 65);
        bottom = QColor(40, 43, 49);
        bar = withAlpha(kAccent, 200);
        break;
    case Face::down:
        top = QColor(62, 56, 50);
        bottom = QColor(44, 40, 37);
        bar = kAccent;
        barHeight = 3;
        break;
    case Face::disabled:
        top = bottom = QColor(31, 33, 36);
        bar = QColor(40, 43, 47);
        break;
    default:
        break;
    }
    fillRounded(p, r, 5, vertical(r, top, bottom));
    strokeRounded(p, r, 5, face == Face::down ? withAlpha(kAccent, 150) : kEdge);
    const QRectF barRect(r.left() + 8, r.bottom() - barHeight - 2, r.width() - 16, barHeight);
    if (face == Face::down) {
        glow(p, barRect, 1, kAccent, 3, 120);
    }
    fillRounded(p, barRect, barHeight / 2, bar);
    if (!control.caption.empty()) {
        drawText(p, r.adjusted(0, 0, 0, -3), QString::fromStdString(control.caption),
                 font(13, QFont::Bold),
                 face == Face::disabled ? kDim
                 : face == Face::down   ? kAccentLight
                                        : kText);
    }
}

void drawWindowButton(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    QColor fill(38, 41, 47);
    if (face == Face::over) {
        fill = control.glyph == Glyph::close ? QColor(214, 56, 44) : QColor(58, 62, 70);
    } else if (face == Face::down) {
        fill = control.glyph == Glyph::close ? QColor(170, 40, 32) : kAccentDark;
    } else if (face == Face::disabled) {
        fill = QColor(30, 32, 36);
    }
    fillRounded(p, r, 5, fill);
    strokeRounded(p, r, 5, face == Face::normal ? QColor(50, 54, 60) : withAlpha(fill, 255));
    drawGlyph(p, r, control.glyph, glyphColour(face));
}

void drawIndicator(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    fillRounded(p, r, 4, vertical(r, QColor(20, 22, 25), QColor(14, 15, 17)));
    strokeRounded(p, r, 4, QColor(38, 41, 46));
    // The window shows a light that is off with the disabled face.
    const bool on = face != Face::disabled;
    drawText(p, QRectF(r.left(), r.top() + 2, r.width(), 11),
             QString::fromStdString(control.caption), font(8, QFont::Bold),
             face == Face::over ? kText
             : on               ? kMuted
                                : kDim);
    const QRectF led(r.center().x() - 7, r.bottom() - 9, 14, 4);
    if (on) {
        glow(p, led, 2, kAccent, 3, face == Face::down ? 230 : 150);
    }
    fillRounded(p, led, 2, on ? (face == Face::down ? kAccentLight : kAccent) : QColor(58, 38, 20));
}

void drawSwatch(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    QColor colour(static_cast<int>(control.colour >> 16 & 0xFF),
                  static_cast<int>(control.colour >> 8 & 0xFF),
                  static_cast<int>(control.colour & 0xFF));
    if (face == Face::disabled) {
        const int grey = qGray(colour.rgb()) / 3;
        colour = QColor(grey, grey, grey);
    }
    fillRounded(p, r, 6, QColor(16, 17, 19));
    const QRectF chip = r.adjusted(3, 3, -3, -3);
    fillRounded(p, chip, 4, colour);
    // A gloss on the upper half, as on a glass chip.
    fillRounded(p, QRectF(chip.left(), chip.top(), chip.width(), chip.height() / 2), 4,
                vertical(chip, withAlpha(Qt::white, 90), withAlpha(Qt::white, 0)));
    if (face == Face::over) {
        strokeRounded(p, r, 6, Qt::white, 2);
    } else if (face == Face::down) {
        strokeRounded(p, r, 6, kAccent, 2.5);
    } else {
        strokeRounded(p, r, 6, QColor(50, 54, 60));
    }
}

void drawLogo(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    const QColor colour = face == Face::over       ? kAccent
                          : face == Face::down     ? kAccentDark
                          : face == Face::disabled ? kDim
                                                   : kText;
    if (face == Face::over || face == Face::down) {
        fillRounded(p, r, 6, withAlpha(face == Face::over ? Qt::white : kAccent, 16));
    }
    // A slanted mark in front of the name.
    QPainterPath mark;
    const double h = r.height() - 8;
    const double x = r.left() + 4;
    const double y = r.top() + 4;
    mark.moveTo(x + 8, y);
    mark.lineTo(x + 16, y);
    mark.lineTo(x + 8, y + h);
    mark.lineTo(x, y + h);
    mark.closeSubpath();
    p.fillPath(mark, face == Face::disabled ? kDim : kAccent);
    QFont f = font(19, QFont::Black, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    drawText(p, r.adjusted(24, 0, 0, 0), QString::fromStdString(control.caption), f, colour,
             Qt::AlignLeft | Qt::AlignVCenter);
}

void drawBadge(QPainter& p, const QRectF& r, const SkinControl& control, Face face) {
    const double radius = std::min(r.height() / 2, 8.0);
    fillRounded(p, r, radius,
                face == Face::over       ? QColor(34, 37, 42)
                : face == Face::disabled ? QColor(18, 19, 22)
                                         : QColor(24, 26, 30));
    strokeRounded(p, r, radius,
                  face == Face::down   ? kAccent
                  : face == Face::over ? QColor(78, 83, 92)
                                       : kEdge);
    drawGlyph(p, r, control.glyph,
              face == Face::disabled ? kDim
              : face == Face::down   ? kAccent
                                     : kMuted);
}

void drawPageIcon(QPainter& p, const QRectF& box, Page page, const QColor& colour) {
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (page) {
    case Page::key:
        drawGlyph(p, box, Glyph::keyboard, colour);
        break;
    case Page::macro:
    case Page::macroOnly:
        p.drawEllipse(box.center(), box.height() * 0.3, box.height() * 0.3);
        p.setBrush(colour);
        p.drawEllipse(box.center(), box.height() * 0.13, box.height() * 0.13);
        break;
    case Page::media: {
        const double s = box.height();
        const QPointF c = box.center();
        p.setBrush(colour);
        p.drawEllipse(QPointF(c.x() - 0.12 * s, c.y() + 0.18 * s), 0.1 * s, 0.08 * s);
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(c.x() - 0.03 * s, c.y() + 0.18 * s),
                   QPointF(c.x() - 0.03 * s, c.y() - 0.25 * s));
        p.drawLine(QPointF(c.x() - 0.03 * s, c.y() - 0.25 * s),
                   QPointF(c.x() + 0.2 * s, c.y() - 0.15 * s));
        break;
    }
    case Page::function:
        drawText(p, box, QStringLiteral("Fn"), font(box.height() * 0.42, QFont::Black), colour);
        break;
    case Page::none:
        break;
    }
    p.setBrush(Qt::NoBrush);
}

void drawBanner(QPainter& p, const QRectF& r, Face face, Page page) {
    const bool strong = page == Page::macroOnly;
    const int lift = face == Face::over || face == Face::down ? 10 : 0;
    QLinearGradient fill(r.topLeft(), r.topRight());
    fill.setColorAt(0, strong ? QColor(78 + lift, 40 + lift, 10 + lift)
                              : QColor(52 + lift, 38 + lift, 26 + lift));
    fill.setColorAt(0.45, QColor(30 + lift, 32 + lift, 37 + lift));
    fill.setColorAt(1, QColor(24 + lift, 26 + lift, 30 + lift));
    fillRounded(p, r, 6, fill);
    // Diagonal stripes towards the right end give the page picture some texture.
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(r, 6, 6);
    p.setClipPath(clip);
    p.setPen(QPen(withAlpha(Qt::white, 9), 6));
    for (double x = r.right() - 150; x < r.right() + 40; x += 14) {
        p.drawLine(QPointF(x, r.bottom()), QPointF(x + r.height(), r.top()));
    }
    p.restore();
    fillRounded(p, QRectF(r.left(), r.top() + 6, 3, r.height() - 12), 1.5,
                face == Face::disabled ? kDim : kAccent);
    strokeRounded(p, r, 6, face == Face::down ? withAlpha(kAccent, 160) : kEdge);
    const QColor iconColour = face == Face::disabled ? kDim : kAccent;
    drawPageIcon(p, QRectF(r.left() + 10, r.top() + 4, 36, r.height() - 8), page, iconColour);
}

void drawPlate(QPainter& p, const QRectF& r, Face face) {
    fillRounded(p, r, 5, vertical(r, QColor(22, 24, 27), QColor(16, 17, 20)));
    strokeRounded(p, r, 5,
                  face == Face::down   ? withAlpha(kAccent, 170)
                  : face == Face::over ? QColor(70, 75, 83)
                                       : kEdge);
    fillRounded(p, QRectF(r.left() + 6, r.top() + 6, 3, r.height() - 12), 1.5,
                face == Face::disabled ? kDim : kAccent);
}

void drawImageButton(QPainter& p, const QRectF& r, const SkinControl& control, Face face,
                     Page page) {
    p.setRenderHint(QPainter::Antialiasing);
    if (control.look == Look::keyCap || control.look == Look::macroKey) {
        drawKeyCap(p, r, control, face);
        return;
    }
    // The per-key light looks change only the keys.
    const Face own = isLight(face) ? Face::normal : face;
    switch (control.look) {
    case Look::tab:
        drawTab(p, r, control, own);
        break;
    case Look::windowButton:
        drawWindowButton(p, r, control, own);
        break;
    case Look::indicator:
        drawIndicator(p, r, control, own);
        break;
    case Look::swatch:
        drawSwatch(p, r, control, own);
        break;
    case Look::logo:
        drawLogo(p, r, control, own);
        break;
    case Look::badge:
        drawBadge(p, r, control, own);
        break;
    case Look::banner:
        drawBanner(p, r, own, page);
        break;
    case Look::plate:
        drawPlate(p, r, own);
        break;
    default:
        drawButton(p, r, control, own);
        break;
    }
}

// ---- Background ----------------------------------------------------------------------------

void drawWordmark(QPainter& p, const QRectF& r, int pixels, const QColor& colour) {
    QFont f = font(pixels, QFont::Black, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, pixels / 4.0);
    drawText(p, r, QStringLiteral("VELKAN"), f, colour);
}

void drawKeyboardBody(QPainter& p, const SkinWindow& window, const QRectF& r) {
    // Shadow under the case, then the case with a bevelled rim, then the plate.
    for (int i = 6; i >= 1; --i) {
        fillRounded(p, r.adjusted(-i, -i + 3, i, i + 3), 14 + i, withAlpha(Qt::black, 14));
    }
    fillRounded(p, r, 14, vertical(r, QColor(50, 54, 60), QColor(22, 24, 27)));
    fillRounded(p, r.adjusted(2, 2, -2, -2), 12,
                vertical(r, QColor(36, 39, 44), QColor(20, 22, 25)));
    strokeRounded(p, r, 14, QColor(62, 66, 74));
    const QRectF plate = r.adjusted(6, 8, -6, -16);
    fillRounded(p, plate, 8, vertical(plate, QColor(10, 11, 12), QColor(16, 17, 19)));
    strokeRounded(p, plate, 8, withAlpha(Qt::black, 200));
    // A light strip along the front edge and the name on the case.
    const QRectF strip(r.left() + 40, r.bottom() - 5, r.width() - 80, 2);
    glow(p, strip, 1, kAccent, 3, 90);
    fillRounded(p, strip, 1, withAlpha(kAccent, 200));
    drawWordmark(p, QRectF(r.center().x() - 60, r.bottom() - 17, 120, 11), 9, QColor(70, 75, 83));

    // A socket under every key with the backlight bleeding out around it.
    for (const auto& control : window.controls) {
        if (control.look != Look::keyCap && control.look != Look::macroKey) {
            continue;
        }
        const QRectF key = toQt(control.rect);
        glow(p, key, 5, kAccent, 4, 100);
        fillRounded(p, key.adjusted(-1, -1, 1, 1), 6, QColor(5, 5, 6));
    }
}

void drawCard(QPainter& p, const QRectF& r, Glyph emblem) {
    fillRounded(p, r.translated(0, 2), 10, withAlpha(Qt::black, 70));
    fillRounded(p, r, 10, vertical(r, QColor(31, 34, 39), QColor(23, 25, 29)));
    strokeRounded(p, r, 10, QColor(44, 48, 54));
    fillRounded(p, QRectF(r.left() + 14, r.top(), 44, 2), 1, kAccent);
    drawGlyph(p, QRectF(r.right() - 34, r.top() + 8, 28, 28), emblem, QColor(74, 79, 88));
}

void drawPanel(QPainter& p, const SkinWindow& window, const SkinPanel& panel) {
    const QRectF r = toQt(panel.rect);
    switch (panel.style) {
    case PanelStyle::titleBar: {
        p.fillRect(r, vertical(r, QColor(37, 40, 46), QColor(26, 28, 32)));
        QLinearGradient line(r.bottomLeft(), r.bottomRight());
        line.setColorAt(0, withAlpha(kAccent, 0));
        line.setColorAt(0.25, withAlpha(kAccent, 220));
        line.setColorAt(0.75, withAlpha(kAccent, 220));
        line.setColorAt(1, withAlpha(kAccent, 0));
        p.fillRect(QRectF(r.left(), r.bottom() - 2, r.width(), 2), line);
        break;
    }
    case PanelStyle::toolbar:
        p.fillRect(r, vertical(r, QColor(24, 26, 30), QColor(20, 22, 25)));
        p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), QColor(36, 39, 44));
        break;
    case PanelStyle::keyboardBody:
        drawKeyboardBody(p, window, r);
        break;
    case PanelStyle::card:
        drawCard(p, r, panel.emblem);
        break;
    case PanelStyle::pageArea:
        fillRounded(p, r, 8, vertical(r, QColor(27, 29, 34), QColor(22, 24, 28)));
        strokeRounded(p, r, 8, QColor(42, 45, 51));
        break;
    case PanelStyle::footer:
        p.fillRect(r, vertical(r, QColor(22, 24, 28), QColor(17, 18, 21)));
        p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), QColor(40, 43, 48));
        break;
    }
}

// A recess framing a control that draws itself.
void drawField(QPainter& p, const QRectF& r) {
    const QRectF outer = r.adjusted(-2, -2, 2, 2);
    fillRounded(p, outer, 5, vertical(outer, QColor(6, 6, 7), QColor(14, 15, 17)));
    strokeRounded(p, outer, 5, QColor(48, 52, 58));
    fillRounded(p, r, 3, kRecess);
}

QImage paintBackground(const SkinWindow& window) {
    QImage image(window.width, window.height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(0, 0, window.width, window.height);
    p.fillRect(all, vertical(all, QColor(28, 30, 35), QColor(16, 17, 20)));
    // A fine diagonal weave over the whole window.
    p.setPen(QPen(withAlpha(Qt::white, 5), 1));
    for (int x = -window.height; x < window.width; x += 4) {
        p.drawLine(QPointF(x, 0), QPointF(x + window.height, window.height));
    }
    for (const auto& panel : window.panels) {
        drawPanel(p, window, panel);
    }
    // Windows without a title control carry the name in their title bar.
    if (findControl(window, "CONTROL_TITLE") == nullptr &&
        findControl(window, "VOLTRA_LINK") == nullptr) {
        drawWordmark(p, QRectF(16, 10, 120, 20), 15, kText);
        fillRounded(p, QRectF(16, 31, 30, 2), 1, kAccent);
    }
    // Fields of controls that share a place are drawn once.
    std::set<std::tuple<int, int, int, int>> drawn;
    for (const auto& control : window.controls) {
        const auto& r = control.rect;
        if (control.look == Look::field && drawn.insert({r.x, r.y, r.w, r.h}).second) {
            drawField(p, toQt(r));
        }
    }
    strokeRounded(p, all, window.cornerRadius, QColor(66, 71, 79));
    return image;
}

QImage paintOutline(const SkinWindow& window) {
    // Hard edges: a grey pixel of a smoothed edge would be neither inside nor cleanly outside.
    QImage image(window.width, window.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, window.width, window.height), window.cornerRadius,
                         window.cornerRadius);
    p.fillPath(shape, Qt::black);
    return image;
}

// ---- Pictures of single controls -----------------------------------------------------------

QImage crop(const QImage& image, const SkinRect& r) {
    return image.copy(r.x, r.y, r.w, r.h);
}

QImage paintWindowState(const SkinWindow& window, Face face, Page page) {
    const QImage background = paintBackground(window);
    QImage image = background;
    QPainter p(&image);
    for (const auto& control : window.controls) {
        if (control.kind != ControlKind::imageButton) {
            continue;
        }
        // The button shows its face where it stands, so what lies around a rounded face must
        // be the background under the button, not under the face's place in the picture.
        const SkinRect& r = control.rect;
        const QRectF at(r.x - 1, r.y - 1, r.w, r.h);
        p.drawImage(at.topLeft(), crop(background, r));
        // Nothing of a face may reach a neighbour's: a glow ends at the button's edge.
        p.save();
        p.setClipRect(at);
        drawImageButton(p, at, control, face, page);
        p.restore();
    }
    return image;
}

QImage paintArrowSheet(const SkinWindow& window) {
    const QImage background = paintBackground(window);
    int width = 0;
    int height = 0;
    for (const auto& cell : window.spriteCells) {
        width = std::max(width, cell.cell.x + cell.cell.w);
        height = std::max(height, cell.cell.y + cell.cell.h);
    }
    QImage sheet(width + 4, height + 4, QImage::Format_RGB32);
    sheet.fill(QColor(23, 25, 29));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& cell : window.spriteCells) {
        const SkinControl* sprite = findControl(window, cell.spriteKey);
        if (sprite == nullptr) {
            continue;
        }
        const QRectF r = toQt(cell.cell);
        p.drawImage(r.topLeft(), crop(background, sprite->rect));
        SkinControl face = *sprite;
        face.glyph = cell.spriteKey.find("LEFT") != std::string::npos ? Glyph::left : Glyph::right;
        drawButton(p, r, face, cell.pressed ? Face::down : Face::normal);
        if (cell.lit) {
            strokeRounded(p, r, 6, cell.pressed ? QColor(255, 226, 178) : kAccent, 1.5);
            drawGlyph(p, r, face.glyph, cell.pressed ? QColor(255, 226, 178) : kAccent);
        }
    }
    return sheet;
}

void drawLamp(QPainter& p, const QRectF& r, bool on) {
    const QRectF track = r.adjusted(2, 3, -2, -3);
    const double radius = track.height() / 2;
    if (on) {
        glow(p, track, radius, kAccent, 2, 120);
    }
    fillRounded(p, track, radius,
                on ? vertical(track, kAccentLight, kAccentDark)
                   : vertical(track, QColor(14, 15, 17), QColor(34, 37, 42)));
    strokeRounded(p, track, radius, on ? kAccentLight : QColor(56, 60, 67));
    const double knob = track.height() - 4;
    const QRectF knobRect(on ? track.right() - knob - 2 : track.left() + 2, track.top() + 2, knob,
                          knob);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(knobRect, QColor(250, 250, 250), QColor(186, 190, 197)));
    p.drawEllipse(knobRect);
    p.setBrush(Qt::NoBrush);
}

void drawBusyFrame(QPainter& p, const QRectF& r, int frame) {
    fillRounded(p, r, r.height() / 2, QColor(10, 11, 12));
    strokeRounded(p, r, r.height() / 2, QColor(48, 52, 58));
    const double run = r.width() / 3;
    const double start = r.left() - run + (r.width() + run) * frame / 10.0;
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(r.adjusted(2, 2, -2, -2), r.height() / 2 - 2, r.height() / 2 - 2);
    p.setClipPath(clip);
    QLinearGradient sweep(QPointF(start, 0), QPointF(start + run, 0));
    sweep.setColorAt(0, withAlpha(kAccent, 0));
    sweep.setColorAt(0.7, kAccent);
    sweep.setColorAt(1, kAccentLight);
    p.fillRect(QRectF(start, r.top(), run, r.height()), sweep);
    p.restore();
}

void drawSliderTrack(QPainter& p, const QRectF& r) {
    const QRectF groove(r.left() + kThumbWidth / 2.0 - 1, r.center().y() - 3,
                        r.width() - kThumbWidth + 2, 6);
    fillRounded(p, groove, 3, vertical(groove, QColor(4, 4, 5), QColor(18, 19, 22)));
    strokeRounded(p, groove, 3, QColor(52, 56, 62));
    p.setPen(QPen(QColor(60, 64, 71), 1));
    // Under the thumb's centre at every fifth brightness step and every speed step.
    for (int tick = 0; tick <= 5; ++tick) {
        const double x = kThumbWidth / 2.0 + (r.width() - kThumbWidth) * tick / 5.0;
        p.drawLine(QPointF(x, groove.bottom() + 4), QPointF(x, groove.bottom() + 7));
    }
}

QImage paintSliderThumb(const SkinRect& slider) {
    QImage image(kThumbWidth, slider.h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF knob(1, 3, 12, slider.h - 6);
    fillRounded(p, knob.translated(0, 1), 4, withAlpha(Qt::black, 120));
    fillRounded(p, knob, 4, vertical(knob, QColor(236, 238, 241), QColor(160, 165, 173)));
    strokeRounded(p, knob, 4, QColor(90, 95, 103));
    fillRounded(p, QRectF(6, knob.top() + 5, 2, knob.height() - 10), 1, kAccent);
    return image;
}

QImage paintControlPicture(const SkinWindow& window, const SkinPicture& picture) {
    const SkinControl* control = findControl(window, picture.sizeFrom);
    if (control == nullptr) {
        return {};
    }
    if (picture.content == PictureContent::sliderThumb) {
        return paintSliderThumb(control->rect);
    }
    // Shown by a control over the window, so drawn over the background it covers.
    QImage image = crop(paintBackground(window), control->rect);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, image.width(), image.height());
    switch (picture.content) {
    case PictureContent::lampOn:
    case PictureContent::lampOff:
        drawLamp(p, r, picture.content == PictureContent::lampOn);
        break;
    case PictureContent::busyFrame:
        drawBusyFrame(p, r, picture.frame);
        break;
    case PictureContent::sliderTrack:
        drawSliderTrack(p, r);
        break;
    default:
        break;
    }
    return image;
}

} // namespace

QImage paintPicture(const SkinWindow& window, const SkinPicture& picture) {
    switch (picture.content) {
    case PictureContent::background:
        return paintBackground(window);
    case PictureContent::outline:
        return paintOutline(window);
    case PictureContent::windowState:
        return paintWindowState(window, picture.face, picture.page);
    case PictureContent::arrowSheet:
        return paintArrowSheet(window);
    default:
        return paintControlPicture(window, picture);
    }
}

} // namespace velkan::skingen
