// The main window as the program builds it, on a simulated keyboard, for the benchmarks that
// measure the window itself. They run offscreen with their own HOME and XDG folders.
#pragma once

#include "app/app_globals.h"
#include "app/main_window.h"
#include "lang/language.h"
#include "platform/paths.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "storage/colour_files.h"
#include "support/controller_settle.h"
#include "support/isolated_user_folders.h"
#include "support/recording_prompts.h"
#include "wire_ratio.h"

#include <QApplication>
#include <QElapsedTimer>
#include <memory>

namespace velkan::bench {

class MainWindowOnSimulator {
public:
    explicit MainWindowOnSimulator(const std::shared_ptr<sim::SimulatedKeyboard>& keyboard)
        : controller_(pluggedBackend(keyboard), language_, storage::ColourFiles::forProgram()),
          window_({globals_, language_, prompts_, controller_, std::nullopt,
                   [](const std::string&) { return true; }}) {}

    // Builds the window, waits for the keyboard's arrival to show it and for its read-back to
    // end; false when it was not shown.
    bool show() {
        if (!window_.initialise()) {
            return false;
        }
        QElapsedTimer arrival;
        arrival.start();
        while (!window_.isVisible() && arrival.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return window_.isVisible() && test::settle(controller_, 10000);
    }

    app::MainWindow& window() { return window_; }
    app::KeyboardController& controller() { return controller_; }
    test::RecordingPrompts& prompts() { return prompts_; }
    sim::SimHidBackend& backend() { return *backend_; }

private:
    std::unique_ptr<platform::HidBackend>
    pluggedBackend(const std::shared_ptr<sim::SimulatedKeyboard>& keyboard) {
        auto backend = std::make_unique<sim::SimHidBackend>();
        backend->plug(keyboard);
        backend_ = backend.get();
        return backend;
    }

    sim::SimHidBackend* backend_ = nullptr; // owned by the controller
    app::AppGlobals globals_{app::AppPaths::forProgramFolder(platform::programFolder()),
                             platform::SettingsStore::currentUser()};
    lang::Language language_{globals_.settings, globals_.paths.programFolder};
    test::RecordingPrompts prompts_;
    app::KeyboardController controller_;
    app::MainWindow window_;
};

// main() of such a benchmark.
inline int runWindowBenchmarks(int argc, char** argv) {
    const test::IsolatedUserFolders folders;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmarks(argc, argv);
}

} // namespace velkan::bench
