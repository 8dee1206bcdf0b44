#include "app/busy_indicator.h"

#include "skin/skin_layout.h"

#include <string>
#include <utility>

namespace velkan::app {

namespace {
constexpr int kFrameMs = 50;
constexpr int kLingerMs = 100;
constexpr int kFrameCount = 10;
} // namespace

std::vector<QPixmap> BusyIndicator::skinFrames(const std::filesystem::path& skinFolder) {
    std::vector<QPixmap> frames;
    for (int frame = 1; frame <= kFrameCount; ++frame) {
        QPixmap picture = skin::skinPicture(skinFolder / ("jdt" + std::to_string(frame) + ".bmp"));
        if (picture.isNull()) {
            return {};
        }
        frames.push_back(std::move(picture));
    }
    return frames;
}

BusyIndicator::BusyIndicator(std::vector<QPixmap> frames, QWidget* parent)
    : QLabel(parent), frames_(std::move(frames)) {
    hide();
    frameTimer_.setInterval(kFrameMs);
    connect(&frameTimer_, &QTimer::timeout, this, &BusyIndicator::nextFrame);
    lingerTimer_.setSingleShot(true);
    lingerTimer_.setInterval(kLingerMs);
    connect(&lingerTimer_, &QTimer::timeout, this, [this] {
        frameTimer_.stop();
        hide();
    });
}

void BusyIndicator::setBusy(bool busy) {
    if (!busy) {
        lingerTimer_.start();
        return;
    }
    lingerTimer_.stop();
    if (!frameTimer_.isActive()) {
        frame_ = 0;
        nextFrame();
        frameTimer_.start();
    }
    show();
}

void BusyIndicator::nextFrame() {
    if (frames_.empty()) {
        return;
    }
    setPixmap(frames_[frame_]);
    frame_ = (frame_ + 1) % frames_.size();
}

} // namespace velkan::app
