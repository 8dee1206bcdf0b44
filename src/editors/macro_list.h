// The macro page's list of macros: choosing, adding, naming and deleting macros, and each
// one's repeat count. It holds working copies of the model's macros, which reach the model only
// on commit.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

class QLabel;
class QLineEdit;
class QWidget;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinCombo;
}

namespace velkan::editors {

class ActionList;

class MacroList : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget& dialog; // the controls are placed on it
        std::filesystem::path iniPath;
        std::filesystem::path iniFolder;
        model::KeyConfiguration& configuration;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        // Shows the selected macro's actions and keeps what was edited there.
        ActionList& actions;
    };
    // Creates the controls, hidden.
    explicit MacroList(Parts parts);
    ~MacroList() override;

    std::vector<QWidget*> controls() const;
    void reloadTexts();

    // Working copies of the model's macros, with the macro `selectedId` selected (0: the
    // first).
    void load(std::uint16_t selectedId);
    bool loaded() const { return haveWorkingCopies_; }
    // The working copies replace the model's macros, and keys assigned to a macro that no
    // longer exists are cleared.
    void commit();
    // Lets the working copies go.
    void free();

    // The identifier of the selected macro, 0 when the list is empty.
    std::uint16_t selectedMacroId() const;
    bool hasSelection() const;
    // The repeat count of the cycles field (1-255).
    std::uint8_t cycles() const;
    // While recording, the recorded macro stays the selected one.
    void setLocked(bool locked);
    // Whether Enter and Escape on `target` end an edit of a macro's name.
    bool takesEditKeys(const QObject& target) const;
    // Shows the selected macro, or none.
    void showSelectedMacro();

signals:
    void modified();
    // Another macro, or none, is shown.
    void macroShown(bool shown);

private:
    QString text(std::string_view key) const;
    void createNameList();
    void createCycles();
    model::MacroRecord* selectedMacro();
    void onSelectionChanged(int index);
    void selectEntry(int index);
    void storeActionList();
    void addMacro();
    void renameMacro(int index, const QString& typed);
    void deleteMacro();
    bool keysUseMacro(std::uint16_t id) const;
    // A new macro at `position` of the list; false when there is no memory for it.
    bool insertNewMacro(std::size_t position, const QString& name);
    QString automaticName(int editedIndex);
    bool anotherEntryBeginsWith(const QString& name, int editedIndex) const;
    void onCyclesEdited();

    Parts parts_;
    widgets::SkinCombo* macroList_ = nullptr;
    skin::ImageButton* addMacroButton_ = nullptr;
    skin::ImageButton* deleteMacroButton_ = nullptr;
    QLineEdit* cyclesField_ = nullptr;
    QLabel* cyclesLabel_ = nullptr;

    // The working copies, in list order; they exist from loading to freeing, and commit
    // without them would empty the model's macros.
    model::MacroList macros_;
    bool haveWorkingCopies_ = false;
    int selected_ = -1;
    int nameCounter_ = 0;
    // Set while the list itself inserts or removes entries.
    bool changingList_ = false;
};

} // namespace velkan::editors
