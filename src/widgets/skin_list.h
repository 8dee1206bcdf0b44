// A report-style list: a header, columns of fixed widths, whole rows selected, and cells the
// user edits in place. Each column has one kind of editor: none, a drop-down of texts the window
// supplies, or a digits-only field with a maximum. An edit is committed by Enter, by leaving
// the field or by picking an entry, and dropped by Escape.
#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QVariant>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;

namespace velkan::widgets {

class SkinItemDelegate;

enum class CellEditor { None, DropDown, Digits };

class SkinList : public QTreeWidget {
    Q_OBJECT

public:
    struct Column {
        QString title;
        int width = 0;
    };
    // Told when the user commits a number above the column's maximum, before the cell is given
    // the maximum instead.
    using LimitHandler = std::function<void(int row, int column, int maximum)>;

    explicit SkinList(QWidget* parent = nullptr);
    ~SkinList() override;

    // Replaces all columns; every column starts without an editor.
    void setColumns(const QList<Column>& columns);
    bool setColumnTitle(int column, const QString& title);
    bool setColumnTextColour(int column, const QColor& colour);
    // `visibleItems` is how many entries the open list shows before it scrolls.
    bool setColumnDropDown(int column, const QStringList& items, int visibleItems);
    bool setColumnDigits(int column, int maximum);
    void setLimitHandler(LimitHandler handler);

    // A row outside 0..rowCount() is appended; returns where the row went.
    int insertRow(int row, const QStringList& cells);
    bool removeRow(int row);
    // `to` is clamped to the list; the row keeps its cells, data and selection. Returns the new
    // index, or -1 when `from` is no row.
    int moveRow(int from, int to);
    int rowCount() const;
    QString cellText(int row, int column) const;
    // Changes made here are the window's own and are not reported by cellChanged.
    bool setCellText(int row, int column, const QString& text);
    QVariant rowData(int row) const;
    bool setRowData(int row, const QVariant& value);
    int selectedRow() const;
    // Selects `row` and scrolls it into view; -1 clears the selection.
    void selectRow(int row);

    // Opens the column's editor over the cell, as a double click does. A pending edit is
    // committed first.
    bool editCell(int row, int column);
    void commitEdit();
    void cancelEdit();
    bool isEditing() const { return editKind_ != CellEditor::None; }

signals:
    // Before the editor opens, so the window can stop whatever would change the row meanwhile.
    void editStarted(int row, int column);
    // The user committed a value that differs from the cell's previous text.
    void cellChanged(int row, int column, const QString& text);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The line edit and the drop-down a cell is edited in, hidden until an edit starts.
    void setUpCellEditors();
    struct ColumnEditor {
        CellEditor kind = CellEditor::None;
        QStringList items;
        int visibleItems = 0;
        int maximum = 0;
    };

    ColumnEditor* columnEditor(int column);
    void finishEdit(bool commit);
    void placeEditor();
    void dropEditOfRows(int first, int last);

    std::vector<ColumnEditor> editors_;
    SkinItemDelegate* delegate_;
    QLineEdit* digitsEditor_;
    QComboBox* dropDownEditor_;
    LimitHandler limitHandler_;
    QPersistentModelIndex editIndex_;
    CellEditor editKind_ = CellEditor::None;
    // Tells a late notice of a closed drop-down from the edit that follows it.
    quint64 editSession_ = 0;
};

} // namespace velkan::widgets
