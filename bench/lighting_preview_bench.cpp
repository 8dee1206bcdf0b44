// One tick of the lighting preview over every key button of the picture, for each mode with
// colour cycling off and on. The main window runs a tick every 50 ms on the user-interface
// thread and then repaints the buttons; "ppm_of_period" is the part of those 50 ms the
// computation takes before any painting, in millionths (1000 ppm would be 50 us).
#include "model/lighting_preview.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace velkan {
namespace {

constexpr std::chrono::duration<double> kTickPeriod = std::chrono::milliseconds(50);
constexpr int kLastMode = 20;

void BM_PreviewTick(benchmark::State& state) {
    model::LightingPanelState panel;
    panel.mode = static_cast<std::uint8_t>(state.range(0));
    panel.colourCycling = state.range(1) != 0;
    panel.direction = 1;
    panel.colour = model::colourRef(235, 99, 30);
    model::LightingPreview preview;
    model::PreviewFrame frame;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(preview.tick(panel, true, frame));
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    state.counters["buttons"] = static_cast<double>(model::kPreviewButtonCount);
    state.counters["ppm_of_period"] =
        1e6 * spent / kTickPeriod / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PreviewTick)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kLastMode, 1), {0, 1}})
    ->ArgNames({"mode", "cycling"})
    ->Unit(benchmark::kNanosecond);

} // namespace
} // namespace velkan

BENCHMARK_MAIN();
