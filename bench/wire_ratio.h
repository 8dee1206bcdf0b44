// Shared by the benchmarks that run against the simulated keyboard answering each request
// after 1 ms, as a full-speed USB device polled every millisecond does: figures are reported
// as the ratio of the measured time to the wire minimum, the least time the keyboard itself
// needs (transactions x 1 ms, plus the pauses the protocol demands).
#pragma once

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstddef>
#include <sys/prctl.h>

namespace velkan::bench {

inline constexpr std::chrono::milliseconds kAnswerLatency{1};

// Runs `operation` once per iteration; it returns false on failure.
template <typename Operation>
void reportAgainstWireMinimum(benchmark::State& state, std::size_t transactions,
                              std::chrono::milliseconds requiredPauses, Operation operation) {
    using Clock = std::chrono::steady_clock;
    Clock::duration spent{};
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!operation()) {
            state.SkipWithError("operation failed");
            return;
        }
        const auto elapsed = Clock::now() - start;
        spent += elapsed;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    const auto wireMinimum = (kAnswerLatency * transactions + requiredPauses) * state.iterations();
    state.counters["frames"] = static_cast<double>(transactions);
    state.counters["ratio_to_wire"] =
        std::chrono::duration<double>(spent) / std::chrono::duration<double>(wireMinimum);
}

// The simulated keyboard's reply becomes readable at a deadline, which the reader's wait
// overshoots by the thread's timer slack (50 us by default); a real reply wakes the reader by
// interrupt. Keep the slack out of the figures.
inline int runBenchmarks(int argc, char** argv) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace velkan::bench
