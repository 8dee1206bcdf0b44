#include "app/application.h"

#include "app/app_globals.h"
#include "app/keyboard_controller.h"
#include "app/main_window.h"
#include "lang/language.h"
#include "platform/hid_backend.h"
#include "platform/instance_request.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/single_instance.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "skin/qt_prompts.h"
#include "skin/skinned_dialog.h"
#include "widgets/skin_look.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace velkan::app {

namespace {

// How long --screenshot waits for the window to be shown before it takes it as it stands:
// without a keyboard the window is never shown by itself.
constexpr int kScreenshotPatienceMs = 10000;

bool sameSwitch(std::string_view argument, std::string_view name) {
    return std::equal(argument.begin(), argument.end(), name.begin(), name.end(),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// Sends a request to the running instance. False when none runs; whether or not one answered,
// this start has done its part.
bool tellRunningInstance(platform::InstanceRequest request) {
    return platform::sendToRunningInstance(platform::executableFileName(),
                                           platform::messageOf(request)) !=
           platform::InstanceDelivery::noneRunning;
}

void scheduleScreenshot(MainWindow& window, const std::filesystem::path& file, int& exitCode) {
    auto* poll = new QTimer(&window);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, file, poll, waited, &exitCode] {
        *waited += poll->interval();
        if (!window.isVisible() && *waited < kScreenshotPatienceMs) {
            return;
        }
        poll->stop();
        // Let the shown window settle (first paint, layout) before it is taken.
        QTimer::singleShot(300, &window, [&window, file, &exitCode] {
            const QImage picture = skin::renderWithShape(window);
            if (picture.save(QString::fromStdString(file.string()), "PNG")) {
                std::printf("%s\n", file.c_str());
            } else {
                std::fprintf(stderr, "velkan: cannot write %s\n", file.c_str());
                exitCode = 1;
            }
            window.exitRoutine();
        });
    });
    poll->start(100);
}

// The simulated keyboard, plugged in, when the command line asks for it; else the hardware.
std::unique_ptr<platform::HidBackend> hidBackend(const CommandLine& line,
                                                 std::optional<Simulation>& simulation) {
    if (!line.simulate) {
        return platform::makeSystemHidBackend();
    }
    auto simulated = std::make_unique<sim::SimHidBackend>();
    simulation =
        Simulation{std::make_shared<sim::SimulatedKeyboard>(*line.simulate), simulated.get()};
    simulated->plug(simulation->keyboard);
    return simulated;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (sameSwitch(argument, "/Start")) {
            line.startHidden = true;
        } else if (sameSwitch(argument, "/Kill")) {
            line.kill = true;
        } else if (argument == "--simulate" || argument == "--simulate=126") {
            line.simulate = sim::KeyboardModel::keys126;
        } else if (argument == "--simulate=128") {
            line.simulate = sim::KeyboardModel::keys128;
        } else if (argument == "--screenshot" && i + 1 < arguments.size()) {
            line.screenshot = arguments[++i];
        } else if (argument.starts_with("--screenshot=") && argument.size() > 13) {
            line.screenshot = argument.substr(13);
        } else {
            line.errors.push_back(argument);
        }
    }
    return line;
}

int Application::run(int argc, char** argv) {
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    for (const std::string& error : line.errors) {
        std::fprintf(stderr, "velkan: ignoring unknown argument %s\n", error.c_str());
    }
    // "/Kill" only ever ends a running instance: with none running this start ends too,
    // quietly, as it would have found only itself.
    if (line.kill) {
        tellRunningInstance(platform::InstanceRequest::kill);
        return 0;
    }
    AppGlobals globals{AppPaths::forProgramFolder(platform::programFolder()),
                       platform::SettingsStore::currentUser()};
    globals.instanceLock = platform::InstanceLock::acquire(kInstanceLockName);
    if (globals.instanceLock.heldElsewhere() &&
        tellRunningInstance(platform::InstanceRequest::open)) {
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    widgets::applyDarkDialogLook(application);
    QApplication::setApplicationName(QStringLiteral("velkan"));
    // The desktop finds the program's menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.velkan.Velkan"));

    std::error_code ignored;
    if (std::filesystem::is_regular_file(globals.paths.companion, ignored)) {
        platform::startDetached(globals.paths.companion, {}, true);
    }

    lang::Language language(globals.settings, globals.paths.programFolder);
    // The desktop adds this name to every window title that is not the name itself, so it is
    // the product's name as the main window's title shows it.
    QApplication::setApplicationDisplayName(QString::fromStdString(language.text("MAIN_CAPTION")));
    skin::QtPrompts prompts;
    std::optional<Simulation> simulation;
    std::unique_ptr<platform::HidBackend> backend = hidBackend(line, simulation);

    int exitCode = 0;
    KeyboardController keyboard(std::move(backend), language, storage::ColourFiles::forProgram());
    MainWindow window({globals, language, prompts, keyboard, simulation,
                       [](const std::string& target) { return platform::openWithDesktop(target); },
                       makeSystemTrayArea, line.startHidden});
    const auto channel =
        platform::InstanceChannel::listen([&window](const platform::InstanceMessage& message) {
            if (const auto request = platform::requestOf(message)) {
                window.deliverInstanceRequest(*request);
            }
        });
    if (!window.initialise()) {
        return 0;
    }
    if (line.screenshot) {
        scheduleScreenshot(window, *line.screenshot, exitCode);
    }
    QApplication::exec();
    return exitCode;
}

} // namespace velkan::app
