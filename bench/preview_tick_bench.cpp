// One step of the lighting preview in the main window as the user sees it: the step computed
// and every key button it changed painted (offscreen), for a few effects with colour cycling
// off and on. The window takes a step every 50 ms; "share_of_period_pct" is the part of those
// 50 ms one step takes, and "ms_per_step" the same in milliseconds.
//
// Runs offscreen with its own HOME and XDG folders.
#include "app/lighting_panel.h"
#include "main_window_on_simulator.h"
#include "sim/simulated_keyboard.h"
#include "widgets/skin_combo.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <chrono>

namespace velkan {
namespace {

constexpr std::chrono::duration<double> kStepPeriod = std::chrono::milliseconds(50);

void BM_PreviewStepWithPainting(benchmark::State& state) {
    const auto mode = static_cast<std::uint8_t>(state.range(0));
    const bool cycling = state.range(1) != 0;
    auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    bench::MainWindowOnSimulator onSimulator(keyboard);
    app::MainWindow& window = onSimulator.window();
    if (!onSimulator.show()) {
        state.SkipWithError("the window was not shown");
        return;
    }
    app::LightingPanel& panel = *window.lightingPanel();
    app::KeyboardController& controller = onSimulator.controller();
    const auto item = controller.lighting().supportedModes().itemOf(mode);
    if (!item) {
        state.SkipWithError("the keyboard does not offer the effect");
        return;
    }
    if (controller.lighting().panel().colourCycling != cycling) {
        window.findChild<QAbstractButton*>(QStringLiteral("cyclingToggle"))->click();
    }
    emit window.findChild<widgets::SkinCombo*>(QStringLiteral("modeChooser"))
        ->activated(static_cast<int>(*item));
    if (!panel.perKeyView()) { // a run before may have left it on
        window.findChild<QAbstractButton*>(QStringLiteral("perKeyToggle"))->click();
    }
    (void)test::settle(controller);
    if (!panel.perKeyView()) {
        state.SkipWithError("the per-key view did not come on");
        return;
    }
    // Settles the first frame, which repaints every key.
    panel.previewTick();
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);

    using Clock = std::chrono::steady_clock;
    Clock::duration spent{};
    for (auto _ : state) {
        const auto start = Clock::now();
        panel.previewTick();
        // The repaint the event loop would run next: only the buttons the step changed.
        QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
        spent += Clock::now() - start;
    }
    const std::chrono::duration<double> perStep =
        spent / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["ms_per_step"] = perStep.count() * 1000;
    state.counters["share_of_period_pct"] = 100 * perStep / kStepPeriod;
}
BENCHMARK(BM_PreviewStepWithPainting)
    ->ArgsProduct({{1, 3, 5, 6, 12}, {0, 1}})
    ->ArgNames({"mode", "cycling"})
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    return velkan::bench::runWindowBenchmarks(argc, argv);
}
