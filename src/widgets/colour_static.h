// A colour swatch in a frame that the user clicks to choose a colour.
#pragma once

#include <QColor>
#include <QWidget>

namespace velkan::widgets {

class ColourStatic : public QWidget {
    Q_OBJECT

public:
    explicit ColourStatic(QWidget* parent = nullptr);

    QColor colour() const { return colour_; }
    // An invalid colour shows a hatched swatch: no colour chosen.
    void setColour(const QColor& colour);

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor colour_;
    bool pressed_ = false;
};

} // namespace velkan::widgets
