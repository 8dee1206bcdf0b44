// The main window: the keyboard as a grid of skinned key buttons with the controls around it.
// It starts hidden and lives in the notification area; it is shown on request and when the
// keyboard is there at start. Everything it does to the keyboard it asks of the keyboard
// controller, and it shows what comes back.
#pragma once

#include "app/app_globals.h"
#include "app/desktop_links.h"
#include "app/keyboard_controller.h"
#include "app/main_menu.h"
#include "app/main_window_buttons.h"
#include "app/pending_edits.h"
#include "app/tray_icon.h"
#include "editors/key_editor.h"
#include "lang/language.h"
#include "lang/prompts.h"
#include "platform/instance_request.h"
#include "skin/skinned_dialog.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinMenu;
}

namespace velkan::app {

class BusyIndicator;
class KeyGrid;
class KeyboardTray;
class LightingPanel;
class ProfileActions;
class SecondaryWindows;

class MainWindow : public skin::SkinnedDialog {
    Q_OBJECT

public:
    struct Services {
        AppGlobals& globals;
        lang::Language& language;
        lang::Prompts& prompts;
        KeyboardController& keyboard;
        std::optional<Simulation> simulation;
        // Opens a document or web address with the desktop; the program's is the platform's.
        std::function<bool(const std::string&)> openDocument;
        // The notification area the tray icon lives in; the desktop's unless a test gives one.
        std::function<std::unique_ptr<TrayArea>()> trayArea = makeSystemTrayArea;
        // Started in the notification area: the keyboard found at start does not open the
        // window.
        bool startHidden = false;
    };

    explicit MainWindow(Services services);
    ~MainWindow() override;

    // A request another process sent through the instance channel. Called on the channel's
    // thread; handled on the window's.
    void deliverInstanceRequest(platform::InstanceRequest request);

    // A command of the main menu.
    void runMenuCommand(MenuCommand command);

    // The exit routine: hides the window, closes the secondary windows, lets the lock and
    // the tray icon go and ends the program's event loop.
    void exitRoutine();

    // Shows the window, or says that no keyboard is connected.
    void showWindow();

    bool initialised() const { return initialised_; }
    KeyboardController& keyboard() { return keyboard_; }
    KeyGrid& keyGrid() const { return *keyGrid_; }
    LightingPanel* lightingPanel() const { return lightingPanel_.get(); }
    SecondaryWindows& secondaryWindows() const { return *secondary_; }
    PendingEdits& edits() const { return *edits_; }
    TrayIcon* trayIcon() const;
    // The editor key clicks go to: the key assignment dialog unless another is set.
    void setKeyEditor(editors::KeyEditor* editor) { keyEditor_ = editor; }

protected:
    bool onInitDialog() override;
    void reloadTexts(int languageIndex) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool loadSharedPictures();
    void createControls();
    void connectControls();
    void connectKeyboard();
    void connectTray();
    void createSecondaryWindows();
    void showMainMenu();
    // The close button, the menu's and the tray's Exit: with unapplied edits the user decides
    // whether they go to the keyboard first, or whether to stay.
    void requestExit();

    void onKeyClicked(model::KeyButton keyButton);
    void editKey(model::KeyButton keyButton);
    void switchColourMode();
    void refreshKeyGrid();
    // The profile buttons and the profile list menu.
    void chooseProfile(int profile);
    void profileSwitched();
    void applyFlip();
    void invertFlip();
    void arrived(device::Arrival arrival);
    void removed();
    // The user's keyboard operations and key edits wait for the running job.
    bool keyboardFree() const;

    AppGlobals& globals_;
    lang::Language& language_;
    lang::Prompts& prompts_;
    KeyboardController& keyboard_;
    std::optional<Simulation> simulation_;
    DesktopLinks links_;
    std::function<std::unique_ptr<TrayArea>()> makeTrayArea_;
    bool startHidden_;

    MainWindowButtons buttons_;
    BusyIndicator* busyIndicator_ = nullptr;
    KeyGrid* keyGrid_ = nullptr;
    ProfileActions* profiles_ = nullptr;
    PendingEdits* edits_ = nullptr;
    editors::KeyEditor* keyEditor_ = nullptr;

    std::unique_ptr<KeyboardTray> tray_;
    std::unique_ptr<SecondaryWindows> secondary_;
    // Built once the window's own controls are placed.
    std::unique_ptr<LightingPanel> lightingPanel_;

    bool initialised_ = false;
    bool exiting_ = false;
};

} // namespace velkan::app
