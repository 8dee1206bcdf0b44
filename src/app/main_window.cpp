#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/busy_indicator.h"
#include "app/firmware_update_dialog.h"
#include "app/key_grid.h"
#include "app/lighting_panel.h"
#include "app/main_menu.h"
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

constexpr std::string_view kDefaultLink = "https://www.example.com/";
constexpr std::string_view kCommunityPages[] = {"https://www.example.com/community",
                                                "https://www.example.com/news"};
constexpr int kBusyFrameCount = 10;
constexpr int kPreviewStepMs = 50;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MainWindow::MainWindow(Services services)
    : skin::SkinnedDialog(102, nullptr, services.globals.paths.mainSkin,
                          services.globals.paths.skinFolder),
      globals_(services.globals), language_(services.language), prompts_(services.prompts),
      keyboard_(services.keyboard), simulation_(std::move(services.simulation)),
      openDocument_(std::move(services.openDocument)), makeTrayArea_(std::move(services.trayArea)),
      startHidden_(services.startHidden) {
    globals_.mainWindow = this;
    // No task-bar button until the window is first shown.
    setWindowFlag(Qt::Tool, true);
    // Re-armed after each step, so a slow step never queues another behind it.
    previewTimer_.setSingleShot(true);
    connect(&previewTimer_, &QTimer::timeout, this, [this] {
        if (lightingPanel_) {
            lightingPanel_->previewTick();
        }
        previewTimer_.start(kPreviewStepMs);
    });
}

MainWindow::~MainWindow() {
    keyboard_.stop();
    if (globals_.mainWindow == this) {
        globals_.mainWindow = nullptr;
    }
}

bool MainWindow::onInitDialog() {
    // Every picture is loaded before the keyboard is looked for, so a skin that lacks one is
    // reported before anything is sent to the keyboard.
    if (!loadSharedPictures()) {
        return false;
    }
    linkTarget_ = skin::readSkinLink(iniPath(), kDefaultLink);
    createControls();
    profiles_ = new ProfileActions({keyboard_, prompts_, language_, [this] { return keyEditor_; },
                                    [this] { return applyEnabled_; }},
                                   this);
    connect(profiles_, &ProfileActions::profileMarked, this, &MainWindow::selectProfileButton);
    connect(profiles_, &ProfileActions::switched, this, &MainWindow::profileSwitched);
    lightingPanel_ = std::make_unique<LightingPanel>(LightingPanel::Parts{
        *this, keyboard_, *keyGrid_, language_,
        [this](std::function<void(bool)> then) {
            profiles_->select(std::clamp(keyboard_.activeProfile(), 0, 2), std::move(then));
        },
        [this] { refreshKeyGrid(); }});
    connectControls();
    setApplyEnabled(false);
    applyFlip();
    globals_.paths.addUserPaths();
    keyboard_.colourFiles().ensureFolder();
    setWindowTitle(fromUtf8(language_.text("MAIN_CAPTION")));
    globals_.colourMode = 0;
    updateSwitchText();
    createTrayIcon();
    connectKeyboard();
    keyboard_.start(startHidden_);
    previewTimer_.start(100);
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
    globals_.languageIndex = index >= 0 && index <= 2 ? index : 0;
    reloadTexts(globals_.languageIndex);
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
    for (int frame = 1; frame <= kBusyFrameCount; ++frame) {
        if (skin::skinPicture(iniFolder() / ("jdt" + std::to_string(frame) + ".bmp")).isNull()) {
            return false;
        }
    }
    return true;
}

void MainWindow::createControls() {
    keyGrid_ = new KeyGrid(*this, language_);
    buttons_ = MainWindowButtons::create(*this);
    std::vector<QPixmap> frames;
    for (int frame = 1; frame <= kBusyFrameCount; ++frame) {
        frames.push_back(skin::skinPicture(iniFolder() / ("jdt" + std::to_string(frame) + ".bmp")));
    }
    busyIndicator_ = new BusyIndicator(std::move(frames), this);
    busyIndicator_->setObjectName(QStringLiteral("busyIndicator"));
    skin::placeControl(*busyIndicator_, iniPath(), skin::kButtonSection, "CONTROL_JDTStatic");
    buttons_.link->setToolTipText(fromUtf8(linkTarget_));
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
        apply();
        hide();
    });
    onClick(buttons_.cancel, [this] { hide(); });
    onClick(buttons_.apply, [this] {
        if (keyboardFree()) {
            apply();
        }
    });
    onClick(buttons_.macro, [this] { editKey(KeyGrid::kMacroKey); });
    onClick(buttons_.link, [this] { openLink(linkTarget_); });
    onClick(buttons_.help, [this] { openHelp(); });
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
    onClick(buttons_.community1, [this] { openLink(std::string(kCommunityPages[0])); });
    onClick(buttons_.community2, [this] { openLink(std::string(kCommunityPages[1])); });
    connect(keyGrid_, &KeyGrid::keyClicked, this, &MainWindow::onKeyClicked);
}

void MainWindow::connectKeyboard() {
    connect(&keyboard_, &KeyboardController::arrived, this, &MainWindow::arrived);
    connect(&keyboard_, &KeyboardController::removed, this, &MainWindow::removed);
    connect(&keyboard_, &KeyboardController::busyChanged, this, [this](bool busy) {
        busyIndicator_->setBusy(busy);
        if (!busy && std::exchange(applyWhenFree_, false)) {
            apply();
        }
    });
    connect(&keyboard_, &KeyboardController::keysReplaced, this, &MainWindow::refreshKeyGrid);
    connect(&keyboard_, &KeyboardController::lightingReplaced, lightingPanel_.get(),
            &LightingPanel::refresh);
    connect(&keyboard_, &KeyboardController::profileShown, this, &MainWindow::selectProfileButton);
    connect(&keyboard_, &KeyboardController::applyFinished, this,
            [this](const KeyWriteReport& report) {
                if (tellKeyWrite(report.outcome) && report.fileSaved) {
                    setApplyEnabled(false);
                }
                if (std::exchange(exitAfterApply_, false) && !applyEnabled_) {
                    exitRoutine();
                }
            });
    connect(&keyboard_, &KeyboardController::importFinished, this,
            [this](bool loaded, const KeyWriteReport& report) {
                if (!loaded) {
                    prompts_.message(language_.text("MAIN_PROMPT_INPORT"));
                    return;
                }
                // Apply stays on when the keyboard did not take the imported profile.
                setApplyEnabled(!tellKeyWrite(report.outcome));
            });
    connect(&keyboard_, &KeyboardController::defaultsRestored, this,
            [this](const KeyWriteReport& report) {
                setApplyEnabled(!(tellKeyWrite(report.outcome) && report.fileSaved));
                chooseProfile(0);
            });
    connect(&keyboard_, &KeyboardController::resetFollowed, this,
            [this] { setApplyEnabled(true); });
    connect(&keyboard_, &KeyboardController::trayImageRequested, this,
            [this](device::TrayImage image) {
                showTrayPicture(image == device::TrayImage::alternate ? TrayPicture::alternate
                                : keyboard_.present()                 ? TrayPicture::connected
                                                                      : TrayPicture::noKeyboard);
            });
    connect(&keyboard_, &KeyboardController::problemReported, this,
            [this](device::KeyboardProblem problem) {
                prompts_.message(language_.text(storage::problemTextKey(problem)));
            });
}

void MainWindow::createTrayIcon() {
    tray_ = std::make_unique<TrayIcon>(*this, language_, makeTrayArea_());
    // Queued: each may open a message box, whose event loop must not run inside the signal
    // of the tray menu, which deletes itself once hidden.
    connect(tray_.get(), &TrayIcon::openRequested, this, &MainWindow::showWindow,
            Qt::QueuedConnection);
    connect(
        tray_.get(), &TrayIcon::aboutRequested, this, [this] { secondary_->about().request(); },
        Qt::QueuedConnection);
    connect(tray_.get(), &TrayIcon::exitRequested, this, &MainWindow::requestExit,
            Qt::QueuedConnection);
    if (simulation_) {
        tray_->setMenuExtras([simulation = *simulation_](QMenu& menu) {
            menu.addSeparator();
            addSimulationMenu(menu, simulation);
        });
    }
    // Without a notification area the program still runs, reached by starting it again.
    tray_->create(trayTip(), TrayPicture::noKeyboard);

    secondary_ = std::make_unique<SecondaryWindows>(SecondaryWindows::Parts{
        *this, globals_, language_, prompts_, keyboard_,
        [this](const std::string& document) { return openLink(document); }, [this] { openHelp(); },
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
            setApplyEnabled(true);
            refreshKeyGrid();
        },
        [this](int keyButton) { return keyGrid_->screenRect(keyButton); }});
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
                if (keyboard_.busy()) {
                    applyWhenFree_ = true;
                } else {
                    apply();
                }
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
        tray_->remove();
    }
    setApplyEnabled(false);
    keyboard_.stop();
    storage::newProfileInMemory(keyboard_.keys().edited);
    QCoreApplication::exit(0);
}

// ---- the keyboard's comings and goings ----

void MainWindow::arrived(device::Arrival arrival) {
    showTrayPicture(TrayPicture::connected);
    if (tray_) {
        tray_->setToolTip(trayTip());
    }
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
    showTrayPicture(TrayPicture::noKeyboard);
    if (tray_) {
        tray_->setToolTip(trayTip());
    }
}

void MainWindow::showTrayPicture(TrayPicture picture) {
    if (!exiting_ && tray_ && tray_->picture() != picture) {
        tray_->setPicture(picture);
    }
}

// ---- keys ----

bool MainWindow::keyboardFree() const {
    return !keyboard_.busy() && !exiting_;
}

void MainWindow::onKeyClicked(int keyButton) {
    // In the per-key view a key is painted; the G keys never are.
    if (!keyGrid_->isGKey(keyButton) && lightingPanel_->perKeyView()) {
        lightingPanel_->paintKey(keyButton);
        return;
    }
    if (keyButton == KeyGrid::kFnKey) {
        return;
    }
    if (globals_.colourMode == 0) {
        editKey(keyButton);
        return;
    }
    if (keyGrid_->toggleLightFlag(keyButton)) {
        setApplyEnabled(true);
    }
}

void MainWindow::editKey(int keyButton) {
    const std::optional<editors::SelectedKey> key = keyGrid_->keyOf(keyButton);
    if (!key || !keyboardFree()) {
        return; // editing waits for the keyboard's contents
    }
    ImageButton* button = keyGrid_->button(keyButton);
    button->setDown(true);
    keyEditor_->edit(*key, keyButton == KeyGrid::kMacroKey);
    button->setDown(false);
    refreshKeyGrid();
}

void MainWindow::switchColourMode() {
    globals_.colourMode = globals_.colourMode == 0 ? 1 : 0;
    updateSwitchText();
    keyGrid_->setColourMode(globals_.colourMode != 0);
}

void MainWindow::updateSwitchText() {
    buttons_.colourSwitch->setText(fromUtf8(language_.text(
        globals_.colourMode != 0 ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT")));
}

void MainWindow::refreshKeyGrid() {
    keyGrid_->showAssignments(keyboard_.keys().edited, keyboard_.activeProfile());
    applyFlip();
}

// ---- profiles ----

void MainWindow::selectProfileButton(int profile) {
    const auto buttons = buttons_.profileButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setSelectedLook(static_cast<int>(i) == profile);
    }
}

void MainWindow::chooseProfile(int profile) {
    lightingPanel_->leavePerKeyView();
    profiles_->choose(profile);
}

void MainWindow::profileSwitched() {
    // The model is now the new profile's, as the keyboard holds it.
    setApplyEnabled(false);
    globals_.colourMode = 0;
    updateSwitchText();
    refreshKeyGrid();
    keyGrid_->setColourMode(false);
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

// ---- Apply ----

void MainWindow::setApplyEnabled(bool enabled) {
    applyEnabled_ = enabled;
    if (buttons_.apply != nullptr) {
        buttons_.apply->setEnabled(enabled);
    }
}

void MainWindow::apply() {
    if (applyEnabled_ && !exiting_) {
        keyboard_.apply();
    }
}

bool MainWindow::tellKeyWrite(model::KeyWriteOutcome outcome) {
    if (const std::string_view key = model::keyWriteMessageKey(outcome); !key.empty()) {
        prompts_.message(language_.text(key), true);
    }
    return model::keyTablesWritten(outcome);
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

void MainWindow::openHelp() {
    openLink((globals_.paths.helpFolder / "index.html").string());
}

bool MainWindow::openLink(const std::string& address) {
    if (openDocument_(address)) {
        return true;
    }
    prompts_.message(language_.text("MAIN_OPEN_FAILED"));
    return false;
}

QString MainWindow::trayTip() const {
    return fromUtf8(
        language_.text("KEYBOARD_TRAY_DESC") + "\n" +
        language_.text(keyboard_.present() ? "TRAY_KEYBOARD_CONNECTED" : "TRAY_NO_KEYBOARD"));
}

void MainWindow::requestExit() {
    if (exiting_) {
        return;
    }
    if (applyEnabled_) {
        const std::optional<bool> applyFirst =
            prompts_.askYesNoCancel(language_.text("MAIN_EXIT_APPLY_PROMPT"));
        if (!applyFirst) {
            return; // Cancel: the window stays
        }
        if (*applyFirst) {
            // The program ends once the edits are on the keyboard; a failed write keeps it.
            exitAfterApply_ = true;
            apply();
            return;
        }
    }
    exitRoutine();
}

void MainWindow::reloadTexts(int languageIndex) {
    globals_.languageIndex = languageIndex;
    buttons_.showTexts(language_);
    updateSwitchText();
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
        tray_->setToolTip(trayTip());
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
        openHelp();
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
