// The main window's busy indicator: a strip of pictures that runs while the keyboard controller
// works, and lingers a moment after, so a short job still shows.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <vector>

namespace velkan::app {

class BusyIndicator : public QLabel {
    Q_OBJECT

public:
    BusyIndicator(std::vector<QPixmap> frames, QWidget* parent);

    void setBusy(bool busy);

private:
    void nextFrame();

    std::vector<QPixmap> frames_;
    std::size_t frame_ = 0;
    QTimer frameTimer_;
    QTimer lingerTimer_;
};

} // namespace velkan::app
