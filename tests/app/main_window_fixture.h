// The program's main window on a simulated keyboard, with recorded prompts, built the way the
// application object builds it.
#pragma once

#include "app/app_globals.h"
#include "app/key_grid.h"
#include "app/keyboard_controller.h"
#include "app/main_window.h"
#include "app/tray_icon.h"
#include "lang/language.h"
#include "platform/paths.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "skin/image_button.h"
#include "storage/colour_files.h"
#include "support/controller_settle.h"
#include "support/recording_prompts.h"
#include "support/recording_tray_area.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkan::test {

class MainWindowFixture {
public:
    // `plugged`: the keyboard is there when the program starts.
    // `programFolder`: where the skin and the language file are; the build's unless given.
    explicit MainWindowFixture(
        bool plugged = true, bool startHidden = false,
        sim::KeyboardModel model = sim::KeyboardModel::keys126,
        sim::SimKeyboardOptions options = {},
        const std::filesystem::path& programFolder = platform::programFolder(),
        const sim::SimFaults& faults = {})
        : globals(app::AppPaths::forProgramFolder(programFolder),
                  platform::SettingsStore::currentUser()),
          language(globals.settings, globals.paths.programFolder),
          keyboard(std::make_shared<sim::SimulatedKeyboard>(model, options)) {
        auto backend = std::make_unique<sim::SimHidBackend>();
        simBackend = backend.get();
        keyboard->setFaults(faults);
        if (plugged) {
            simBackend->plug(keyboard);
        }
        controller = std::make_unique<app::KeyboardController>(std::move(backend), language,
                                                               storage::ColourFiles::forProgram());
        window = std::make_unique<app::MainWindow>(app::MainWindow::Services{
            globals, language, prompts, *controller, app::Simulation{keyboard, simBackend},
            [this](const std::string& target) {
                opened.push_back(target);
                return openSucceeds;
            },
            [log = tray] { return std::make_unique<test::RecordingTrayArea>(log); }, startHidden});
        initialised = window->initialise();
    }

    std::string text(std::string_view key) const { return language.text(key); }

    // A control of the window by its name; fails the test when there is none.
    template <typename Widget = QWidget> Widget* named(const char* name) const {
        auto* found = window->findChild<Widget*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no control named %s", name);
        }
        return found;
    }
    void click(const char* name) const { named<QAbstractButton>(name)->click(); }
    void clickKey(model::KeyButton key) const { window->keyGrid().button(key)->click(); }

    // Waits until every job asked of the keyboard controller so far is over and its outcome
    // has reached the window.
    bool settle(int timeoutMs = 30000) const { return test::settle(*controller, timeoutMs); }

    // Waits for the window to show the keyboard plugged in at start and for the arrival's
    // read-back to be over, then forgets the wire so far. The window may show before the
    // read-back is even asked for, so its end is known only once it hands back the keys.
    bool waitForArrival(int timeoutMs = 30000) {
        QSignalSpy readBack(controller.get(), &app::KeyboardController::keysReplaced);
        const bool arrived = QTest::qWaitFor([this] { return window->isVisible(); }, timeoutMs) &&
                             (!readBack.isEmpty() || readBack.wait(timeoutMs)) && settle(timeoutMs);
        keyboard->clearWireLog();
        return arrived;
    }

    // Frames of `command` the program sent since the wire log was last cleared; with a bank,
    // only key-table frames addressed to that bank.
    int framesOf(std::uint8_t command, int bank = -1) const {
        int count = 0;
        const int tableBytes = controller->link().tableBytes;
        for (const auto& frame : keyboard->wireLog()) {
            if (frame.direction != sim::WireDirection::hostToDevice ||
                frame.collection != sim::SimCollection::command || frame.bytes.size() < 8 ||
                frame.bytes[3] != command) {
                continue;
            }
            const int address = frame.bytes[5] | frame.bytes[6] << 8;
            count += bank < 0 || address / tableBytes == bank;
        }
        return count;
    }
    int hostFrames() const {
        int count = 0;
        for (const auto& frame : keyboard->wireLog()) {
            count += frame.direction == sim::WireDirection::hostToDevice &&
                     frame.collection == sim::SimCollection::command;
        }
        return count;
    }
    bool present() const { return controller->present(); }

    app::AppGlobals globals;
    lang::Language language;
    RecordingPrompts prompts;
    std::vector<std::string> opened; // documents and addresses given to the desktop
    bool openSucceeds = true;        // whether the desktop has a program for them
    std::shared_ptr<test::TrayAreaLog> tray = std::make_shared<test::TrayAreaLog>();
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    sim::SimHidBackend* simBackend = nullptr;
    std::unique_ptr<app::KeyboardController> controller;
    std::unique_ptr<app::MainWindow> window;
    bool initialised = false;
};

} // namespace velkan::test
