// Draws the program's icons: the three tray images (no keyboard, keyboard connected, the
// alternate image the keyboard asks for) and the application icon, once at 256 pixels and
// once per size of the desktop's icon theme. Each size is drawn, not scaled, so the small
// ones keep a clear outline.
//
//   make_icons OUTDIR
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace {

// Every picture is laid out on a 64 x 64 grid and scaled to its size.
constexpr qreal kGrid = 64.0;
constexpr int kTrayImageSide = 64;
constexpr int kAppIconSide = 256;
constexpr std::array kThemeSides = {16, 22, 24, 32, 48, 64, 128, 256};

const QColor kBody(0x16, 0x18, 0x1d);
const QColor kOrange(0xff, 0x82, 0x00);
const QColor kCyan(0x2e, 0xc4, 0xff);

struct KeyGrid {
    int rows;    // rows of keys above the space bar row
    int columns; // keys in each of them
};

struct KeyboardLook {
    QColor body;
    QColor frame;
    QColor keys;
    std::optional<QColor> glow; // the light the keys throw below the keyboard
};

void drawGlow(QPainter& painter, const QRectF& body, const QColor& colour) {
    const QPointF centre(body.center().x(), body.bottom());
    QRadialGradient glow(centre, body.width() * 0.6);
    QColor inner = colour;
    inner.setAlpha(140);
    QColor outer = colour;
    outer.setAlpha(0);
    glow.setColorAt(0, inner);
    glow.setColorAt(1, outer);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, body.width() * 0.6, body.height() * 0.45);
}

void drawKey(QPainter& painter, const QRectF& key, const KeyboardLook& look) {
    QLinearGradient face(key.topLeft(), key.bottomLeft());
    face.setColorAt(0, look.keys.lighter(look.glow ? 135 : 110));
    face.setColorAt(1, look.keys);
    painter.setBrush(face);
    const qreal radius = key.height() * 0.25;
    painter.drawRoundedRect(key, radius, radius);
}

void drawKeyboard(QPainter& painter, const QRectF& body, const KeyboardLook& look,
                  const KeyGrid& grid) {
    if (look.glow) {
        drawGlow(painter, body, *look.glow);
    }
    const qreal frameWidth = body.height() * 0.07;
    painter.setPen(QPen(look.frame, frameWidth));
    painter.setBrush(look.body);
    const qreal radius = body.height() * 0.16;
    painter.drawRoundedRect(body, radius, radius);

    const QRectF inner =
        body.adjusted(frameWidth * 2, frameWidth * 2, -frameWidth * 2, -frameWidth * 2);
    const int rowCount = grid.rows + 1;
    const qreal pitchX = inner.width() / grid.columns;
    const qreal pitchY = inner.height() / rowCount;
    const qreal gap = std::min(pitchX, pitchY) * 0.22;
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            const QRectF cell(inner.left() + column * pitchX, inner.top() + row * pitchY, pitchX,
                              pitchY);
            drawKey(painter, cell.adjusted(gap / 2, gap / 2, -gap / 2, -gap / 2), look);
        }
    }
    // The space bar, centred in the last row, with a short key either side of it.
    const qreal top = inner.top() + grid.rows * pitchY + gap / 2;
    const qreal height = pitchY - gap;
    const int sideKeys = grid.columns >= 6 ? 2 : 1;
    for (int i = 0; i < sideKeys; ++i) {
        const qreal left = inner.left() + i * pitchX + gap / 2;
        const qreal right = inner.right() - (i + 1) * pitchX + gap / 2;
        drawKey(painter, QRectF(left, top, pitchX - gap, height), look);
        drawKey(painter, QRectF(right, top, pitchX - gap, height), look);
    }
    const QRectF space(inner.left() + sideKeys * pitchX + gap / 2, top,
                       inner.width() - 2 * sideKeys * pitchX - gap, height);
    drawKey(painter, space, look);
}

// A red badge with a white cross: no keyboard.
void drawCross(QPainter& painter) {
    const QPointF centre(49, 45);
    constexpr qreal kRadius = 12.5;
    painter.setPen(QPen(QColor(0x0d, 0x0e, 0x11), 2.5));
    painter.setBrush(QColor(0xd8, 0x3a, 0x3a));
    painter.drawEllipse(centre, kRadius, kRadius);
    constexpr qreal kArm = 5.2;
    painter.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + QPointF(-kArm, -kArm), centre + QPointF(kArm, kArm));
    painter.drawLine(centre + QPointF(-kArm, kArm), centre + QPointF(kArm, -kArm));
}

QImage canvas(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter& painter, int side) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / kGrid, side / kGrid);
}

QImage trayImage(const KeyboardLook& look, bool crossed) {
    QImage image = canvas(kTrayImageSide);
    QPainter painter(&image);
    prepare(painter, kTrayImageSide);
    // Wide enough to read as a keyboard, tall enough to stay more than a line at 16 pixels.
    drawKeyboard(painter, QRectF(3, 14, 58, 36), look, KeyGrid{2, 5});
    if (crossed) {
        drawCross(painter);
    }
    return image;
}

QImage appIcon(int side) {
    QImage image = canvas(side);
    QPainter painter(&image);
    prepare(painter, side);
    const QRectF tile(2, 2, 60, 60);
    QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
    shade.setColorAt(0, QColor(0x2b, 0x2f, 0x38));
    shade.setColorAt(1, QColor(0x0d, 0x0e, 0x11));
    painter.setPen(QPen(kOrange, 1.2));
    painter.setBrush(shade);
    painter.drawRoundedRect(tile.adjusted(0.6, 0.6, -0.6, -0.6), 12, 12);

    // The small sizes get fewer, larger keys, so they stay keys and not a blur.
    const KeyGrid grid = side <= 24 ? KeyGrid{1, 4} : side <= 48 ? KeyGrid{2, 6} : KeyGrid{3, 9};
    const KeyboardLook look{kBody, kOrange, QColor(0xe4, 0xe4, 0xe4), kOrange};
    drawKeyboard(painter, QRectF(7, 19, 50, 28), look, grid);
    return image;
}

bool save(const QImage& image, const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTDIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));

    // Grey but not dark: it must still be seen on a dark panel.
    const KeyboardLook absent{QColor(0x2a, 0x2d, 0x33), QColor(0x7a, 0x7d, 0x84),
                              QColor(0x8c, 0x8f, 0x96), std::nullopt};
    const KeyboardLook connected{kBody, kOrange, kOrange, kOrange};
    const KeyboardLook alternate{kBody, kCyan, kCyan, kCyan};
    bool written = save(trayImage(absent, true), out.filePath("tray_128.png")) &&
                   save(trayImage(connected, false), out.filePath("tray_141.png")) &&
                   save(trayImage(alternate, false), out.filePath("tray_142.png")) &&
                   save(appIcon(kAppIconSide), out.filePath("velkan.png"));
    for (const int side : kThemeSides) {
        const QString path = QStringLiteral("hicolor/%1x%1/apps/velkan.png").arg(side);
        written = written && save(appIcon(side), out.filePath(path));
    }
    return written ? 0 : 1;
}
