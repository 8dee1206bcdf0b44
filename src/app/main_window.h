// The main window: the keyboard as a grid of skinned key buttons with the controls around it,
// the tray icon, the secondary windows, and the main window's side of the device threads.
// It starts hidden and lives in the notification area; it is shown on request.
#pragma once

#include "app/app_globals.h"
#include "app/keyboard_stack.h"
#include "app/tray_icon.h"
#include "app/window_messages.h"
#include "device/keyboard_events.h"
#include "editors/key_editor.h"
#include "lang/language.h"
#include "lang/prompts.h"
#include "platform/single_instance.h"
#include "skin/skinned_dialog.h"
#include "storage/keyboard_session.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace velkan::sim {
class SimHidBackend;
class SimulatedKeyboard;
} // namespace velkan::sim

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinMenu;
}

namespace velkan::editors {
class KeyAssignmentDialog;
}

namespace velkan::app {

class AboutDialog;
class TrayIcon;
class LightingPanel;
class ProfileManagerDialog;
class FirmwareUpdateDialog;

// A simulated keyboard the program runs on in place of hardware, with the backend it is
// plugged into; the main menu then offers to unplug it and to raise its events.
struct Simulation {
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    sim::SimHidBackend* backend = nullptr; // owned by the keyboard stack
};

class MainWindow : public skin::SkinnedDialog,
                   public device::KeyboardEvents,
                   public storage::SessionView {
    Q_OBJECT

public:
    struct Services {
        AppGlobals& globals;
        lang::Language& language;
        lang::Prompts& prompts;
        std::unique_ptr<platform::HidBackend> backend;
        std::optional<Simulation> simulation;
        // Opens a document or web address with the desktop; the program's is the platform's.
        std::function<bool(const std::string&)> openDocument;
        // The notification area the tray icon lives in; the desktop's unless a test gives one.
        std::function<std::unique_ptr<TrayArea>()> trayArea = makeSystemTrayArea;
    };

    explicit MainWindow(Services services);
    ~MainWindow() override;

    qintptr handleMessage(quint32 message, quintptr wParam, qintptr lParam) override;

    // A request another process sent through the instance channel: the open and kill
    // requests and the external Apply, queued for the window. Called on the channel's thread.
    void deliverInstanceMessage(const platform::InstanceMessage& message);

    // Every command of the window, its menus and the tray menu.
    void onCommand(int command);

    // The exit routine: hides the window, closes the secondary windows, lets the lock and
    // the tray icon go and ends the program's event loop.
    void exitRoutine();

    // Shows the window, or says that no keyboard is connected.
    void showWindow();

    // Applies the model: the current profile's file, then the keyboard. The window stays
    // responsive meanwhile; returns once both are done. True when Apply was enabled and
    // both succeeded.
    bool Apply();
    bool applyEnabled() const { return applyEnabled_; }
    void setApplyEnabled(bool enabled);

    bool initialised() const { return initialised_; }
    int shownTrayImage() const { return shownTrayImage_; }
    int colourMode() const { return globals_.colourMode; }
    bool keyLightFlag(int controlId) const;
    int currentProfile() const { return stack_.session.currentPage(); }
    KeyboardStack& keyboard() { return stack_; }
    skin::ImageButton* button(int controlId) const;
    AboutDialog* aboutBox() const { return about_.get(); }
    TrayIcon* trayIcon() const { return tray_.get(); }
    ProfileManagerDialog* profileManager() const { return profileManager_.get(); }
    QWidget* control(int controlId) const;
    LightingPanel* lightingPanel() const { return lightingPanel_.get(); }
    // The editor the key clicks go to; the window does not own it.
    void setKeyEditor(editors::KeyEditor* editor) { keyEditor_ = editor; }

    // KeyboardEvents: called from the device threads.
    void keyboardArrived(device::Arrival arrival) override;
    void keyboardRemoved() override;
    void lightingChangedOnKeyboard() override;
    void keyboardReset() override;
    void trayImageWanted(device::TrayImage image) override;
    void problemFound(device::KeyboardProblem problem) override;

    // SessionView.
    void showProfile(int profile) override;
    void keyModelChanged() override;
    void lightingChanged() override;

protected:
    bool onInitDialog() override;
    void reloadTexts(int languageIndex) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct KeyButton {
        int controlId;
        skin::ImageButton* button;
        int lightFlagIndex; // 0-8 the G keys, 9-114 the 106 positions
    };

    bool loadSharedPictures();
    void createControls();
    skin::ImageButton* addButton(int controlId, const char* skinKey);
    void placeControls();
    void createTrayIcon();
    void showMainMenu();
    void addSimulationMenu(widgets::SkinMenu& menu);
    void openAbout();
    void openHelp();
    void openLink(const std::string& address);

    // Runs `task` on the window's thread and waits for it, unless the program is ending.
    void runOnWindowThread(std::function<void()> task);
    // Posted to the window thread, from any thread.
    void showTrayImage(int image);

    void onKeyClicked(int controlId);
    void switchColourMode();
    void updateSwitchText();
    void redrawKeyButtons();
    void drawKeyButton(const KeyButton& key);
    void refreshKeyGrid();
    void refreshExtraKeyMarks();
    void selectProfileButton(int profile);
    void selectProfile(int profile);
    void switchToProfile(int profile);
    bool switchKeyProfile(int profile);
    void restoreDefaults();
    void applyFlip();
    void invertFlip();
    void selectReport(int value);
    void nextPreviewStep();
    void exportProfile();
    void importProfile();
    void reloadAfterArrival();
    void closeSecondaryWindows();
    void keyboardResetReaction();
    void lightingReadBack();
    bool saveCurrentProfileFile(bool lockHeld);
    void nextBusyFrame();

    // Runs a sequence that talks to the keyboard, whole and under the keyboard lock. A call
    // made from inside the running sequence belongs to it and runs at once; one that reaches
    // the window through an event loop nested in it (Apply's write, a message box) waits and
    // runs after it, in the order asked for. False when it was put off.
    bool runSequence(const std::function<void()>& sequence);
    bool sequenceMustWait() const;
    bool applyNow();
    // The message a write of the key configuration ends with, if any. True when the key
    // tables reached the keyboard.
    bool tellKeyWrite(model::KeyWriteOutcome outcome);

    AppGlobals& globals_;
    lang::Language& language_;
    lang::Prompts& prompts_;
    std::optional<Simulation> simulation_;
    std::function<bool(const std::string&)> openDocument_;
    KeyboardStack stack_;

    std::map<int, QWidget*> controls_;
    std::vector<KeyButton> keyButtons_;
    std::array<bool, 9 + 106> lightFlags_{};
    QLabel* busyIndicator_ = nullptr;
    std::vector<QPixmap> busyFrames_;
    int busyFrame_ = 0;
    std::string linkTarget_;

    QTimer busyTimer_;          // 1050
    QTimer lightingReadTimer_;  // 1051
    QTimer previewTimer_;       // 1052
    QTimer keyboardResetTimer_; // 1053

    editors::KeyEditor* keyEditor_ = nullptr;
    std::function<std::unique_ptr<TrayArea>()> makeTrayArea_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<AboutDialog> about_;
    std::unique_ptr<ProfileManagerDialog> profileManager_;
    std::unique_ptr<FirmwareUpdateDialog> updateDialog_;
    std::unique_ptr<editors::KeyAssignmentDialog> keyAssignmentDialog_;
    // Built once the window's own controls are placed; refers to the keyboard stack.
    std::unique_ptr<LightingPanel> lightingPanel_;

    bool initialised_ = false;
    bool applyEnabled_ = false;
    bool applying_ = false;
    // The event-loop level the running keyboard sequence started at; -1 when none runs.
    int sequenceLoopLevel_ = -1;
    std::deque<std::function<void()>> laterSequences_;
    bool exiting_ = false;
    int shownTrayImage_ = 0;
    // The tray image of the connection state, which the keyboard's "usual" request restores;
    // written and read on the device threads.
    std::atomic<int> connectionTrayImage_{kTrayImageNoKeyboard};

    // Device threads waiting on the window give up once the program ends.
    std::mutex waitMutex_;
    std::condition_variable waitDone_;
    bool closing_ = false;
};

} // namespace velkan::app
