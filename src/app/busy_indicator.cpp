#include "app/busy_indicator.h"

#include <utility>

namespace velkan::app {

namespace {
constexpr int kFrameMs = 50;
constexpr int kLingerMs = 100;
} // namespace

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
