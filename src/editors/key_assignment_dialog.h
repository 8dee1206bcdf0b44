// The key assignment dialog: the one window in which the user decides what a key does — another
// key or a mouse action, a macro, a multimedia function, a keyboard function, or its own
// function again. It edits one record of the current profile and writes it into the edited
// model on Apply or OK; the keyboard hears of it only when the main window applies.
#pragma once

#include "editors/key_button_texts.h"
#include "editors/key_editor.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "skin/skinned_dialog.h"
#include "storage/app_profile.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QKeyEvent;
class QLabel;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::editors {

class ChoiceListPage;
class MacroPage;
class PageChooser;
class SingleKeyPage;

// Where a dialog of `dialog` size opens beside the key button `button` on a screen of `screen`
// size: right of and below the button, else right and above, left and below, left and above;
// right and below again when it fits nowhere.
QPoint dialogPlaceBesideKey(const QRect& button, QSize dialog, QSize screen);

class KeyAssignmentDialog : public skin::SkinnedDialog, public KeyEditor {
    Q_OBJECT

public:
    // The frame's controls, each named after its member, so tests find it by name. The page
    // chooser's and the pages' controls are theirs.
    struct Controls {
        using Button = skin::ImageButton*;
        Button title = nullptr;
        Button onScreenKeyboardButton = nullptr;
        Button clearButton = nullptr;
        Button okButton = nullptr;
        Button cancelButton = nullptr;
        // The skin gives Apply no place; it follows the modified flag for whoever presses it.
        Button applyButton = nullptr;
        QLabel* macroNameLabel = nullptr;
    };

    struct Parts {
        std::filesystem::path iniPath; // "Skins/Composite.ini"
        std::filesystem::path iniFolder;
        // The window thread's own copy of the key model: no other thread touches it.
        model::KeyConfiguration& configuration;
        // The key profile the main window shows (0-2).
        std::function<int()> currentProfile;
        // The clicked key button's rectangle on the screen, which the dialog opens beside.
        std::function<QRect(model::KeyButton)> keyButtonRect;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        storage::AppProfile& appProfile;
        // A record was written into the model: the main window enables its Apply and redraws
        // the looks and tooltips of its key buttons.
        std::function<void()> recordWritten;
        std::function<bool()> startOnScreenKeyboard;
        // Opens a document with the desktop (the help page).
        std::function<bool(const std::string&)> openDocument;
        std::filesystem::path helpFolder;
    };

    KeyAssignmentDialog(QWidget* parent, Parts parts);
    ~KeyAssignmentDialog() override;

    // KeyEditor.
    void edit(const SelectedKey& key, bool openedForMacro) override;
    int openCount() const override { return open_ ? 1 : 0; }
    void cancelIfOpen() override;
    // Also where the language message arrives.
    void reloadTexts(int languageIndex) override;

    // Everything an opening does before the dialog runs: the record is read, the page shown
    // and the window placed. False, and nothing opened, for a button that is no key.
    bool beginEditing(const SelectedKey& key, bool openedForMacro);

    MacroPage& macroPage() { return *macroPage_; }

    // OK, Cancel and a forced close all end here, where the editing state is let go.
    void done(int result) override;

protected:
    bool onInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The dialog itself answers no key: Enter and Escape would end it.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void createButtons();
    void connectButtons();
    void createPages();
    void placeButtons();

    void readRecord();
    void showPage(bool withStoredValue);
    void setPageVisibility();
    void choosePage(model::AssignmentType page);
    void clearKey();
    void placeWindow(model::KeyButton key);
    void setModified(bool modified);
    void apply();
    model::KeyAssignment builtRecord() const;
    void closeEditor();

    bool isKeyPage() const;
    // What happens to one key event that reached the dialog or a control on it; true when
    // it goes no further.
    bool filterKey(QObject* target, const QKeyEvent& event);

    Parts parts_;
    Controls c_;

    // The page chooser and the pages: the macro page from the start, the others from the
    // dialog's initialisation on.
    std::unique_ptr<PageChooser> pageChooser_;
    std::unique_ptr<SingleKeyPage> singleKeyPage_;
    std::unique_ptr<ChoiceListPage> mediaPage_;
    std::unique_ptr<ChoiceListPage> functionPage_;
    std::unique_ptr<MacroPage> macroPage_;

    // The record being edited and what it held when the dialog opened.
    int profile_ = 0;
    model::KeyIndex keyIndex_ = 0;
    bool macroOnly_ = false;
    model::AssignmentType page_ = model::AssignmentType::defaultAction;
    std::int32_t storedValue_ = 0;

    bool open_ = false;
    // The language the last language message announced, which every opening announces again.
    int languageIndex_ = 0;
};

} // namespace velkan::editors
