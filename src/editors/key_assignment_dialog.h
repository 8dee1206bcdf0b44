// The key assignment dialog: the one window in which the user decides what a key does — another
// key or a mouse action, a macro, a multimedia function, a keyboard function, or its own
// function again. It edits one record of the current profile and writes it into the edited
// model on Apply or OK; the keyboard hears of it only when the main window applies.
#pragma once

#include "editors/key_editor.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "platform/key_event_translation.h"
#include "skin/skinned_dialog.h"
#include "storage/app_profile.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinCombo;
}

namespace velkan::editors {

class MacroPage;

// The name a key button goes by: the key's own name, or "G<n>" for the extra keys.
std::string keyButtonName(model::KeyIndex index, const lang::TextLookup& texts);
// The tooltip of a key button: its name, and for a key that does something else what that is.
std::string keyButtonToolTip(model::KeyIndex index, const model::KeyAssignment& record,
                             const model::MacroList& macros, const lang::TextLookup& texts);

// Where a dialog of `dialog` size opens beside the key button `button` on a screen of `screen`
// size: right of and below the button, else right and above, left and below, left and above;
// right and below again when it fits nowhere.
QPoint dialogPlaceBesideKey(const QRect& button, QSize dialog, QSize screen);

class KeyAssignmentDialog : public skin::SkinnedDialog, public KeyEditor {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 134;
    // The last G key, and with it the main window's macro button, opens the macro page alone.
    static constexpr int kMacroOnlyKeyId = 1143;

    // The dialog's own controls; each is named after its member, so tests find it by name.
    // The macro page's controls are the page's.
    struct Controls {
        using Button = skin::ImageButton*;
        Button pagePicture = nullptr;
        Button title = nullptr;
        Button onScreenKeyboardButton = nullptr;
        Button keyPageButton = nullptr;
        Button macroPageButton = nullptr;
        Button mediaPageButton = nullptr;
        Button functionPageButton = nullptr;
        Button clearButton = nullptr;
        Button okButton = nullptr;
        Button cancelButton = nullptr;
        // The skin gives Apply no place; it follows the modified flag for whoever presses it.
        Button applyButton = nullptr;

        QLabel* editedKeyLabel = nullptr;
        QLabel* singlePrompt = nullptr;
        QLabel* mediaPrompt = nullptr;
        QLabel* functionPrompt = nullptr;
        QLabel* macroNameLabel = nullptr;
        QLabel* keyboardLabel = nullptr;
        QLabel* mouseLabel = nullptr;
        QLineEdit* capturedKey = nullptr;
        QRadioButton* keyboardRadio = nullptr;
        QRadioButton* mouseRadio = nullptr;
        widgets::SkinCombo* mouseList = nullptr;
        widgets::SkinCombo* mediaList = nullptr;
        widgets::SkinCombo* functionList = nullptr;
    };

    struct Parts {
        std::filesystem::path iniPath; // "Skins/Composite.ini"
        std::filesystem::path iniFolder;
        // The window thread's own copy of the key model: no other thread touches it.
        model::KeyConfiguration& configuration;
        // The key profile the main window shows (0-2).
        std::function<int()> currentProfile;
        // The clicked key button's rectangle on the screen, which the dialog opens beside.
        std::function<QRect(int controlId)> keyButtonRect;
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
    void createControls();
    void createButtons();
    void createKeyPage();
    widgets::SkinCombo* addList(const char* name);
    void placeButtons();
    void fitPrompts();

    void readRecord();
    void showPage(bool withStoredValue);
    void showStoredKey();
    void showCapturedKey();
    void setPagePicture();
    void setPageVisibility();
    void choosePage(model::AssignmentType page);
    void chooseKeyboard(bool keyboard);
    void clearKey();
    void placeWindow(int controlId);
    void setModified(bool modified);
    void apply();
    model::KeyAssignment builtRecord() const;
    void closeEditor();

    bool isKeyPage() const;
    // What happens to one key event that reached the dialog or a control on it; true when
    // it goes no further.
    bool filterKey(QObject* target, const QKeyEvent& event);
    bool captureKey(const std::optional<platform::NativeKeyEvent>& native);
    void takeKey(model::KeyCode code);

    Parts parts_;
    std::unique_ptr<MacroPage> macroPage_;
    Controls c_;

    // The record being edited and what it held when the dialog opened.
    int profile_ = 0;
    model::KeyIndex keyIndex_ = 0;
    bool macroOnly_ = false;
    model::AssignmentType page_ = model::AssignmentType::defaultAction;
    model::KeyCode capturedCode_ = 0;
    std::int32_t storedValue_ = 0;

    bool open_ = false;
    // The language the last language message announced, which every opening announces again.
    int languageIndex_ = 0;
};

} // namespace velkan::editors
