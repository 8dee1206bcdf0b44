#include "widgets/skin_item_delegate.h"

#include "widgets/skin_look.h"

#include <QPainter>
#include <algorithm>

namespace velkan::widgets {

namespace {

constexpr int kTextInset = 4;
constexpr int kRowPadding = 6;

} // namespace

void SkinItemDelegate::setColumnTextColour(int column, const QColor& colour) {
    if (colour.isValid()) {
        columnColours_.insert(column, colour);
    } else {
        columnColours_.remove(column);
    }
}

void SkinItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const bool enabled = (item.state & QStyle::State_Enabled) != 0;
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    const bool alternate = (item.features & QStyleOptionViewItem::Alternate) != 0;

    QRgb background = alternate ? kSkinFieldAlternate : kSkinField;
    if (selected) {
        background = kSkinSelection;
    } else if (enabled && (item.state & QStyle::State_MouseOver) != 0) {
        background = kSkinHeader;
    }
    painter->fillRect(item.rect, QColor(background));

    QColor text(kSkinText);
    if (!enabled) {
        text = QColor(kSkinDisabledText);
    } else if (selected) {
        text = QColor(kSkinSelectedText);
    } else if (const auto found = columnColours_.constFind(index.column());
               found != columnColours_.constEnd()) {
        text = found.value();
    }
    const QRect textRect = item.rect.adjusted(kTextInset, 0, -kTextInset, 0);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(text);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      item.fontMetrics.elidedText(item.text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize SkinItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    return {item.fontMetrics.horizontalAdvance(item.text) + 2 * kTextInset,
            std::max(item.fontMetrics.height() + kRowPadding, 18)};
}

} // namespace velkan::widgets
