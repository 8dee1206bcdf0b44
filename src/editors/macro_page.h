// The macro page of the key assignment dialog: the macro list, the action list with its
// buttons, recording, and the repeat count. It edits working copies of the model's macros,
// which reach the model only on commit.
#pragma once

#include "editors/action_list.h"
#include "editors/macro_recorder.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "platform/key_event_translation.h"
#include "storage/app_profile.h"

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace velkan::editors {

class ActionButtons;
class MacroList;

class MacroPage : public QObject {
    Q_OBJECT

public:
    // Columns of the action list.
    static constexpr int kKeyColumn = ActionList::kKeyColumn;
    static constexpr int kKindColumn = ActionList::kKindColumn;
    static constexpr int kDelayColumn = ActionList::kDelayColumn;

    using Clock = MacroRecorder::Clock;

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

private:
    // Every control of the page, for showing and hiding them together.
    std::vector<QWidget*> allControls() const;
    void markModified();
    void onMacroShown(bool shown);

    Parts parts_;
    Clock clock_;
    // The parts exist from createControls on.
    std::unique_ptr<ActionList> actions_;
    std::unique_ptr<MacroList> macros_;
    std::unique_ptr<MacroRecorder> recorder_;
    std::unique_ptr<ActionButtons> actionButtons_;
};

} // namespace velkan::editors
