// The program started on the simulated keyboard until its window is shown, as someone starting
// it waits for it: `velkan --simulate --screenshot FILE` runs as a process of its own, takes
// the picture once the window is shown (after its fixed 300 ms for the first paint) and exits.
// The figures are the wall time of that whole run and the process's peak resident memory.
//
// Runs offscreen with its own HOME and XDG folders, which the runs after the first find as the
// first left them, as on a user's second start.
#include "support/isolated_user_folders.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace velkan {
namespace {

using Clock = std::chrono::steady_clock;

// How a run ended: its wait status and its peak resident set in KiB.
struct Finished {
    int status = 0;
    long peakKib = 0;
};

// Runs a program to its end; nullopt when it could not be started or waited for.
std::optional<Finished> runQuietly(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // It prints the picture's path; the benchmark's own output must stay a clean table.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return std::nullopt;
    }
    Finished finished;
    rusage usage{};
    if (wait4(pid, &finished.status, 0, &usage) != pid) {
        return std::nullopt;
    }
    finished.peakKib = usage.ru_maxrss;
    return finished;
}

void BM_StartUpToWindowShown(benchmark::State& state) {
    const std::filesystem::path picture = std::filesystem::path(std::getenv("HOME")) / "window.png";
    long peakKib = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto finished =
            runQuietly({VELKAN_PROGRAM_PATH, "--simulate", "--screenshot", picture.string()});
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        if (!finished || !WIFEXITED(finished->status) || WEXITSTATUS(finished->status) != 0) {
            state.SkipWithError("the program did not start and show its window");
            return;
        }
        state.SetIterationTime(elapsed.count());
        peakKib = std::max(peakKib, finished->peakKib);
    }
    state.counters["peak_rss_mib"] = static_cast<double>(peakKib) / 1024;
}
BENCHMARK(BM_StartUpToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    const velkan::test::IsolatedUserFolders folders;
    if (!folders.ready()) {
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
