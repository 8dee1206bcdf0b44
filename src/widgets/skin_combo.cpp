#include "widgets/skin_combo.h"

#include "widgets/skin_item_delegate.h"
#include "widgets/skin_look.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace velkan::widgets {

SkinCombo::SkinCombo(ComboKind kind, QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new SkinItemDelegate(this));
    if (kind == ComboKind::Editable) {
        setEditable(true);
        // The window decides what a typed name becomes; the box neither adds entries nor
        // completes a name to an existing one.
        setInsertPolicy(QComboBox::NoInsert);
        setCompleter(nullptr);
        connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
        connect(this, &QComboBox::currentIndexChanged, this, [this] { typed_ = false; });
    }
    // The list window exists only once asked for; it needs the skin too.
    view();
    applySkinLook(*this);
}

void SkinCombo::commitTypedText() {
    if (!typed_) {
        return;
    }
    typed_ = false;
    const int index = currentIndex();
    const QString text = lineEdit()->text();
    if (index >= 0) {
        if (itemText(index) == text) {
            return;
        }
        setItemText(index, text);
    }
    emit editCommitted(index, text);
}

void SkinCombo::keyPressEvent(QKeyEvent* event) {
    if (lineEdit() != nullptr) {
        const int key = event->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            commitTypedText();
            return;
        }
        if (key == Qt::Key_Escape && typed_) {
            typed_ = false;
            lineEdit()->setText(currentIndex() >= 0 ? itemText(currentIndex()) : QString());
            return;
        }
    }
    QComboBox::keyPressEvent(event);
}

void SkinCombo::focusOutEvent(QFocusEvent* event) {
    // Opening the box's own list is not leaving it.
    if (lineEdit() != nullptr && event->reason() != Qt::PopupFocusReason &&
        QApplication::focusWidget() != view()) {
        commitTypedText();
    }
    QComboBox::focusOutEvent(event);
}

} // namespace velkan::widgets
