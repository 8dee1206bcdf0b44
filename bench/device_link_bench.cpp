// The device link against the simulated keyboard answering each request after 1 ms, as a
// full-speed USB device polled every millisecond does:
//   - bulk transfers, as the ratio of their time to the wire minimum (transactions x the 1 ms
//     the keyboard takes to answer each); target at most 1.10;
//   - how long the presence monitor takes to notice an unplugged keyboard; target 150 ms;
//   - the CPU both device threads use per second of wall time, keyboard present and absent;
//     target under 1 ms per second.
#include "device/input_report_reader.h"
#include "device/keyboard_scan.h"
#include "device/presence_monitor.h"
#include "device/recording_client.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"
#include "protocol/device_mirrors.h"
#include "sim/sim_hid_backend.h"
#include "wire_ratio.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <thread>

namespace velkan {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct ConnectedLink {
    explicit ConnectedLink(sim::KeyboardModel model)
        : keyboard(std::make_shared<sim::SimulatedKeyboard>(model)) {
        backend.plug(keyboard);
        link.commandChannel.enumerate();
        device::scanForKeyboardCollection(link.commandChannel, device::kCommandCollection);
        link.setModel(*device::keyboardModelFor(link.commandChannel.vendorId(),
                                                link.commandChannel.productId()));
        link.devicePresent = true;
        keyboard->setFaults({.latency = bench::kAnswerLatency});
    }

    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    device::DeviceLink link{backend};
};

void BM_KeyTableWrite512(benchmark::State& state) {
    ConnectedLink connected(sim::KeyboardModel::keys128);
    std::array<std::uint8_t, protocol::kMaxTableBytes> table{};
    bench::reportAgainstWireMinimum(state, 10, 0ms, [&] {
        return protocol::writeKeyTable(connected.link, table, 1) ==
               protocol::CommandResult::success;
    });
}
BENCHMARK(BM_KeyTableWrite512)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MacroAreaWrite16K(benchmark::State& state) {
    ConnectedLink connected(sim::KeyboardModel::keys126);
    std::vector<std::uint8_t> macros(16 * 1024, 0x5A);
    const std::size_t frames = (macros.size() + protocol::kMaxPayload - 1) / protocol::kMaxPayload;
    bench::reportAgainstWireMinimum(state, frames, 0ms, [&] {
        return protocol::writeMacroArea(connected.link, macros) == protocol::CommandResult::success;
    });
}
BENCHMARK(BM_MacroAreaWrite16K)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

struct MonitoredKeyboard {
    MonitoredKeyboard()
        : keyboard(std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126)) {}

    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    device::DeviceLink link{backend};
    device::test::RecordingClient client;
    protocol::DeviceMirrors mirrors{link};
    device::PresenceMonitor monitor{link, client, mirrors};
    device::InputReportReader reader{backend, client};
};

void BM_RemovalDetection(benchmark::State& state) {
    MonitoredKeyboard watched;
    watched.backend.plug(watched.keyboard);
    watched.monitor.start();
    watched.client.waitFor("arrived at start");
    double worst = 0;
    int removals = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        watched.backend.unplug(watched.keyboard);
        if (!watched.client.waitFor("removed", ++removals, 2s)) {
            state.SkipWithError("removal not reported");
            return;
        }
        const auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        worst = std::max(worst, elapsed);
        state.SetIterationTime(elapsed);
        state.PauseTiming();
        watched.backend.plug(watched.keyboard);
        watched.client.waitFor("arrived", removals, 3s);
        state.ResumeTiming();
    }
    state.counters["worst_ms"] = worst * 1000;
}
BENCHMARK(BM_RemovalDetection)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// CPU of the two device threads: the benchmark thread only sleeps while they run.
void measureIdleCpu(benchmark::State& state, bool keyboardPresent) {
    MonitoredKeyboard watched;
    if (keyboardPresent) {
        watched.backend.plug(watched.keyboard);
    }
    watched.reader.start();
    watched.monitor.start();
    std::this_thread::sleep_for(1500ms); // past start-up and the first arrival
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        const auto wallStart = Clock::now();
        std::this_thread::sleep_for(3s);
        cpu += processCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(Clock::now() - wallStart).count();
    }
    state.counters["cpu_ms_per_s"] = cpu * 1000 / wall;
}

void BM_IdleCpuKeyboardPresent(benchmark::State& state) {
    measureIdleCpu(state, true);
}
BENCHMARK(BM_IdleCpuKeyboardPresent)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_IdleCpuKeyboardAbsent(benchmark::State& state) {
    measureIdleCpu(state, false);
}
BENCHMARK(BM_IdleCpuKeyboardAbsent)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    return velkan::bench::runBenchmarks(argc, argv);
}
