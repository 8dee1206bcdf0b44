#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/firmware_update_dialog.h"
#include "app/lighting_panel.h"
#include "app/profile_manager_dialog.h"
#include "editors/key_assignment_dialog.h"
#include "model/key_codes.h"
#include "platform/autostart.h"
#include "platform/keyboard_lock.h"
#include "platform/process.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "storage/problem_texts.h"
#include "storage/profile_file.h"
#include "storage/profile_list.h"
#include "widgets/skin_menu.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QThread>
#include <cstdio>
#include <thread>
#include <utility>

namespace velkan::app {

namespace {

using skin::ButtonPictures;
using skin::ImageButton;

constexpr std::string_view kDefaultLink = "https://www.example.com/";
constexpr std::string_view kMakerSite = "https://www.example.com/";
constexpr std::string_view kSocialPage1 = "https://www.example.com/community";
constexpr std::string_view kSocialPage2 = "https://www.example.com/news";

constexpr int kFnKey = 1174;
constexpr std::array<int, 2> kFurtherKeys = {1199, 1200};
constexpr int kMacroButton = 1007;
constexpr int kLastExtraKey = 1143;
constexpr int kBusyIndicator = 1177;
constexpr int kSwitchButton = 1144;
constexpr std::array<int, 3> kProfileButtons = {1135, 1136, 1137};
constexpr std::array<int, 4> kReportButtons = {1147, 1168, 1169, 1170};
constexpr int kFlipShown = 1129;
constexpr int kFirstFlipFree = 1010;  // 1010-1013 usable with Flip 0
constexpr int kFirstFlipBound = 1016; // 1016-1021 usable with Flip 1
constexpr int kApplyButton = 1006;
constexpr int kBusyFrameCount = 10;

using skin::ButtonPlace;

// Every plain button of the window with its skin key; the key grid is added apart.
constexpr ButtonPlace kButtons[] = {
    {command::kOk, "CONTROL_OK"},
    {command::kCancel, "CONTROL_CANCEL"},
    {1005, "FUNC_PROFILES"},
    {kApplyButton, "CONTROL2_APPLY"},
    {kMacroButton, "FUNC_MACRO"},
    {1121, "VOLTRA_LINK"},
    {1122, "CONTROL_HELP"},
    {1123, "CONTROL_MINIMIZE"},
    {1124, "CONTROL_CLOSE"},
    {1139, "CONTROL_MENU"},
    {1125, "LOCK_CAPS"},
    {1126, "LOCK_NUM"},
    {1127, "LOCK_SCROLL"},
    {1128, "LOCK_AB"},
    {kFlipShown, "FLIP_0"},
    {1130, "FLIP_1"},
    {1131, "FLIP_2"},
    {1134, "VOLTRA_VER"},
    {1135, "FUNC_PROFILE1"},
    {1136, "FUNC_PROFILE2"},
    {1137, "FUNC_PROFILE3"},
    {1138, "FUNC_DEFAULT"},
    {kSwitchButton, "FUNC_SWITCH"},
    {1147, "FUNC_REPORT1"},
    {1168, "FUNC_REPORT2"},
    {1169, "FUNC_REPORT3"},
    {1170, "FUNC_REPORT4"},
    {1211, "CONTROL_Color1"},
    {1212, "CONTROL_Color2"},
    {1213, "CONTROL_Color3"},
    {1214, "CONTROL_Color4"},
    {1215, "CONTROL_Color5"},
    {1216, "CONTROL_Color6"},
    {1217, "CONTROL_Color7"},
    {1218, "CONTROL_Color8"},
    {1219, nullptr}, // the maker's site: the default skin has no place for it
    {1220, "CONTROL_Facebook"},
    {1221, "CONTROL_twitter"},
};

// The buttons whose captions are language texts, and their point sizes.
struct Caption {
    int id;
    const char* key;
    int pointSize;
};
constexpr Caption kCaptions[] = {
    {1135, "PROFILE_1", 10},
    {1136, "PROFILE_2", 10},
    {1137, "PROFILE_3", 10},
    {kMacroButton, "PROFILE_MACRO", 10},
    {1138, "PROFILE_DEFAULT", 10},
    {command::kOk, "PROFILE_OK", 10},
    {command::kCancel, "PROFILE_CANCLE", 10},
    {kApplyButton, "PROFILE_APPLY", 8},
};

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

skin::ButtonTextStyle captionStyle(int pointSize) {
    skin::ButtonTextStyle style;
    style.on = true;
    style.pointSize = pointSize;
    style.face = QStringLiteral("Arial Unicode MS");
    style.normal = style.over = style.down = style.selected = QColor(236, 240, 246);
    style.disabled = QColor(120, 126, 136);
    return style;
}

} // namespace

MainWindow::MainWindow(Services services)
    : skin::SkinnedDialog(102, nullptr, services.globals.paths.mainSkin,
                          services.globals.paths.skinFolder),
      globals_(services.globals), language_(services.language), prompts_(services.prompts),
      simulation_(std::move(services.simulation)), openDocument_(std::move(services.openDocument)),
      stack_(std::move(services.backend), *this, *this, language_,
             storage::ColourFiles::forProgram()),
      makeTrayArea_(std::move(services.trayArea)) {
    globals_.mainWindow = this;
    // No task-bar button until the window is first shown.
    setWindowFlag(Qt::Tool, true);
    busyTimer_.setInterval(50);
    connect(&busyTimer_, &QTimer::timeout, this, [this] { nextBusyFrame(); });
    for (QTimer* oneShot : {&lightingReadTimer_, &keyboardResetTimer_}) {
        oneShot->setSingleShot(true);
        oneShot->setInterval(0);
    }
    connect(&lightingReadTimer_, &QTimer::timeout, this,
            [this] { runSequence([this] { lightingReadBack(); }); });
    connect(&keyboardResetTimer_, &QTimer::timeout, this,
            [this] { runSequence([this] { keyboardResetReaction(); }); });
    // Re-armed after each step, so a slow step never queues another behind it.
    previewTimer_.setSingleShot(true);
    connect(&previewTimer_, &QTimer::timeout, this, [this] { nextPreviewStep(); });
}

MainWindow::~MainWindow() {
    {
        const std::lock_guard lock(waitMutex_);
        closing_ = true;
    }
    waitDone_.notify_all();
    stack_.stopThreads();
    if (globals_.mainWindow == this) {
        globals_.mainWindow = nullptr;
    }
}

bool MainWindow::onInitDialog() {
    stack_.link.activeProfileCache = -1;
    // Every picture is loaded before the device threads start, so a skin that lacks one is
    // reported before anything is sent to the keyboard.
    if (!loadSharedPictures()) {
        return false;
    }
    stack_.startThreads();
    linkTarget_ = skin::readSkinLink(iniPath(), kDefaultLink);
    createControls();
    // After the button exists, so that it shows the state too.
    setApplyEnabled(false);
    placeControls();
    lightingPanel_ = std::make_unique<LightingPanel>(LightingPanel::Parts{
        *this, stack_.lighting, stack_.link, stack_.colourFiles, language_,
        [this](int controlId) { return button(controlId); },
        [this](int controlId) { onCommand(controlId); },
        [this] { return profileManager_->switchProfile(stack_.link.activeProfileCache); },
        [this] {
            refreshKeyGrid();
            redrawKeyButtons();
        }});
    previewTimer_.start(100);
    globals_.paths.addUserPaths();
    stack_.colourFiles.ensureFolder();
    setWindowTitle(fromUtf8(language_.text("MAIN_CAPTION")));
    globals_.colourMode = 0;
    updateSwitchText();
    createTrayIcon();
    postMessage(kInitMessage.message, kInitMessage.tag, 0);
    const int index = language_.languageIndex();
    sendMessage(skin::kLanguageMessage, skin::kLanguageTag, index >= 0 && index <= 2 ? index : 0);
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
    busyFrames_.clear();
    for (int frame = 1; frame <= kBusyFrameCount; ++frame) {
        const std::string name = "jdt" + std::to_string(frame) + ".bmp";
        busyFrames_.push_back(skin::skinPicture(iniFolder() / name));
        if (busyFrames_.back().isNull()) {
            return false;
        }
    }
    return true;
}

ImageButton* MainWindow::addButton(int controlId, const char* skinKey) {
    auto* button = new ImageButton(this);
    const ButtonPictures pictures{skin::skinPicture(iniFolder() / "main_normal.jpg"),
                                  skin::skinPicture(iniFolder() / "main_over.jpg"),
                                  skin::skinPicture(iniFolder() / "main_down.jpg"),
                                  skin::skinPicture(iniFolder() / "main_disable.jpg"),
                                  skin::skinPicture(iniFolder() / "main_down.jpg")};
    skin::placeImageButton(*button, iniPath(), skin::kButtonSection, skinKey ? skinKey : "",
                           pictures);
    controls_[controlId] = button;
    connect(button, &QAbstractButton::clicked, this, [this, controlId] { onCommand(controlId); });
    return button;
}

void MainWindow::createControls() {
    const auto& extraKeys = model::ExtraKeyControlIds();
    for (std::size_t g = 0; g < extraKeys.size(); ++g) {
        const std::string key = "FUNC_G" + std::to_string(g + 1);
        keyButtons_.push_back(
            {extraKeys[g], addButton(extraKeys[g], key.c_str()), static_cast<int>(g)});
    }
    const auto& positions = model::KeyPositionList();
    for (std::size_t i = 0; i < positions.size(); ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "KEY_%03X",
                      unsigned{model::keyIndexFromCode(positions[i].code)});
        keyButtons_.push_back({positions[i].controlId, addButton(positions[i].controlId, key),
                               static_cast<int>(extraKeys.size() + i)});
    }
    addButton(kFnKey, "KEY_FN");
    for (int further : kFurtherKeys) {
        addButton(further, nullptr);
    }
    for (const ButtonPlace& place : kButtons) {
        addButton(place.controlId, place.skinKey);
    }
    for (const int indicator : {1125, 1126, 1127, 1128, 1134}) {
        controls_[indicator]->setEnabled(false);
    }
    busyIndicator_ = new QLabel(this);
    busyIndicator_->hide();
    controls_[kBusyIndicator] = busyIndicator_;
    for (const Caption& caption : kCaptions) {
        button(caption.id)->setTextStyle(captionStyle(caption.pointSize));
    }
    button(kSwitchButton)->setTextStyle(captionStyle(10));
    const QPixmap lightOff = skin::skinPicture(iniFolder() / "main_color0.jpg");
    const QPixmap lightOn = skin::skinPicture(iniFolder() / "main_color1.jpg");
    for (const KeyButton& key : keyButtons_) {
        key.button->setAlternatePair(lightOff, lightOn);
    }
}

void MainWindow::placeControls() {
    skin::placeControl(*busyIndicator_, iniPath(), skin::kButtonSection, "CONTROL_JDTStatic");
    button(1121)->setToolTipText(fromUtf8(linkTarget_));
    applyFlip();
}

ImageButton* MainWindow::button(int controlId) const {
    return qobject_cast<ImageButton*>(control(controlId));
}

QWidget* MainWindow::control(int controlId) const {
    if (const auto found = controls_.find(controlId); found != controls_.end()) {
        return found->second;
    }
    return lightingPanel_ ? lightingPanel_->control(controlId) : nullptr;
}

void MainWindow::createTrayIcon() {
    // Queued: a command may open a message box, whose event loop would otherwise run inside
    // the tray's signal while the tray menu that sent it deletes itself.
    tray_ = std::make_unique<TrayIcon>(
        [this](int command) {
            QMetaObject::invokeMethod(
                this, [this, command] { onCommand(command); }, Qt::QueuedConnection);
        },
        makeTrayArea_());
    tray_->SetSingleClickCommand(1009);
    tray_->SetMenuCallback([this](widgets::SkinMenu& menu) { localiseTrayMenu(menu, language_); });
    // Without a notification area the program still runs, reached by starting it again.
    tray_->Create(this, kTrayCallbackMessage, fromUtf8(language_.text("KEYBOARD_TRAY_DESC")),
                  kTrayImageNoKeyboard, kTrayIconId);
    shownTrayImage_ = kTrayImageNoKeyboard;

    about_ = std::make_unique<AboutDialog>(
        language_, linkTarget_, [this](const std::string& address) { openLink(address); },
        [this] { openHelp(); });
    profileManager_ = std::make_unique<ProfileManagerDialog>(
        this, globals_.paths.profileSkin, globals_.paths.skinFolder,
        ProfileManagerDialog::Parts{stack_.session,
                                    stack_.link,
                                    prompts_,
                                    language_,
                                    globals_.appProfile,
                                    storage::workingFilePath(),
                                    {[this] { return keyEditor_ ? keyEditor_->openCount() : 0; },
                                     [this] { return applyEnabled_; }, [this] { return Apply(); }},
                                    [this] { lightingChanged(); },
                                    [this] { setApplyEnabled(false); }});
    keyAssignmentDialog_ = std::make_unique<editors::KeyAssignmentDialog>(
        this, editors::KeyAssignmentDialog::Parts{
                  globals_.paths.compositeSkin, globals_.paths.skinFolder, stack_.configuration,
                  [this] { return std::clamp(stack_.link.activeProfileCache.load(), 0, 2); },
                  [this](int id) {
                      const QWidget* key = control(id);
                      return key ? QRect(key->mapToGlobal(QPoint()), key->size()) : QRect();
                  },
                  prompts_, language_, globals_.appProfile,
                  [this] {
                      setApplyEnabled(true);
                      refreshKeyGrid();
                  },
                  [] { return platform::startOnScreenKeyboard(); }, openDocument_,
                  globals_.paths.helpFolder});
    setKeyEditor(keyAssignmentDialog_.get());
    updateDialog_ = std::make_unique<FirmwareUpdateDialog>(
        this, FirmwareUpdateDialog::Parts{globals_.paths.updateSkin, globals_.paths.skinFolder,
                                          [this] { return stack_.session.enterBootMode(); },
                                          stack_.configuration, prompts_, language_,
                                          globals_.paths.packageFolder});
}

qintptr MainWindow::handleMessage(quint32 message, quintptr wParam, qintptr lParam) {
    switch (message) {
    case kOpenRequest.message:
        if (wParam == kOpenRequest.tag) {
            showWindow();
        }
        return 0;
    case kKillRequest.message:
        if (wParam == kKillRequest.tag) {
            exitRoutine();
        }
        return 0;
    case kInitMessage.message:
        if (wParam == kInitMessage.tag) {
            initialised_ = true;
            hide();
        }
        return 0;
    case skin::kLanguageMessage:
        if (wParam == skin::kLanguageTag) {
            globals_.languageIndex = static_cast<int>(lParam);
            if (about_ && about_->isVisible()) {
                about_->handleMessage(message, wParam, lParam);
            }
            if (keyEditor_ != nullptr) {
                keyEditor_->reloadTexts(static_cast<int>(lParam));
            }
            reloadTexts(static_cast<int>(lParam));
        }
        return 0;
    case kReloadProfiles.message:
        if (wParam == kReloadProfiles.tag) {
            runSequence([this] { reloadAfterArrival(); });
        }
        return 0;
    case kCloseSecondaryWindows:
        closeSecondaryWindows();
        return 0;
    case kRefreshExtraKeys.message:
        if (wParam == kRefreshExtraKeys.tag) {
            refreshExtraKeyMarks();
        }
        return 0;
    case kExternalApply:
        Apply();
        return 0;
    case kSliderMessage:
        if (lightingPanel_) {
            lightingPanel_->sliderMessage(static_cast<int>(wParam));
        }
        return 0;
    default:
        return skin::SkinnedDialog::handleMessage(message, wParam, lParam);
    }
}

void MainWindow::onCommand(int command) {
    if (applying_) {
        return; // one thing at a time while the keyboard is written
    }
    if (const auto& extra = model::ExtraKeyControlIds();
        std::find(extra.begin(), extra.end(), command) != extra.end() ||
        (command >= 1010 && command <= 1120) || command == kFurtherKeys[0] ||
        command == kFurtherKeys[1]) {
        onKeyClicked(command);
        return;
    }
    if (command >= storage::kProfileMenuDefault && command <= storage::kProfileMenuLast) {
        if (const auto profile = storage::profileOfMenuCommand(command)) {
            selectProfile(*profile);
        }
        return;
    }
    if (lightingPanel_ && lightingPanel_->onCommand(command)) {
        return;
    }
    switch (command) {
    case command::kOk:
        Apply();
        hide();
        break;
    case command::kCancel:
        hide();
        break;
    case kApplyButton:
        Apply();
        break;
    case kMacroButton:
        onKeyClicked(kLastExtraKey);
        break;
    case 1121:
        openLink(linkTarget_);
        break;
    case 1122:
        openHelp();
        break;
    case 1123:
        showMinimized();
        break;
    case 1124:
    case command::kTrayExit:
    case command::kMenuExit:
        exitRoutine();
        break;
    case 1139:
        showMainMenu();
        break;
    case 1130:
    case 1131:
        invertFlip();
        break;
    case 1135:
    case 1136:
    case 1137:
        selectProfile(command - 1135);
        break;
    case 1138:
        restoreDefaults();
        break;
    case kSwitchButton:
        switchColourMode();
        break;
    case kFnKey:
        if (lightingPanel_ && lightingPanel_->perKeyView()) {
            lightingPanel_->paintKey(kFnKey);
        }
        break;
    case 1147:
        selectReport(0);
        break;
    case 1168:
    case 1169:
    case 1170:
        selectReport(command - 1167);
        break;
    case 1219:
        openLink(std::string(kMakerSite));
        break;
    case 1220:
        openLink(std::string(kSocialPage1));
        break;
    case 1221:
        openLink(std::string(kSocialPage2));
        break;
    case command::kOpenWindow:
        showWindow();
        break;
    case command::kAbout:
    case command::kAboutSystem:
        openAbout();
        break;
    case command::kImport:
        importProfile();
        break;
    case 1005:
        profileManager_->openProfileManager();
        refreshKeyGrid();
        break;
    case command::kFirmwareUpdate:
        updateDialog_->exec();
        break;
    case command::kExport:
        exportProfile();
        break;
    default:
        break;
    }
}

void MainWindow::deliverInstanceMessage(const platform::InstanceMessage& message) {
    if (message.message == kExternalApply) {
        postMessage(kExternalApply, static_cast<quintptr>(message.wParam), 0);
        return;
    }
    if (message.message == platform::kReadBackRequest.message &&
        message.wParam == platform::kReadBackRequest.wParam) {
        // Another program changed the keyboard: show what it holds now.
        QMetaObject::invokeMethod(
            this,
            [this] {
                runSequence([this] {
                    if (stack_.link.lastNotifiedPresent) {
                        reloadAfterArrival();
                    }
                });
            },
            Qt::QueuedConnection);
        return;
    }
    // Queued, not waited for: the open request may show a message box, and the channel must
    // stay free meanwhile for a kill request, which the box's own loop then runs.
    for (const TaggedMessage& request : {kOpenRequest, kKillRequest}) {
        if (message.message == request.message && message.wParam == request.tag) {
            postMessage(request.message, request.tag, 0);
        }
    }
}

void MainWindow::showWindow() {
    if (!stack_.link.lastNotifiedPresent) {
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
    {
        // Device threads and other processes waiting on the window are let go from now on.
        const std::lock_guard lock(waitMutex_);
        closing_ = true;
    }
    waitDone_.notify_all();
    hide();
    closeSecondaryWindows();
    globals_.instanceLock.close();
    if (tray_) {
        tray_->Remove();
    }
    shownTrayImage_ = 0;
    setApplyEnabled(false);
    {
        const std::lock_guard lock(stack_.configuration.modelLock);
        storage::newProfileInMemory(stack_.configuration.edited);
    }
    QCoreApplication::exit(0);
}

void MainWindow::closeSecondaryWindows() {
    if (about_) {
        about_->reject();
    }
    if (profileManager_ && profileManager_->isVisible()) {
        profileManager_->reject();
    }
    if (keyEditor_ != nullptr) {
        keyEditor_->cancelIfOpen();
    }
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && focus->window() == this) {
        setFocus();
    }
}

void MainWindow::openAbout() {
    if (about_) {
        about_->request();
    }
}

void MainWindow::openHelp() {
    openDocument_((globals_.paths.helpFolder / "index.html").string());
}

void MainWindow::openLink(const std::string& address) {
    openDocument_(address);
}

void MainWindow::showMainMenu() {
    const std::unique_ptr<widgets::SkinMenu> menu = loadMenu(kMainMenu, this);
    localiseMainMenu(*menu, language_);
    // The profile list: switching the keyboard's profile from the menu.
    menu->addSeparator();
    for (const storage::ProfileMenuEntry& entry :
         storage::profileMenuEntries(globals_.appProfile, language_)) {
        menu->addCommand(entry.command, fromUtf8(entry.text))->setEnabled(entry.enabled);
    }
    // Starting with the desktop session: the program then lives in the tray from log-in on.
    menu->addSeparator();
    QAction* autostart = menu->addAction(fromUtf8(language_.text("MENU_AUTOSTART")));
    autostart->setCheckable(true);
    autostart->setChecked(platform::autostartEnabled());
    connect(autostart, &QAction::toggled, this, [](bool on) { platform::setAutostart(on); });
    if (simulation_) {
        addSimulationMenu(*menu);
    }
    int chosen = 0;
    connect(menu.get(), &widgets::SkinMenu::commandTriggered, this,
            [&chosen](int id) { chosen = id; });
    menu->exec(QCursor::pos());
    if (chosen != 0) {
        onCommand(chosen);
    }
}

void MainWindow::addSimulationMenu(widgets::SkinMenu& menu) {
    // Not translated: the simulated keyboard is a developer's and tester's tool.
    QMenu* sim = menu.addMenu(QStringLiteral("Simulated keyboard"));
    Simulation simulation = *simulation_;
    sim->addAction(QStringLiteral("Unplug"), this,
                   [simulation] { simulation.backend->unplug(simulation.keyboard); });
    sim->addAction(QStringLiteral("Plug in"), this,
                   [simulation] { simulation.backend->plug(simulation.keyboard); });
    sim->addSeparator();
    sim->addAction(QStringLiteral("Change lighting on the keyboard"), this,
                   [simulation] { simulation.keyboard->changeLightingOnKeyboard(); });
    sim->addAction(QStringLiteral("Reset the keyboard"), this,
                   [simulation] { simulation.keyboard->factoryReset(); });
    sim->addAction(QStringLiteral("Alternate tray icon"), this, [simulation] {
        simulation.keyboard->sendEvent(device::event_code::kTrayIconAlternate);
    });
    sim->addAction(QStringLiteral("Usual tray icon"), this, [simulation] {
        simulation.keyboard->sendEvent(device::event_code::kTrayIconRestore);
    });
}

// ---- device threads ----

void MainWindow::runOnWindowThread(std::function<void()> task) {
    if (QThread::currentThread() == thread()) {
        task();
        return;
    }
    struct Wait {
        bool done = false;
    };
    auto wait = std::make_shared<Wait>();
    {
        const std::lock_guard lock(waitMutex_);
        if (closing_) {
            return;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, wait, task = std::move(task)] {
            task();
            {
                const std::lock_guard lock(waitMutex_);
                wait->done = true;
            }
            waitDone_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(waitMutex_);
    waitDone_.wait(lock, [&] { return wait->done || closing_; });
}

void MainWindow::keyboardArrived(device::Arrival arrival) {
    runOnWindowThread([this] { handleMessage(kReloadProfiles.message, kReloadProfiles.tag, 0); });
    connectionTrayImage_ = kTrayImageConnected;
    showTrayImage(kTrayImageConnected);
    // Only a keyboard that was there at start opens the window, unless started in the tray.
    if (arrival == device::Arrival::atStart && !stack_.startHidden) {
        postMessage(kOpenRequest.message, kOpenRequest.tag, 0);
    }
}

void MainWindow::keyboardRemoved() {
    runOnWindowThread([this] { handleMessage(kCloseSecondaryWindows, 0, 0); });
    QMetaObject::invokeMethod(
        this, [this] { hide(); }, Qt::QueuedConnection);
    connectionTrayImage_ = kTrayImageNoKeyboard;
    showTrayImage(kTrayImageNoKeyboard);
}

void MainWindow::lightingChangedOnKeyboard() {
    QMetaObject::invokeMethod(&lightingReadTimer_, qOverload<>(&QTimer::start),
                              Qt::QueuedConnection);
}

void MainWindow::keyboardReset() {
    QMetaObject::invokeMethod(&keyboardResetTimer_, qOverload<>(&QTimer::start),
                              Qt::QueuedConnection);
}

void MainWindow::trayImageWanted(device::TrayImage image) {
    showTrayImage(image == device::TrayImage::alternate ? kTrayImageAlternate
                                                        : connectionTrayImage_.load());
}

void MainWindow::showTrayImage(int image) {
    QMetaObject::invokeMethod(
        this,
        [this, image] {
            if (image == shownTrayImage_ || exiting_) {
                return;
            }
            shownTrayImage_ = image;
            if (tray_) {
                tray_->SetIcon(image);
            }
        },
        Qt::QueuedConnection);
}

void MainWindow::problemFound(device::KeyboardProblem problem) {
    const std::string key(storage::problemTextKey(problem));
    runOnWindowThread([this, key] { prompts_.message(language_.text(key)); });
}

// ---- the model's views ----

void MainWindow::showProfile(int profile) {
    selectProfileButton(profile);
}

void MainWindow::keyModelChanged() {
    refreshKeyGrid();
}

void MainWindow::lightingChanged() {
    if (lightingPanel_) {
        lightingPanel_->refresh();
    }
}

void MainWindow::nextPreviewStep() {
    if (lightingPanel_) {
        lightingPanel_->previewTick();
    }
    previewTimer_.start(50);
}

// ---- keys ----

void MainWindow::onKeyClicked(int controlId) {
    const auto& extraKeys = model::ExtraKeyControlIds();
    const auto extra = std::find(extraKeys.begin(), extraKeys.end(), controlId);
    // In the per-key view a main key is painted; the G keys never are.
    if (extra == extraKeys.end() && lightingPanel_ && lightingPanel_->perKeyView()) {
        lightingPanel_->paintKey(controlId);
        return;
    }
    editors::SelectedKey selected;
    selected.controlId = controlId;
    int flagIndex = -1;
    if (extra != extraKeys.end()) {
        const int position = static_cast<int>(extra - extraKeys.begin());
        selected.keyIndex = model::shownExtraKeyIndex(position);
        flagIndex = position;
    } else {
        const auto& positions = model::KeyPositionList();
        const auto found = std::find_if(positions.begin(), positions.end(),
                                        [&](const auto& p) { return p.controlId == controlId; });
        if (found == positions.end()) {
            return;
        }
        selected.keyIndex = model::keyIndexFromCode(found->code);
        flagIndex =
            static_cast<int>(extraKeys.size()) + static_cast<int>(found - positions.begin());
    }
    if (globals_.colourMode == 0) {
        if (keyEditor_ == nullptr) {
            return;
        }
        button(controlId)->setDown(true);
        keyEditor_->edit(selected, controlId == kLastExtraKey);
        button(controlId)->setDown(false);
        refreshKeyGrid();
        return;
    }
    {
        const std::lock_guard lock(stack_.configuration.modelLock);
        lightFlags_[static_cast<std::size_t>(flagIndex)] =
            !lightFlags_[static_cast<std::size_t>(flagIndex)];
    }
    drawKeyButton(keyButtons_[static_cast<std::size_t>(flagIndex)]);
    setApplyEnabled(true);
}

bool MainWindow::keyLightFlag(int controlId) const {
    for (const KeyButton& key : keyButtons_) {
        if (key.controlId == controlId) {
            return lightFlags_[static_cast<std::size_t>(key.lightFlagIndex)];
        }
    }
    return false;
}

void MainWindow::switchColourMode() {
    globals_.colourMode = globals_.colourMode == 0 ? 1 : 0;
    updateSwitchText();
    redrawKeyButtons();
}

void MainWindow::updateSwitchText() {
    button(kSwitchButton)
        ->setText(fromUtf8(language_.text(globals_.colourMode != 0 ? "MAIN_SWITCH_COLOR_TEXT"
                                                                   : "MAIN_SWITCH_FUNCTION_TEXT")));
}

void MainWindow::drawKeyButton(const KeyButton& key) {
    key.button->setAlternateMode(globals_.colourMode != 0,
                                 lightFlags_[static_cast<std::size_t>(key.lightFlagIndex)]);
}

void MainWindow::redrawKeyButtons() {
    for (const KeyButton& key : keyButtons_) {
        drawKeyButton(key);
    }
}

void MainWindow::refreshKeyGrid() {
    const std::lock_guard lock(stack_.configuration.modelLock);
    const model::KeyModel& edited = stack_.configuration.edited;
    const int profile = std::clamp(stack_.link.activeProfileCache.load(), 0, 2);
    for (const KeyButton& key : keyButtons_) {
        model::KeyIndex index = 0;
        if (key.lightFlagIndex < 9) {
            index = model::shownExtraKeyIndex(key.lightFlagIndex);
        } else {
            index = model::keyIndexFromCode(
                model::KeyPositionList()[static_cast<std::size_t>(key.lightFlagIndex - 9)].code);
        }
        const model::KeyAssignment& record = edited.image.record(profile, index);
        key.button->setSelectedLook(record.type != 0);
        key.button->setToolTipText(
            fromUtf8(editors::keyButtonToolTip(index, record, edited.macros, language_)));
    }
    applyFlip();
}

void MainWindow::refreshExtraKeyMarks() {
    refreshKeyGrid();
}

// ---- profiles ----

void MainWindow::selectProfileButton(int profile) {
    for (std::size_t i = 0; i < kProfileButtons.size(); ++i) {
        button(kProfileButtons[i])->setSelectedLook(static_cast<int>(i) == profile);
    }
}

void MainWindow::selectProfile(int profile) {
    runSequence([this, profile] { switchToProfile(profile); });
}

void MainWindow::switchToProfile(int profile) {
    stack_.session.showLightingPage(profile);
    lightingChanged();
    if (lightingPanel_) {
        lightingPanel_->leavePerKeyView();
    }
    selectProfileButton(profile);
    // The profile already in use keeps its mode: only a switch goes back to function mode.
    if (stack_.link.activeProfileCache == profile) {
        return;
    }
    if (!switchKeyProfile(profile)) {
        selectProfileButton(stack_.link.activeProfileCache);
        return;
    }
    selectProfileButton(profile);
    globals_.colourMode = 0;
    updateSwitchText();
    refreshKeyGrid();
    redrawKeyButtons();
}

bool MainWindow::switchKeyProfile(int profile) {
    return profileManager_->switchProfile(profile);
}

void MainWindow::restoreDefaults() {
    if (!prompts_.askYesNo(language_.text("MAIN_PROMPT_DEFAULT"))) {
        return;
    }
    runSequence([this] {
        stack_.session.restoreDefaults();
        setApplyEnabled(true);
        Apply();
        switchToProfile(0);
    });
}

void MainWindow::reloadAfterArrival() {
    stack_.session.readBackAfterArrival();
    refreshKeyGrid();
    lightingChanged();
}

void MainWindow::lightingReadBack() {
    stack_.session.onLightingChangedOnKeyboard();
    lightingChanged();
}

void MainWindow::keyboardResetReaction() {
    stack_.session.onKeyboardReset();
    setApplyEnabled(true);
    lightingChanged();
}

// ---- Flip, report selector, colours ----

void MainWindow::applyFlip() {
    const bool flip = globals_.appProfile.readInt("PROFILES", "Flip", 0) != 0;
    for (int id = kFirstFlipFree; id <= kFirstFlipFree + 3; ++id) {
        if (QWidget* key = control(id)) {
            key->setEnabled(!flip);
        }
    }
    for (int id = kFirstFlipBound; id <= kFirstFlipBound + 5; ++id) {
        if (QWidget* key = control(id)) {
            key->setEnabled(flip);
        }
    }
    button(kFlipShown)->setSelectedLook(flip);
}

void MainWindow::invertFlip() {
    const bool flip = globals_.appProfile.readInt("PROFILES", "Flip", 0) != 0;
    globals_.appProfile.writeInt("PROFILES", "Flip", flip ? 0 : 1);
    applyFlip();
}

void MainWindow::selectReport(int value) {
    for (std::size_t i = 0; i < kReportButtons.size(); ++i) {
        button(kReportButtons[i])->setSelectedLook(static_cast<int>(i) == value);
    }
    const std::uint8_t byte = static_cast<std::uint8_t>(value);
    stack_.lighting.writeLightingField(stack_.link, model::lighting_offset::kPattern,
                                       std::span(&byte, 1));
}

// ---- files ----

void MainWindow::exportProfile() {
    const auto path = prompts_.chooseFile(storage::profileFileRequest(true, "*.fwc", {}));
    if (!path) {
        return;
    }
    storage::saveProfileFile(*path, stack_.configuration, true);
}

void MainWindow::importProfile() {
    const auto path = prompts_.chooseFile(storage::profileFileRequest(false, "*.fwc", {}));
    if (!path) {
        return;
    }
    // One box for a file that is not a profile: the import's own.
    if (storage::checkProfileFile(*path) != storage::ProfileCheck::valid) {
        prompts_.message(language_.text("MAIN_PROMPT_INPORT"));
        return;
    }
    runSequence([this, file = *path] {
        // Apply stays enabled when the keyboard did not take the imported profile.
        model::KeyWriteOutcome outcome{};
        {
            const std::lock_guard lock(stack_.configuration.modelLock);
            if (!storage::loadProfileFile(file, stack_.configuration.edited)) {
                prompts_.message(language_.text("MAIN_PROMPT_INPORT"));
                return;
            }
            saveCurrentProfileFile(true);
            outcome = stack_.session.applyKeyConfiguration(true);
        }
        const bool written = tellKeyWrite(outcome);
        refreshKeyGrid();
        setApplyEnabled(!written);
    });
}

bool MainWindow::saveCurrentProfileFile(bool lockHeld) {
    return storage::saveWorkingFile(stack_.configuration, !lockHeld);
}

// ---- Apply ----

void MainWindow::setApplyEnabled(bool enabled) {
    applyEnabled_ = enabled;
    if (QWidget* apply = control(kApplyButton)) {
        apply->setEnabled(enabled);
    }
}

bool MainWindow::Apply() {
    if (sequenceMustWait()) {
        laterSequences_.push_back([this] { applyNow(); });
        return false;
    }
    bool applied = false;
    runSequence([this, &applied] { applied = applyNow(); });
    return applied;
}

bool MainWindow::applyNow() {
    if (applying_) {
        return false;
    }
    applying_ = true;
    busyFrame_ = 0;
    busyIndicator_->show();
    busyTimer_.start();
    bool applied = false;
    if (applyEnabled_) {
        bool fileSaved = false;
        {
            // The edited copy is taken under both locks; writing then needs only the copy, so
            // editing may go on while the keyboard is written.
            const std::lock_guard lock(stack_.configuration.modelLock);
            fileSaved = saveCurrentProfileFile(true);
            stack_.configuration.copyEditedToApplied();
        }
        model::KeyWriteOutcome outcome{};
        QEventLoop loop;
        std::thread writer([&] {
            outcome =
                stack_.configuration.writeKeyConfiguration(false, stack_.link, stack_.mirrors);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        writer.join();
        const bool written = tellKeyWrite(outcome);
        applied = fileSaved && written;
        if (applied) {
            setApplyEnabled(false);
        }
    }
    QTimer::singleShot(100, this, [this] {
        busyTimer_.stop();
        busyIndicator_->hide();
    });
    applying_ = false;
    return applied;
}

bool MainWindow::tellKeyWrite(model::KeyWriteOutcome outcome) {
    if (const std::string_view key = model::keyWriteMessageKey(outcome); !key.empty()) {
        prompts_.message(language_.text(key), true);
    }
    return model::keyTablesWritten(outcome);
}

void MainWindow::nextBusyFrame() {
    if (busyFrames_.empty()) {
        return;
    }
    busyIndicator_->setPixmap(busyFrames_[static_cast<std::size_t>(busyFrame_)]);
    busyFrame_ = (busyFrame_ + 1) % static_cast<int>(busyFrames_.size());
}

bool MainWindow::sequenceMustWait() const {
    return sequenceLoopLevel_ >= 0 && QThread::currentThread()->loopLevel() > sequenceLoopLevel_;
}

bool MainWindow::runSequence(const std::function<void()>& sequence) {
    if (sequenceMustWait()) {
        laterSequences_.push_back(sequence);
        return false;
    }
    if (sequenceLoopLevel_ >= 0) {
        sequence();
        return true;
    }
    sequenceLoopLevel_ = QThread::currentThread()->loopLevel();
    {
        platform::KeyboardLock keyboardLock(stack_.link.commandChannel.path());
        if (!stack_.link.commandChannel.path().empty()) {
            // The command-line tool holds it for a few seconds at most.
            (void)keyboardLock.acquire(platform::KeyboardLock::kWaitForever);
        }
        sequence();
        while (!laterSequences_.empty() && !exiting_) {
            const std::function<void()> next = std::move(laterSequences_.front());
            laterSequences_.pop_front();
            next();
        }
    }
    laterSequences_.clear();
    sequenceLoopLevel_ = -1;
    return true;
}

// ---- texts and events ----

void MainWindow::reloadTexts(int) {
    button(1123)->setToolTipText(fromUtf8(language_.text("MAIN_MINIMIZE_PROMPT")));
    button(1139)->setToolTipText(fromUtf8(language_.text("MAIN_MENU_PROMPT")));
    button(1124)->setToolTipText(fromUtf8(language_.text("MAIN_CLOSE_PROMPT")));
    button(1122)->setToolTipText(fromUtf8(language_.text("MAIN_HELP_PROMPT")));
    for (const Caption& caption : kCaptions) {
        button(caption.id)->setText(fromUtf8(language_.text(caption.key)));
    }
    updateSwitchText();
    if (lightingPanel_) {
        lightingPanel_->reloadTexts();
    }
    setWindowTitle(fromUtf8(language_.text("MAIN_CAPTION")));
    if (tray_) {
        tray_->SetTooltip(fromUtf8(language_.text("KEYBOARD_TRAY_DESC")));
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

bool MainWindow::event(QEvent* event) {
    return skin::SkinnedDialog::event(event);
}

} // namespace velkan::app
