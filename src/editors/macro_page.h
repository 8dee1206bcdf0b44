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
#include <optional>
#include <set>
#include <string_view>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace velkan::skin {
class ImageButton;
struct ButtonTextStyle;
} // namespace velkan::skin

namespace velkan::widgets {
class SkinCombo;
class SkinList;
} // namespace velkan::widgets

namespace velkan::editors {

// How the key assignment dialog and its macro page draw their buttons' captions.
skin::ButtonTextStyle editorCaptionStyle();

class MacroPage : public QObject {
    Q_OBJECT

public:
    // The page's controls, each named after its member, so tests find it by name.
    struct Controls {
        using Button = skin::ImageButton*;
        widgets::SkinCombo* macroList = nullptr;
        Button addMacroButton = nullptr;
        Button deleteMacroButton = nullptr;
        widgets::SkinList* actionList = nullptr;
        Button recordButton = nullptr;
        Button deleteActionButton = nullptr;
        Button clearActionsButton = nullptr;
        Button topButton = nullptr;
        Button upButton = nullptr;
        Button downButton = nullptr;
        Button bottomButton = nullptr;
        QLineEdit* cyclesField = nullptr;
        QLabel* cyclesLabel = nullptr;
        QCheckBox* recordDelayBox = nullptr;
        QLabel* recordDelayLabel = nullptr;
    };

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

    // Whether Enter and Escape on `target` belong to an edit of the page: a macro's name, or
    // an action's cell.
    bool takesEditKeys(const QObject& target) const;
    // Replaces the clock that recorded delays are measured with.
    void setClock(Clock clock);

protected:
    // Mouse buttons on the action list while recording become recorded actions.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Move { toTop, up, down, toBottom };

    QString text(std::string_view key) const;
    // Every control of the page, for showing and hiding them together.
    std::vector<QWidget*> allControls() const;
    model::MacroRecord* selectedMacro();
    void markModified();

    void createButtons();
    void createActionList();
    void fitActionColumns();
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
    QString kindText(bool released) const;
    QStringList cellsOf(const model::MacroAction& action) const;
    void insertAction(int row, const model::MacroAction& action);
    void showAction(int row, const model::MacroAction& action);
    model::MacroAction actionOfRow(int row) const;
    void deleteAction();
    void clearActions();
    void moveAction(Move move);
    void onCellChanged(int row, int column, const QString& cellText);
    void onCyclesEdited();

    // Recording.
    void startRecording();
    void stopRecording();
    void lockWhileRecording(bool locked);
    void addRecordedAction(model::KeyCode key, bool released, std::uint32_t measuredDelay);
    std::uint32_t delaySinceLastEvent();

    Parts parts_;
    Clock clock_;
    Controls c_;
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
