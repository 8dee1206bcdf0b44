// A slider of a fixed number of positions drawn from the skin's pictures: a track and a thumb.
// Without pictures it draws a plain track of its own. The
// window hears of every move while the user drags or steps it, and of the release that ends it.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

namespace velkan::widgets {

class SkinSlider : public QWidget {
    Q_OBJECT

public:
    using PositionHandler = std::function<void(int position, bool released)>;

    // Fewer than one position is taken as one.
    explicit SkinSlider(int positionCount, QWidget* parent = nullptr);

    int positionCount() const { return count_; }
    int position() const { return position_; }
    // The user holds the thumb.
    bool dragging() const { return dragging_; }
    // The window's own setting, clamped to the positions; the handler is not told.
    void setPosition(int position);
    void setPositionHandler(PositionHandler handler);

    // A null picture falls back to the drawn look for that part.
    void setPictures(const QPixmap& track, const QPixmap& thumb);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    int thumbWidth() const;
    int thumbLeft() const;
    int positionAt(int x) const;
    std::optional<int> keyTarget(int key) const;
    void moveTo(int position);
    void drawFallbackTrack(QPainter& painter) const;
    void drawFallbackThumb(QPainter& painter) const;

    int count_;
    int position_ = 0;
    bool dragging_ = false;
    PositionHandler handler_;
    QPixmap track_;
    QPixmap thumb_;
};

} // namespace velkan::widgets
