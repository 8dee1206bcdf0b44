#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/busy_indicator.h"
#include "app/firmware_update_dialog.h"
#include "app/key_grid.h"
#include "app/keyboard_tray.h"
#include "app/lighting_panel.h"
#include "app/main_menu.h"
#include "app/pending_edits.h"
#include "app/profile_actions.h"
#include "app/profile_manager_dialog.h"
#include "app/secondary_windows.h"
#include "editors/key_assignment_dialog.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "storage/problem_texts.h"
#include "storage/profile_file.h"
#include "storage/profile_list.h"
#include "widgets/skin_menu.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <utility>

namespace velkan::app {

namespace {

using skin::ImageButton;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MainWindow::MainWindow(Services services)
    : skin::SkinnedDialog(nullptr, services.globals.paths.mainSkin,
                          services.globals.paths.skinFolder),
      globals_(services.globals), language_(services.language), prompts_(services.prompts),
      keyboard_(services.keyboard), simulation_(std::move(services.simulation)),
      links_({std::move(services.openDocument), prompts_, language_,
              services.globals.paths.helpFolder}),
      makeTrayArea_(std::move(services.trayArea)), startHidden_(services.startHidden) {
    // No task-bar button until the window is first shown.
    setWindowFlag(Qt::Tool, true);
}

MainWindow::~MainWindow() {
    keyboard_.stop();
}

TrayIcon* MainWindow::trayIcon() const {
    return tray_ ? &tray_->icon() : nullptr;
}

bool MainWindow::onInitDialog() {
    // Every picture is loaded before the keyboard is looked for, so a skin that lacks one is
    // reported before anything is sent to the keyboard.
    if (!loadSharedPictures()) {
        return false;
    }
    links_.readSkinLink(iniPath());
    createControls();
    edits_ = new PendingEdits(keyboard_, prompts_, language_, this);
    connect(edits_, &PendingEdits::pendingChanged, buttons_.apply, &QWidget::setEnabled);
    connect(edits_, &PendingEdits::readyToExit, this, &MainWindow::exitRoutine);
    profiles_ = new ProfileActions({keyboard_, prompts_, language_, [this] { return keyEditor_; },
                                    [this] { return edits_->pending(); }},
                                   this);
    connect(profiles_, &ProfileActions::profileMarked, this,
            [this](int profile) { buttons_.markProfile(profile); });
    connect(profiles_, &ProfileActions::switched, this, &MainWindow::profileSwitched);
    lightingPanel_ = std::make_unique<LightingPanel>(LightingPanel::Parts{
        *this, keyboard_, *keyGrid_, language_,
        [this](std::function<void(bool)> then) {
            profiles_->select(std::clamp(keyboard_.activeProfile(), 0, 2), std::move(then));
        },
        [this] { refreshKeyGrid(); }});
    connectControls();
    edits_->setPending(false);
    applyFlip();
    globals_.paths.addUserPaths();
    keyboard_.colourFiles().ensureFolder();
    setWindowTitle(fromUtf8(language_.text("MAIN_CAPTION")));
    buttons_.showColourMode(language_, keyGrid_->colourMode());
    tray_ =
        std::make_unique<KeyboardTray>(*this, language_, keyboard_, makeTrayArea_(), simulation_);
    connectTray();
    createSecondaryWindows();
    connectKeyboard();
    keyboard_.start(startHidden_);
    // Initialisation ends hidden: the window shows itself for the keyboard, or on request.
    QMetaObject::invokeMethod(
        this,
        [this] {
            initialised_ = true;
            if (!keyboard_.present() || startHidden_) {
                hide();
            }
        },
        Qt::QueuedConnection);
    const int index = language_.languageIndex();
    reloadTexts(index >= 0 && index <= 2 ? index : 0);
    return true;
}

bool MainWindow::loadSharedPictures() {
    for (const char* name :
         {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg", "Arrow.jpg",
          "main_color0.jpg", "main_color1.jpg"}) {
        if (skin::skinPicture(iniFolder() / name).isNull()) {
            return false;
        }
    }
    return !BusyIndicator::skinFrames(iniFolder()).empty();
}

void MainWindow::createControls() {
    keyGrid_ = new KeyGrid(*this, language_);
    buttons_ = MainWindowButtons::create(*this);
    busyIndicator_ = new BusyIndicator(BusyIndicator::skinFrames(iniFolder()), this);
    busyIndicator_->setObjectName(QStringLiteral("busyIndicator"));
    skin::placeControl(*busyIndicator_, iniPath(), skin::kButtonSection, "CONTROL_JDTStatic");
    buttons_.link->setToolTipText(fromUtf8(links_.skinLink()));
}

void MainWindow::connectControls() {
    const auto onClick = [this](ImageButton* button, auto slot) {
        connect(button, &QAbstractButton::clicked, this, [this, slot] {
            if (!exiting_) {
                slot();
            }
        });
    };
    onClick(buttons_.ok, [this] {
        edits_->apply();
        hide();
    });
    onClick(buttons_.cancel, [this] { hide(); });
    onClick(buttons_.apply, [this] {
        if (keyboardFree()) {
            edits_->apply();
        }
    });
    onClick(buttons_.macro, [this] { editKey(model::kMacroKey); });
    onClick(buttons_.link, [this] { links_.openSkinLink(); });
    onClick(buttons_.help, [this] { links_.openHelp(); });
    onClick(buttons_.minimise, [this] { showMinimized(); });
    onClick(buttons_.close, [this] { requestExit(); });
    onClick(buttons_.menu, [this] { showMainMenu(); });
    for (ImageButton* flip : {buttons_.flip1, buttons_.flip2}) {
        onClick(flip, [this] { invertFlip(); });
    }
    for (int profile = 0; profile < 3; ++profile) {
        onClick(buttons_.profileButtons()[static_cast<std::size_t>(profile)], [this, profile] {
            if (keyboardFree()) {
                chooseProfile(profile);
            }
        });
    }
    onClick(buttons_.defaults, [this] {
        if (keyboardFree()) {
            profiles_->restoreDefaults();
        }
    });
    onClick(buttons_.colourSwitch, [this] { switchColourMode(); });
    onClick(buttons_.profiles, [this] {
        if (keyboardFree()) {
            secondary_->profileManager().openProfileManager();
            refreshKeyGrid();
        }
    });
    onClick(buttons_.community1, [this] { links_.openCommunityPage(0); });
    onClick(buttons_.community2, [this] { links_.openCommunityPage(1); });
    connect(keyGrid_, &KeyGrid::keyClicked, this, &MainWindow::onKeyClicked);
}

void MainWindow::connectKeyboard() {
    connect(&keyboard_, &KeyboardController::arrived, this, &MainWindow::arrived);
    connect(&keyboard_, &KeyboardController::removed, this, &MainWindow::removed);
    connect(&keyboard_, &KeyboardController::busyChanged, busyIndicator_, &BusyIndicator::setBusy);
    connect(&keyboard_, &KeyboardController::keysReplaced, this, &MainWindow::refreshKeyGrid);
    connect(&keyboard_, &KeyboardController::lightingReplaced, lightingPanel_.get(),
            &LightingPanel::refresh);
    connect(&keyboard_, &KeyboardController::profileShown, this,
            [this](int profile) { buttons_.markProfile(profile); });
    connect(&keyboard_, &KeyboardController::defaultsRestored, this, [this] { chooseProfile(0); });
    connect(&keyboard_, &KeyboardController::problemReported, this,
            [this](device::KeyboardProblem problem) {
                prompts_.message(language_.text(storage::problemTextKey(problem)));
            });
}

void MainWindow::connectTray() {
    TrayIcon& icon = tray_->icon();
    // Queued: each may open a message box, whose event loop must not run inside the signal
    // of the tray menu, which deletes itself once hidden.
    connect(&icon, &TrayIcon::openRequested, this, &MainWindow::showWindow, Qt::QueuedConnection);
    connect(
        &icon, &TrayIcon::aboutRequested, this, [this] { secondary_->about().request(); },
        Qt::QueuedConnection);
    connect(&icon, &TrayIcon::exitRequested, this, &MainWindow::requestExit, Qt::QueuedConnection);
}

void MainWindow::createSecondaryWindows() {
    secondary_ = std::make_unique<SecondaryWindows>(SecondaryWindows::Parts{
        *this, globals_, language_, prompts_, keyboard_,
        [this](const std::string& document) { return links_.open(document); },
        [this] { links_.openHelp(); },
        [this](int profile, std::function<void(bool)> then) {
            profiles_->select(profile, [this, then = std::move(then)](bool switched) {
                if (switched) {
                    // The working file is made again from the keyboard, which now holds
                    // the configuration.
                    keyboard_.readBack();
                }
                then(switched);
            });
        },
        [this](const std::filesystem::path& file) {
            if (keyboardFree()) {
                profiles_->importFile(file);
            }
        },
        [this] {
            edits_->setPending(true);
            refreshKeyGrid();
        },
        [this](model::KeyButton key) { return keyGrid_->screenRect(key); }});
    keyEditor_ = &secondary_->keyEditor();
}

// ---- requests from outside the window ----

void MainWindow::runMenuCommand(MenuCommand command) {
    if (exiting_) {
        return;
    }
    switch (command) {
    case MenuCommand::about:
        secondary_->about().request();
        break;
    case MenuCommand::importProfile:
        if (keyboardFree()) {
            profiles_->importProfile();
        }
        break;
    case MenuCommand::exportProfile:
        profiles_->exportProfile();
        break;
    case MenuCommand::firmwareUpdate:
        secondary_->firmwareUpdate().exec();
        break;
    case MenuCommand::exit:
        requestExit();
        break;
    }
}

void MainWindow::deliverInstanceRequest(platform::InstanceRequest request) {
    // Queued, not waited for: the open request may show a message box, and the channel must
    // stay free meanwhile for a kill request, which the box's own loop then runs.
    QMetaObject::invokeMethod(
        this,
        [this, request] {
            switch (request) {
            case platform::InstanceRequest::open:
                showWindow();
                break;
            case platform::InstanceRequest::kill:
                exitRoutine();
                break;
            case platform::InstanceRequest::apply:
                edits_->applyWhenFree();
                break;
            case platform::InstanceRequest::readBack:
                // Another program changed the keyboard: show what it holds now.
                keyboard_.readBack();
                break;
            }
        },
        Qt::QueuedConnection);
}

void MainWindow::showWindow() {
    if (!keyboard_.present()) {
        prompts_.message(language_.text("MAIN_NO_DEVICE_PROMPT"));
        return;
    }
    if (windowFlags().testFlag(Qt::Tool)) {
        setWindowFlag(Qt::Tool, false); // the window keeps its task-bar button from now on
    }
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::exitRoutine() {
    if (exiting_) {
        return;
    }
    exiting_ = true;
    hide();
    if (secondary_) {
        secondary_->closeAll();
    }
    if (keyEditor_ != nullptr) {
        keyEditor_->cancelIfOpen();
    }
    globals_.instanceLock.close();
    if (tray_) {
        tray_->icon().remove();
    }
    edits_->setPending(false);
    keyboard_.stop();
    storage::newProfileInMemory(keyboard_.keys().edited);
    QCoreApplication::exit(0);
}

// ---- the keyboard's comings and goings ----

void MainWindow::arrived(device::Arrival arrival) {
    // Only a keyboard that was there at start opens the window, unless started in the tray.
    if (arrival == device::Arrival::atStart && !startHidden_) {
        showWindow();
    }
}

void MainWindow::removed() {
    if (secondary_) {
        secondary_->closeAll();
    }
    if (keyEditor_ != nullptr) {
        keyEditor_->cancelIfOpen();
    }
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && focus->window() == this) {
        setFocus();
    }
    hide();
}

// ---- keys ----

bool MainWindow::keyboardFree() const {
    return !keyboard_.busy() && !exiting_;
}

void MainWindow::onKeyClicked(model::KeyButton keyButton) {
    // In the per-key view a key is painted; the G keys never are.
    if (!keyGrid_->isGKey(keyButton) && lightingPanel_->perKeyView()) {
        lightingPanel_->paintKey(keyButton);
        return;
    }
    if (keyButton == model::kFnKey) {
        return;
    }
    if (!keyGrid_->colourMode()) {
        editKey(keyButton);
        return;
    }
    if (keyGrid_->toggleLightFlag(keyButton)) {
        edits_->setPending(true);
    }
}

void MainWindow::editKey(model::KeyButton keyButton) {
    const std::optional<editors::SelectedKey> key = keyGrid_->keyOf(keyButton);
    if (!key || !keyboardFree()) {
        return; // editing waits for the keyboard's contents
    }
    ImageButton* button = keyGrid_->button(keyButton);
    button->setDown(true);
    keyEditor_->edit(*key, keyButton == model::kMacroKey);
    button->setDown(false);
    refreshKeyGrid();
}

void MainWindow::switchColourMode() {
    keyGrid_->setColourMode(!keyGrid_->colourMode());
    buttons_.showColourMode(language_, keyGrid_->colourMode());
}

void MainWindow::refreshKeyGrid() {
    keyGrid_->showAssignments(keyboard_.keys().edited, keyboard_.activeProfile());
    applyFlip();
}

// ---- profiles ----

void MainWindow::chooseProfile(int profile) {
    lightingPanel_->leavePerKeyView();
    profiles_->choose(profile);
}

void MainWindow::profileSwitched() {
    // The model is now the new profile's, as the keyboard holds it.
    edits_->setPending(false);
    refreshKeyGrid();
    keyGrid_->setColourMode(false);
    buttons_.showColourMode(language_, keyGrid_->colourMode());
}

// ---- Flip ----

void MainWindow::applyFlip() {
    const bool flip = globals_.appProfile.readInt("PROFILES", "Flip", 0) != 0;
    keyGrid_->setFlip(flip);
    buttons_.flipShown->setSelectedLook(flip);
}

void MainWindow::invertFlip() {
    const bool flip = globals_.appProfile.readInt("PROFILES", "Flip", 0) != 0;
    globals_.appProfile.writeInt("PROFILES", "Flip", flip ? 0 : 1);
    applyFlip();
}

// ---- menus, links, texts and events ----

void MainWindow::showMainMenu() {
    // The choice runs once the menu is gone: it may open a window of its own.
    std::function<void()> chosen;
    const MenuChoice choice{[this, &chosen](MenuCommand command) {
                                chosen = [this, command] { runMenuCommand(command); };
                            },
                            [this, &chosen](int profile) {
                                chosen = [this, profile] {
                                    if (!exiting_ && keyboardFree()) {
                                        chooseProfile(profile);
                                    }
                                };
                            }};
    const std::unique_ptr<widgets::SkinMenu> menu =
        buildMainMenu(this, language_, globals_.appProfile, simulation_, choice);
    menu->exec(QCursor::pos());
    if (chosen) {
        chosen();
    }
}

void MainWindow::requestExit() {
    if (exiting_) {
        return;
    }
    if (edits_->pending()) {
        const std::optional<bool> applyFirst =
            prompts_.askYesNoCancel(language_.text("MAIN_EXIT_APPLY_PROMPT"));
        if (!applyFirst) {
            return; // Cancel: the window stays
        }
        if (*applyFirst) {
            edits_->applyThenExit();
            return;
        }
    }
    exitRoutine();
}

void MainWindow::reloadTexts(int languageIndex) {
    buttons_.showTexts(language_);
    buttons_.showColourMode(language_, keyGrid_->colourMode());
    if (lightingPanel_) {
        lightingPanel_->reloadTexts();
    }
    if (secondary_) {
        secondary_->reloadTexts();
    }
    if (keyEditor_ != nullptr) {
        keyEditor_->reloadTexts(languageIndex);
    }
    setWindowTitle(fromUtf8(language_.text("MAIN_CAPTION")));
    if (tray_) {
        tray_->showTexts();
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept(); // never close or hide the window
        return;
    case Qt::Key_F1:
        links_.openHelp();
        return;
    default:
        skin::SkinnedDialog::keyPressEvent(event);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box only hides; the program lives on in the notification area.
    event->ignore();
    hide();
}

} // namespace velkan::app
