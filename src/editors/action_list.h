// The macro page's list of actions: one row an action, whose key, kind (press or release) and
// delay are edited in place.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"

#include <QObject>
#include <QStringList>
#include <cstdint>
#include <filesystem>

class QWidget;

namespace velkan::widgets {
class SkinList;
}

namespace velkan::editors {

class ActionList : public QObject {
    Q_OBJECT

public:
    static constexpr int kKeyColumn = 0;
    static constexpr int kKindColumn = 1;
    static constexpr int kDelayColumn = 2;

    enum class Move { toTop, up, down, toBottom };

    // Creates the list (hidden) on `dialog`.
    ActionList(QWidget& dialog, const std::filesystem::path& iniPath, lang::Prompts& prompts,
               const lang::TextLookup& texts);
    ~ActionList() override;

    widgets::SkinList& list() const { return *list_; }
    void reloadTexts();

    // The rows of `macro`; none for no macro.
    void showMacro(const model::MacroRecord* macro);
    // The rows become `macro`'s actions.
    void storeInto(model::MacroRecord& macro) const;
    // A recorded action after the selected row, or at the end. `delayBefore` is the wait the
    // row before it gets.
    void addRecorded(model::KeyCode key, bool released, std::uint32_t delayBefore);

    void deleteSelected();
    void clearAll();
    void moveSelected(Move move);

    // Whether Enter and Escape on `target` belong to a cell being edited.
    bool takesEditKeys(const QObject& target) const;

signals:
    void modified();
    // Editing a delay ends a recording.
    void delayEditStarted();

private:
    QString kindText(bool released) const;
    QStringList cellsOf(const model::MacroAction& action) const;
    void insertAction(int row, const model::MacroAction& action);
    void showAction(int row, const model::MacroAction& action);
    model::MacroAction actionOfRow(int row) const;
    void onCellChanged(int row, int column, const QString& cellText);
    void fitColumns();

    lang::Prompts& prompts_;
    const lang::TextLookup& texts_;
    widgets::SkinList* list_ = nullptr;
    // Names of the keys the key cell offers, in key-id order.
    QStringList chooserKeyNames_;
};

} // namespace velkan::editors
