// The style behind the skinned widgets: the platform-neutral Fusion style with the parts that
// make up the skin's look drawn by hand (menus, combo boxes, list headers, edit fields).
#pragma once

#include <QProxyStyle>

namespace velkan::widgets {

class SkinStyle : public QProxyStyle {
public:
    SkinStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

// One style for all skinned widgets, owned by the application object.
QStyle* skinStyle();

} // namespace velkan::widgets
