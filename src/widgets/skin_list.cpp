#include "widgets/skin_list.h"

#include "widgets/skin_item_delegate.h"
#include "widgets/skin_look.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <utility>

namespace velkan::widgets {

namespace {

// Nine digits always fit a 64-bit number, so any typed value compares with the maximum.
constexpr int kMaxDigits = 9;

// The drop-down over a cell lives as long as its list is open; it says when the list closes.
class DropDownEditor : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onPopupHidden;

    void hidePopup() override {
        QComboBox::hidePopup();
        if (onPopupHidden) {
            onPopupHidden();
        }
    }
};

bool isCommitKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

SkinList::SkinList(QWidget* parent)
    : QTreeWidget(parent), delegate_(new SkinItemDelegate(this)),
      digitsEditor_(new QLineEdit(viewport())) {
    auto* dropDown = new DropDownEditor(viewport());
    dropDownEditor_ = dropDown;

    setRootIsDecorated(false);
    setIndentation(0);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setItemDelegate(delegate_);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setHighlightSections(false);

    setUpCellEditors();
    // A list closed without a pick drops the edit; a pick has already committed it by the
    // time this runs.
    dropDown->onPopupHidden = [this] {
        const quint64 session = editSession_;
        QMetaObject::invokeMethod(
            this,
            [this, session] {
                if (session == editSession_ && editKind_ == CellEditor::DropDown) {
                    finishEdit(false);
                }
            },
            Qt::QueuedConnection);
    };

    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parentIndex, int first, int last) {
                if (!parentIndex.isValid()) {
                    dropEditOfRows(first, last);
                }
            });
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { cancelEdit(); });
    connect(header(), &QHeaderView::sectionResized, this, [this] { placeEditor(); });

    // The drop-down's list window exists only once asked for; it needs the skin too.
    dropDownEditor_->view();
    applySkinLook(*this);
}

void SkinList::setUpCellEditors() {
    digitsEditor_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), digitsEditor_));
    digitsEditor_->setMaxLength(kMaxDigits);
    digitsEditor_->hide();
    digitsEditor_->installEventFilter(this);

    dropDownEditor_->setItemDelegate(new SkinItemDelegate(dropDownEditor_));
    dropDownEditor_->hide();
    dropDownEditor_->installEventFilter(this);
    connect(dropDownEditor_, &QComboBox::activated, this, [this] {
        if (editKind_ == CellEditor::DropDown) {
            finishEdit(true);
        }
    });
}

SkinList::~SkinList() {
    // The model and header go with the base class and announce it; this list is gone by then.
    disconnect(model(), nullptr, this, nullptr);
    disconnect(header(), nullptr, this, nullptr);
}

void SkinList::setColumns(const QList<Column>& columns) {
    cancelEdit();
    QStringList titles;
    for (const Column& column : columns) {
        titles << column.title;
    }
    setColumnCount(static_cast<int>(columns.size()));
    setHeaderLabels(titles);
    for (int i = 0; i < columns.size(); ++i) {
        setColumnWidth(i, std::max(0, columns[i].width));
    }
    editors_.assign(static_cast<std::size_t>(columns.size()), ColumnEditor{});
}

SkinList::ColumnEditor* SkinList::columnEditor(int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= editors_.size()) {
        return nullptr;
    }
    return &editors_[static_cast<std::size_t>(column)];
}

bool SkinList::setColumnTitle(int column, const QString& title) {
    if (columnEditor(column) == nullptr) {
        return false;
    }
    headerItem()->setText(column, title);
    return true;
}

bool SkinList::setColumnTextColour(int column, const QColor& colour) {
    if (columnEditor(column) == nullptr) {
        return false;
    }
    delegate_->setColumnTextColour(column, colour);
    viewport()->update();
    return true;
}

bool SkinList::setColumnDropDown(int column, const QStringList& items, int visibleItems) {
    ColumnEditor* editor = columnEditor(column);
    if (editor == nullptr || items.isEmpty() || visibleItems < 1) {
        return false;
    }
    *editor = ColumnEditor{CellEditor::DropDown, items, visibleItems, 0};
    return true;
}

bool SkinList::setColumnDigits(int column, int maximum) {
    ColumnEditor* editor = columnEditor(column);
    if (editor == nullptr || maximum < 0) {
        return false;
    }
    *editor = ColumnEditor{CellEditor::Digits, {}, 0, maximum};
    return true;
}

void SkinList::setLimitHandler(LimitHandler handler) {
    limitHandler_ = std::move(handler);
}

int SkinList::insertRow(int row, const QStringList& cells) {
    const int count = rowCount();
    const int at = row < 0 || row > count ? count : row;
    insertTopLevelItem(at, new QTreeWidgetItem(cells));
    return at;
}

bool SkinList::removeRow(int row) {
    QTreeWidgetItem* item = row < 0 ? nullptr : takeTopLevelItem(row);
    delete item;
    return item != nullptr;
}

int SkinList::moveRow(int from, int to) {
    const int count = rowCount();
    if (from < 0 || from >= count) {
        return -1;
    }
    const int target = std::clamp(to, 0, count - 1);
    if (target == from) {
        return target;
    }
    const bool wasSelected = selectedRow() == from;
    QTreeWidgetItem* item = takeTopLevelItem(from);
    insertTopLevelItem(target, item);
    if (wasSelected) {
        selectRow(target);
    }
    return target;
}

int SkinList::rowCount() const {
    return topLevelItemCount();
}

QString SkinList::cellText(int row, int column) const {
    const QTreeWidgetItem* item = row < 0 ? nullptr : topLevelItem(row);
    return item == nullptr || column < 0 ? QString() : item->text(column);
}

bool SkinList::setCellText(int row, int column, const QString& text) {
    QTreeWidgetItem* item = row < 0 ? nullptr : topLevelItem(row);
    if (item == nullptr || column < 0 || column >= columnCount()) {
        return false;
    }
    item->setText(column, text);
    return true;
}

QVariant SkinList::rowData(int row) const {
    const QTreeWidgetItem* item = row < 0 ? nullptr : topLevelItem(row);
    return item == nullptr ? QVariant() : item->data(0, Qt::UserRole);
}

bool SkinList::setRowData(int row, const QVariant& value) {
    QTreeWidgetItem* item = row < 0 ? nullptr : topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    item->setData(0, Qt::UserRole, value);
    return true;
}

int SkinList::selectedRow() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : indexOfTopLevelItem(items.first());
}

void SkinList::selectRow(int row) {
    QTreeWidgetItem* item = row < 0 ? nullptr : topLevelItem(row);
    if (item == nullptr) {
        clearSelection();
        setCurrentItem(nullptr);
        return;
    }
    setCurrentItem(item);
    scrollToItem(item);
}

bool SkinList::editCell(int row, int column) {
    const ColumnEditor* editor = columnEditor(column);
    if (editor == nullptr || editor->kind == CellEditor::None || row < 0 || row >= rowCount()) {
        return false;
    }
    commitEdit();
    emit editStarted(row, column);
    // Committing or the window's answer to editStarted may have changed the rows.
    QTreeWidgetItem* item = row < rowCount() ? topLevelItem(row) : nullptr;
    editor = columnEditor(column);
    if (item == nullptr || editor == nullptr || editor->kind == CellEditor::None) {
        return false;
    }
    selectRow(row);
    ++editSession_;
    editIndex_ = indexFromItem(item, column);
    editKind_ = editor->kind;
    const QString text = item->text(column);
    if (editKind_ == CellEditor::Digits) {
        digitsEditor_->setText(text);
        placeEditor();
        digitsEditor_->show();
        digitsEditor_->setFocus(Qt::OtherFocusReason);
        digitsEditor_->selectAll();
    } else {
        dropDownEditor_->clear();
        dropDownEditor_->addItems(editor->items);
        dropDownEditor_->setMaxVisibleItems(editor->visibleItems);
        dropDownEditor_->setCurrentIndex(static_cast<int>(editor->items.indexOf(text)));
        placeEditor();
        dropDownEditor_->show();
        dropDownEditor_->setFocus(Qt::OtherFocusReason);
        dropDownEditor_->showPopup();
    }
    return true;
}

void SkinList::commitEdit() {
    finishEdit(true);
}

void SkinList::cancelEdit() {
    finishEdit(false);
}

void SkinList::finishEdit(bool commit) {
    if (editKind_ == CellEditor::None) {
        return;
    }
    const CellEditor kind = std::exchange(editKind_, CellEditor::None);
    const QPersistentModelIndex index = std::exchange(editIndex_, QPersistentModelIndex());
    QWidget* editor = kind == CellEditor::Digits ? static_cast<QWidget*>(digitsEditor_)
                                                 : static_cast<QWidget*>(dropDownEditor_);
    const QString typed =
        kind == CellEditor::Digits ? digitsEditor_->text() : dropDownEditor_->currentText();
    const QWidget* focus = QApplication::focusWidget();
    const bool editorHadFocus =
        focus != nullptr && (focus == editor || focus == dropDownEditor_->view());
    if (kind == CellEditor::DropDown) {
        dropDownEditor_->hidePopup();
    }
    editor->hide();
    if (editorHadFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    if (!commit || !index.isValid()) {
        return;
    }

    QString text = typed;
    if (kind == CellEditor::Digits) {
        const ColumnEditor* column = columnEditor(index.column());
        if (column == nullptr) {
            return;
        }
        const int maximum = column->maximum;
        // An emptied field is the number 0.
        qint64 value = typed.toLongLong();
        if (value > maximum) {
            if (limitHandler_) {
                limitHandler_(index.row(), index.column(), maximum);
            }
            value = maximum;
        }
        text = QString::number(value);
        // The handler may have shown a message box, and the rows may have changed meanwhile.
        if (!index.isValid()) {
            return;
        }
    }
    QTreeWidgetItem* item = itemFromIndex(index);
    if (item == nullptr || item->text(index.column()) == text) {
        return;
    }
    item->setText(index.column(), text);
    emit cellChanged(index.row(), index.column(), text);
}

void SkinList::placeEditor() {
    if (editKind_ == CellEditor::None || !editIndex_.isValid()) {
        return;
    }
    QWidget* editor = editKind_ == CellEditor::Digits ? static_cast<QWidget*>(digitsEditor_)
                                                      : static_cast<QWidget*>(dropDownEditor_);
    editor->setGeometry(visualRect(editIndex_));
}

void SkinList::dropEditOfRows(int first, int last) {
    if (editIndex_.isValid() && editIndex_.row() >= first && editIndex_.row() <= last) {
        cancelEdit();
    }
}

void SkinList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && !index.parent().isValid()) {
        editCell(index.row(), index.column());
    }
}

void SkinList::scrollContentsBy(int dx, int dy) {
    QTreeWidget::scrollContentsBy(dx, dy);
    placeEditor();
}

void SkinList::updateGeometries() {
    QTreeWidget::updateGeometries();
    placeEditor();
}

bool SkinList::eventFilter(QObject* watched, QEvent* event) {
    if (watched != digitsEditor_ && watched != dropDownEditor_) {
        return QTreeWidget::eventFilter(watched, event);
    }
    if (editKind_ == CellEditor::None) {
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (isCommitKey(key) || key == Qt::Key_Escape) {
            finishEdit(key != Qt::Key_Escape);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut &&
               static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
               QApplication::focusWidget() != dropDownEditor_->view()) {
        // Leaving the field commits it, but opening a context menu or the list does not.
        finishEdit(true);
    }
    return false;
}

} // namespace velkan::widgets
