#include "skin/skinned_dialog.h"

#include "skin/skin_layout.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QWindow>
#include <QtGlobal>
#include <limits>
#include <utility>
#include <vector>

namespace velkan::skin {
namespace {

// Runs are turned into a region a batch at a time, so a finely cut outline never needs one
// rectangle list the size of the picture.
constexpr std::size_t kRunsPerBatch = 2000;

bool isTransparent(QRgb pixel) {
    return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255;
}

// The runs of one row are in order and never touch, which is the form a region takes its
// rectangles in directly.
QRegion regionOfRuns(const std::vector<QRect>& runs) {
    QRegion region;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    region.setRects(runs);
#else
    region.setRects(runs.data(), static_cast<int>(runs.size()));
#endif
    return region;
}

} // namespace

QRegion outlineRegion(const QImage& outline) {
    const QImage pixels = outline.convertToFormat(QImage::Format_RGB32);
    QRegion region;
    std::vector<QRect> batch;
    batch.reserve(kRunsPerBatch);
    const auto addRun = [&](int y, int start, int end) {
        batch.emplace_back(start, y, end - start, 1);
        if (batch.size() == kRunsPerBatch) {
            region = region.united(regionOfRuns(batch));
            batch.clear();
        }
    };
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        int x = 0;
        while (x < pixels.width()) {
            while (x < pixels.width() && isTransparent(row[x])) {
                ++x;
            }
            const int start = x;
            while (x < pixels.width() && !isTransparent(row[x])) {
                ++x;
            }
            if (x > start) {
                addRun(y, start, x);
            }
        }
    }
    if (!batch.empty()) {
        region = region.united(regionOfRuns(batch));
    }
    return region;
}

QImage renderWithShape(QWidget& window) {
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QRegion shape = window.mask().isEmpty() ? QRegion(window.rect()) : window.mask();
    window.render(&image, QPoint(), shape);
    return image;
}

SkinnedDialog::SkinnedDialog(QWidget* parent, std::filesystem::path iniPath,
                             std::filesystem::path iniFolder)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), iniPath_(std::move(iniPath)),
      iniFolder_(std::move(iniFolder)) {
    // The background picture covers every pixel; erasing first would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool SkinnedDialog::initialise() {
    if (!loadSkin()) {
        return false;
    }
    if (initialised_) {
        return true;
    }
    initialised_ = true;
    return onInitDialog();
}

bool SkinnedDialog::loadSkin() {
    const SkinScreen screen = readSkinScreen(iniPath_);
    const auto backgroundPath = skinFilePath(iniFolder_, screen.background);
    auto background = loadSkinImage(backgroundPath);
    if (!background) {
        failOnMissingSkinPicture(backgroundPath);
        return false;
    }
    const auto outlinePath = skinFilePath(iniFolder_, screen.outline);
    const auto outline = loadSkinImage(outlinePath);
    if (!outline) {
        failOnMissingSkinPicture(outlinePath);
        return false;
    }
    background_ = std::move(*background);
    resize(background_.size());
    setMask(outlineRegion(*outline));
    return true;
}

void SkinnedDialog::reloadTexts(int) {}

void SkinnedDialog::setVisible(bool visible) {
    if (visible && background_.isNull()) {
        initialise();
    }
    QDialog::setVisible(visible);
}

void SkinnedDialog::accept() {
    background_ = QImage();
    QDialog::accept();
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(QPoint(0, 0), background_);
}

void SkinnedDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    dragOffset_.reset();
    // The window system moves the window best where it can; elsewhere the drag is followed
    // here.
    if (QWindow* window = windowHandle(); window != nullptr && window->startSystemMove()) {
        return;
    }
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void SkinnedDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *dragOffset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void SkinnedDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_.reset();
    }
    QDialog::mouseReleaseEvent(event);
}

} // namespace velkan::skin
