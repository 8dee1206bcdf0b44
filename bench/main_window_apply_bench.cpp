// Pressing Apply in the main window with a full macro memory, the keyboard answering each
// request after 1 ms: the time from the press to the end of the write as a ratio to the wire
// minimum, and the longest the window's event loop went without running meanwhile (a timer
// asks every 5 ms; the figure is the largest gap between its ticks).
//
// Runs offscreen with its own HOME and XDG folders.
#include "main_window_on_simulator.h"
#include "sim/simulated_keyboard.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace velkan {
namespace {

using namespace std::chrono_literals;

void BM_MainWindowApplyWithFullMacroMemory(benchmark::State& state) {
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(
        state.range(0) == 128 ? sim::KeyboardModel::keys128 : sim::KeyboardModel::keys126);
    bench::MainWindowOnSimulator onSimulator(keyboard);
    app::MainWindow& window = onSimulator.window();
    if (!onSimulator.show()) {
        state.SkipWithError("the window was not shown");
        return;
    }
    model::MacroRecord& macro = onSimulator.controller().keys().edited.macros.emplace_back();
    macro.id = 1;
    macro.setName("long macro");
    // 4000 actions fill 16 KB of macro memory: all the 126-key model offers.
    macro.actionCount = static_cast<std::uint16_t>(model::kMaxMacroActions);
    for (auto& action : macro.actions) {
        action = {10, 0x01E, 0};
    }
    keyboard->setFaults({.latency = bench::kAnswerLatency});
    keyboard->clearWireLog();
    const auto applyAndWait = [&] {
        window.edits().setPending(true);
        window.edits().apply();
        return test::settle(onSimulator.controller(), 60000) && !window.edits().pending();
    };
    if (!applyAndWait()) {
        state.SkipWithError("apply failed");
        return;
    }
    std::size_t frames = 0;
    for (const auto& frame : keyboard->wireLog()) {
        frames += frame.direction == sim::WireDirection::hostToDevice &&
                  frame.collection == sim::SimCollection::command;
    }

    QTimer watch;
    watch.setInterval(5);
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QObject::connect(&watch, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    bench::reportAgainstWireMinimum(state, frames, 10ms, [&] {
        sinceTick.start();
        watch.start();
        const bool applied = applyAndWait();
        watch.stop();
        return applied;
    });
    state.counters["ui_longest_gap_ms"] = static_cast<double>(longestGap);
}
BENCHMARK(BM_MainWindowApplyWithFullMacroMemory)
    ->Arg(126)
    ->Arg(128)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    return velkan::bench::runWindowBenchmarks(argc, argv);
}
