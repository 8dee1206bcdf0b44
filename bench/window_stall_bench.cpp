// The window thread while the keyboard is busy: for each sequence that talks to the keyboard
// (the arrival read-back, import, a profile switch, restoring the defaults, Apply), the longest
// time the window's event loop went without running while the sequence ran, the keyboard
// answering each request after 1 ms. A timer asks every 2 ms; "longest_stall_ms" is the largest
// gap between its ticks, so 2 means the window never waited. One frame at 60 Hz is 16 ms.
// "shown_ms" and "filled_ms" time the start: from building the keyboard controller and the
// window to the window shown, and to the keyboard's contents read back into it.
//
// Runs offscreen with its own HOME and XDG folders.
#include "app/key_grid.h"
#include "app/main_menu.h"
#include "main_window_on_simulator.h"
#include "sim/simulated_keyboard.h"
#include "storage/profile_file.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

namespace velkan {
namespace {

enum class Sequence { arrival, import, profileSwitch, restoreDefaults, apply };

// Runs `sequence`, then the window's events until the keyboard controller is idle, and
// returns the longest gap between the window thread's timer ticks meanwhile; -1 on failure.
qint64 longestStall(app::KeyboardController& controller, const std::function<void()>& sequence) {
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(2);
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    tick.start();
    sequence();
    const bool settled = test::settle(controller, 60000);
    tick.stop();
    longest = std::max(longest, sinceTick.elapsed());
    return settled ? longest : -1;
}

void BM_WindowStallDuringSequence(benchmark::State& state) {
    const auto sequence = static_cast<Sequence>(state.range(0));
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    bench::MainWindowOnSimulator onSimulator(keyboard);
    app::MainWindow& window = onSimulator.window();
    app::KeyboardController& controller = onSimulator.controller();
    if (!onSimulator.show()) {
        state.SkipWithError("the window was not shown");
        return;
    }
    const std::filesystem::path profile =
        std::filesystem::path(qgetenv("HOME").toStdString()) / "stall.fwc";
    (void)storage::newProfileFile(profile);
    onSimulator.prompts().chosenFile = profile;
    onSimulator.prompts().answer = true;
    const auto click = [&window](const char* name) {
        window.findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
    };
    keyboard->setFaults({.latency = bench::kAnswerLatency});
    qint64 longest = 0;
    int round = 0;
    for (auto _ : state) {
        ++round;
        const qint64 stall = longestStall(controller, [&] {
            switch (sequence) {
            case Sequence::arrival:
                onSimulator.backend().unplug(keyboard);
                while (controller.present()) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
                }
                onSimulator.backend().plug(keyboard);
                while (!controller.present()) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
                }
                break;
            case Sequence::import:
                window.runMenuCommand(app::MenuCommand::importProfile);
                break;
            case Sequence::profileSwitch:
                click(round % 2 == 1 ? "profileButton2" : "profileButton1");
                break;
            case Sequence::restoreDefaults:
                click("defaultsButton");
                break;
            case Sequence::apply:
                controller.keys().edited.image.record(0, 0x04).type = 1;
                window.edits().setPending(true);
                window.edits().apply();
                break;
            }
        });
        if (stall < 0) {
            state.SkipWithError("the sequence did not end");
            return;
        }
        longest = std::max(longest, stall);
    }
    state.counters["longest_stall_ms"] = static_cast<double>(longest);
}
BENCHMARK(BM_WindowStallDuringSequence)
    ->ArgName("sequence")
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

void BM_StartToWindowShown(benchmark::State& state) {
    double shownMs = 0;
    double filledMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
        keyboard->setFaults({.latency = bench::kAnswerLatency});
        bench::MainWindowOnSimulator onSimulator(keyboard);
        if (!onSimulator.window().initialise()) {
            state.SkipWithError("the window did not initialise");
            return;
        }
        while (!onSimulator.window().isVisible() && clock.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        shownMs = std::max(shownMs, static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (!test::settle(onSimulator.controller(), 10000)) {
            state.SkipWithError("the read-back did not end");
            return;
        }
        filledMs = std::max(filledMs, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    state.counters["shown_ms"] = shownMs;
    state.counters["filled_ms"] = filledMs;
}
BENCHMARK(BM_StartToWindowShown)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    return velkan::bench::runWindowBenchmarks(argc, argv);
}
