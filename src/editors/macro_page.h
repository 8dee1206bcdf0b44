// The macro page of the key assignment dialog: the macro list, the action list, recording, and
// the repeat count. It edits working copies of the model's macros, which reach the model only
// on commit.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "platform/key_event_translation.h"
#include "storage/app_profile.h"

#include <QObject>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

class QCheckBox;
class QLineEdit;
class QWidget;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinCombo;
class SkinList;
} // namespace velkan::widgets

namespace velkan::editors {

class MacroPage : public QObject {
    Q_OBJECT

public:
    // Control ids of the page in the dialog's template.
    static constexpr int kAddId = 1017;
    static constexpr int kDeleteId = 1018;
    static constexpr int kActionListId = 1019;
    static constexpr int kRecordId = 1020;
    static constexpr int kDeleteActionId = 1021;
    static constexpr int kClearActionsId = 1022;
    static constexpr int kTopId = 1023;
    static constexpr int kUpId = 1024;
    static constexpr int kDownId = 1025;
    static constexpr int kBottomId = 1026;
    static constexpr int kRecordDelayId = 1027;
    static constexpr int kCyclesId = 1125;
    static constexpr int kMacroListId = 1126;
    static constexpr int kCyclesLabelId = 1130;
    static constexpr int kRecordDelayLabelId = 1133;

    // Columns of the action list.
    static constexpr int kKeyColumn = 0;
    static constexpr int kKindColumn = 1;
    static constexpr int kDelayColumn = 2;

    // Milliseconds of a steady clock.
    using Clock = std::function<std::uint64_t()>;

    struct Parts {
        QWidget& dialog; // the key assignment dialog the page's controls are placed on
        std::filesystem::path iniPath; // "Skins/Composite.ini"
        std::filesystem::path iniFolder;
        model::KeyConfiguration& configuration;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        storage::AppProfile& appProfile;
        // Called whenever the page changes something the dialog's Apply would commit.
        std::function<void()> modified;
    };
    explicit MacroPage(Parts parts);
    ~MacroPage() override;

    // Creates and places the page's controls (hidden); once, when the dialog initialises.
    void createControls();
    // Shows or hides every control of the page.
    void setVisible(bool visible);
    void reloadTexts();

    // On opening: working copies of the model's macros, the record-delay option, and the
    // macro `selectedId` selected (0: the first).
    void loadWorkingCopies(std::uint16_t selectedId);
    // The identifier of the selected macro, 0 when the list is empty.
    std::uint16_t selectedMacroId() const;
    // The repeat count of the cycles field (1-255).
    std::uint8_t cycles() const;
    // The first part of the dialog's Apply: the working copies replace the model's macros,
    // and keys assigned to a macro that no longer exists are cleared.
    void commit();
    // On closing: stops recording and lets the working copies go.
    void freeWorkingCopies();

    bool recording() const;
    // A key event while recording; true when the page took it.
    bool recordKey(const platform::NativeKeyEvent& event);
    // A mouse button on the action list's area while recording (the message numbers of the
    // key codes' mouse table); true when taken.
    bool recordMouse(std::uint32_t mouseMessage);

    // The page's control with the template id, nullptr before createControls or for an id
    // that is not the page's.
    QWidget* control(int controlId) const;
    // Replaces the clock that recorded delays are measured with.
    void setClock(Clock clock);

protected:
    // Mouse buttons on the action list while recording become recorded actions.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString text(std::string_view key) const;
    skin::ImageButton* button(int controlId) const;
    model::MacroRecord* selectedMacro();
    void markModified();

    void onCommand(int controlId);
    void readRecordDelayOption();
    void toggleRecordDelay(bool on);

    // The macro list.
    void onSelectionChanged(int index);
    void selectEntry(int index);
    void showSelectedMacro();
    void storeActionList();
    void addMacro();
    void renameMacro(int index, const QString& typed);
    void deleteMacro();
    bool keysUseMacro(std::uint16_t id) const;
    // A new macro at `position` of the list; false when there is no memory for it.
    bool insertNewMacro(std::size_t position, const QString& name);
    QString automaticName(int editedIndex);
    bool anotherEntryBeginsWith(const QString& name, int editedIndex) const;

    // The action list.
    QStringList cellsOf(const model::MacroAction& action) const;
    void insertAction(int row, const model::MacroAction& action);
    void showAction(int row, const model::MacroAction& action);
    model::MacroAction actionOfRow(int row) const;
    void deleteAction();
    void clearActions();
    void moveAction(int controlId);
    void onCellChanged(int row, int column, const QString& cellText);
    void onCyclesEdited();

    // Recording.
    void startRecording();
    void stopRecording();
    void addRecordedAction(model::KeyCode key, bool released, std::uint32_t measuredDelay);
    std::uint32_t delaySinceLastEvent();

    Parts parts_;
    Clock clock_;
    std::map<int, QWidget*> controls_;
    widgets::SkinCombo* macroList_ = nullptr;
    widgets::SkinList* actionList_ = nullptr;
    QLineEdit* cyclesField_ = nullptr;
    QCheckBox* recordDelayBox_ = nullptr;
    // Names of the keys the key cell offers, in key-id order.
    QStringList chooserKeyNames_;

    // The working copies, in list order; they exist from loading to freeing, and commit
    // without them would empty the model's macros.
    model::MacroList macros_;
    bool haveWorkingCopies_ = false;
    int selected_ = -1;
    int nameCounter_ = 0;
    // Set while the page itself inserts or removes macro list entries.
    bool changingList_ = false;
    bool recordDelay_ = false;
    bool recording_ = false;
    std::uint64_t lastEventMs_ = 0;
    // A Windows key that is down while recording; its repeated presses are not actions.
    std::optional<std::uint8_t> heldWindowsKey_;
    // Keys reported by their release alone on some desktops, whose press did arrive here.
    std::set<model::KeyCode> pressedKeys_;
};

} // namespace velkan::editors
