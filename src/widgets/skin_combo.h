// A combo box in the skin's look, with its list drawn the same way. The editable kind lets the
// user type the current entry's name; a finished edit is reported once, and never turns into a
// choice of another entry that happens to have the typed name.
#pragma once

#include <QComboBox>
#include <QString>

namespace velkan::widgets {

enum class ComboKind { Plain, Editable };

class SkinCombo : public QComboBox {
    Q_OBJECT

public:
    explicit SkinCombo(ComboKind kind, QWidget* parent = nullptr);

signals:
    // The user typed `text` and finished with Enter or by leaving the box. `index` is the entry
    // that was current, already showing `text`; -1 when the list is empty.
    void editCommitted(int index, const QString& text);

protected:
    // The box keeps the focus for its edit field, so keys and focus changes arrive here.
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void commitTypedText();

    bool typed_ = false;
};

} // namespace velkan::widgets
