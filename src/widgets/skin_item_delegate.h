// Draws the rows of skinned lists and of the lists that drop down from skinned combo boxes:
// flat rows on the skin's background, the selection in the accent colour.
#pragma once

#include <QColor>
#include <QHash>
#include <QStyledItemDelegate>

namespace velkan::widgets {

class SkinItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Text of `column` in `colour` instead of the usual text colour; an invalid colour undoes it.
    void setColumnTextColour(int column, const QColor& colour);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QHash<int, QColor> columnColours_;
};

} // namespace velkan::widgets
