// The main window's busy indicator: a strip of pictures that runs while the keyboard controller
// works, and lingers a moment after, so a short job still shows.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <filesystem>
#include <vector>

namespace velkan::app {

class BusyIndicator : public QLabel {
    Q_OBJECT

public:
    BusyIndicator(std::vector<QPixmap> frames, QWidget* parent);

    // The skin's strip, "jdt1.bmp" to "jdt10.bmp"; empty when one of them is missing.
    static std::vector<QPixmap> skinFrames(const std::filesystem::path& skinFolder);

    void setBusy(bool busy);

private:
    void nextFrame();

    std::vector<QPixmap> frames_;
    std::size_t frame_ = 0;
    QTimer frameTimer_;
    QTimer lingerTimer_;
};

} // namespace velkan::app
