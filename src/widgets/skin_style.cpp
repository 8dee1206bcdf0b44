#include "widgets/skin_style.h"

#include "widgets/skin_look.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOption>
#include <algorithm>
#include <utility>

namespace velkan::widgets {

namespace {

constexpr int kMenuCheckColumn = 24;
constexpr int kMenuArrowColumn = 18;
constexpr int kMenuShortcutGap = 16;
constexpr int kMenuItemPadding = 8;
constexpr int kMenuItemMinHeight = 22;
constexpr int kMenuSeparatorHeight = 7;

void drawTriangle(QPainter& painter, const QRect& area, Qt::ArrowType direction,
                  const QColor& colour) {
    const int half = std::max(2, std::min(area.width(), area.height()) / 4);
    const QPointF centre = QRectF(area).center();
    const double x = centre.x();
    const double y = centre.y();
    const double h = half;
    QPainterPath path;
    if (direction == Qt::RightArrow) {
        path.moveTo(x - h / 2, y - h);
        path.lineTo(x + h / 2, y);
        path.lineTo(x - h / 2, y + h);
    } else {
        path.moveTo(x - h, y - h / 2);
        path.lineTo(x + h, y - h / 2);
        path.lineTo(x, y + h / 2);
    }
    path.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, colour);
    painter.restore();
}

void drawFrame(QPainter& painter, const QRect& rect, QRgb colour) {
    painter.save();
    painter.setPen(QColor(colour));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

// The default item of a menu is shown in bold, whatever font its action carries.
QFont menuItemFont(const QStyleOptionMenuItem& item) {
    QFont font = item.font;
    if (item.menuItemType == QStyleOptionMenuItem::DefaultItem) {
        font.setBold(true);
    }
    return font;
}

// A menu item's text carries its shortcut after a tab.
std::pair<QString, QString> splitMenuText(const QString& text) {
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) {
        return {text, QString()};
    }
    return {text.left(tab), text.mid(tab + 1)};
}

void drawCheckMark(QPainter& painter, const QRect& column, bool exclusive, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(column).center();
    if (exclusive) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(centre, 3.5, 3.5);
    } else {
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(centre.x() - 4.5, centre.y());
        tick.lineTo(centre.x() - 1.5, centre.y() + 3.5);
        tick.lineTo(centre.x() + 4.5, centre.y() - 3.5);
        painter.drawPath(tick);
    }
    painter.restore();
}

void drawMenuItem(const QStyle& style, const QStyleOptionMenuItem& item, QPainter& painter) {
    const QRect rect = item.rect;
    painter.fillRect(rect, QColor(kSkinField));
    if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = rect.center().y();
        painter.setPen(QColor(kSkinFrame));
        painter.drawLine(rect.left() + kMenuCheckColumn, y, rect.right() - 4, y);
        return;
    }
    const bool enabled = (item.state & QStyle::State_Enabled) != 0;
    const bool selected = enabled && (item.state & QStyle::State_Selected) != 0;
    if (selected) {
        painter.fillRect(rect.adjusted(1, 0, -1, 0), QColor(kSkinSelection));
    }
    const QColor textColour(!enabled   ? kSkinDisabledText
                            : selected ? kSkinSelectedText
                                       : kSkinText);

    const QRect checkColumn(rect.left(), rect.top(), kMenuCheckColumn, rect.height());
    if (item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked) {
        drawCheckMark(painter, checkColumn, item.checkType == QStyleOptionMenuItem::Exclusive,
                      selected ? textColour : QColor(kSkinAccent));
    }

    const auto [label, shortcut] = splitMenuText(item.text);
    const QRect textRect = rect.adjusted(kMenuCheckColumn, 0, -kMenuArrowColumn, 0);
    int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    flags |= style.styleHint(QStyle::SH_UnderlineShortcut, &item) != 0 ? Qt::TextShowMnemonic
                                                                       : Qt::TextHideMnemonic;
    painter.save();
    painter.setFont(menuItemFont(item));
    painter.setPen(textColour);
    painter.drawText(textRect, flags | Qt::AlignLeft, label);
    if (!shortcut.isEmpty()) {
        painter.drawText(textRect, flags | Qt::AlignRight, shortcut);
    }
    painter.restore();

    if (item.menuItemType == QStyleOptionMenuItem::SubMenu) {
        const QRect arrow(rect.right() - kMenuArrowColumn + 1, rect.top(), kMenuArrowColumn,
                          rect.height());
        drawTriangle(painter, arrow, Qt::RightArrow, textColour);
    }
}

QSize menuItemSize(const QStyleOptionMenuItem& item) {
    if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        return {kMenuCheckColumn, kMenuSeparatorHeight};
    }
    const QFontMetrics metrics(menuItemFont(item));
    const auto [label, shortcut] = splitMenuText(item.text);
    int width =
        kMenuCheckColumn + metrics.size(Qt::TextShowMnemonic, label).width() + kMenuArrowColumn;
    if (!shortcut.isEmpty()) {
        width += kMenuShortcutGap +
                 std::max(item.reservedShortcutWidth, metrics.horizontalAdvance(shortcut));
    }
    return {width, std::max(metrics.height() + kMenuItemPadding, kMenuItemMinHeight)};
}

} // namespace

SkinStyle::SkinStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

void SkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* painter, const QWidget* widget) const {
    switch (element) {
    case PE_FrameFocusRect:
        // Focus is shown by the accent frame of each widget, not by dotted rectangles.
        return;
    case PE_PanelMenu:
        painter->fillRect(option->rect, QColor(kSkinField));
        return;
    case PE_FrameMenu:
        drawFrame(*painter, option->rect, kSkinFrame);
        return;
    case PE_PanelLineEdit: {
        painter->fillRect(option->rect, QColor(kSkinField));
        const auto* edit = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (edit != nullptr && edit->lineWidth > 0) {
            drawFrame(*painter, option->rect,
                      (option->state & State_HasFocus) != 0 ? kSkinAccent : kSkinFrame);
        }
        return;
    }
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void SkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
    switch (element) {
    case CE_MenuItem:
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            drawMenuItem(*this, *item, *painter);
            return;
        }
        break;
    case CE_MenuEmptyArea:
        painter->fillRect(option->rect, QColor(kSkinField));
        return;
    case CE_HeaderSection: {
        const QRect rect = option->rect;
        painter->fillRect(rect, QColor(kSkinHeader));
        painter->save();
        painter->setPen(QColor(kSkinFrame));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->restore();
        return;
    }
    case CE_HeaderEmptyArea:
        painter->fillRect(option->rect, QColor(kSkinHeader));
        return;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void SkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   QPainter* painter, const QWidget* widget) const {
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || combo == nullptr) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const bool enabled = (combo->state & State_Enabled) != 0;
    const bool lit = enabled && (combo->state & (State_HasFocus | State_MouseOver | State_On)) != 0;
    painter->fillRect(combo->rect, QColor(enabled ? kSkinField : kSkinWindow));
    drawFrame(*painter, combo->rect, lit ? kSkinAccent : kSkinFrame);
    const QRect arrow = subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget);
    drawTriangle(*painter, arrow, Qt::DownArrow, QColor(enabled ? kSkinAccent : kSkinDisabledText));
}

QSize SkinStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
    if (type == CT_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            return menuItemSize(*item);
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int SkinStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                           const QWidget* widget) const {
    switch (metric) {
    case PM_MenuPanelWidth:
        return 1;
    case PM_MenuHMargin:
        return 0;
    case PM_MenuVMargin:
        return 2;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int SkinStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    switch (hint) {
    case SH_ComboBox_Popup:
        // Lists drop down below the box instead of opening over it.
        return 0;
    case SH_ItemView_ShowDecorationSelected:
        return 1;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

QStyle* skinStyle() {
    static QPointer<SkinStyle> style;
    if (style.isNull()) {
        style = new SkinStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

} // namespace velkan::widgets
