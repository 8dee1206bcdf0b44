// Loading and saving the largest profile file the program can make: 100 macros of 4000
// actions each and a path-length text on every record (about 4.4 MB). Loading happens on
// every keyboard arrival and saving after every apply, both on the user-interface thread, so
// each should stay well below the time a user notices (tens of milliseconds). Saving includes
// flushing the file to disk, so its figure depends on the disk as much as on the program.
#include "storage/profile_file.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace velkan {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPathUnits = 259;

model::KeyModel largestModel() {
    model::KeyModel model;
    storage::newProfileInMemory(model);
    for (std::size_t n = 0; n < model::kRecordCount; ++n) {
        model.image.records[n].type =
            static_cast<std::uint16_t>(model::AssignmentType::startProgram);
        model.strings.entries[n] = std::u16string(kPathUnits, static_cast<char16_t>(u'a' + n % 26));
    }
    model.macros.resize(model::kMaxMacros);
    for (std::size_t slot = 0; slot < model::kMaxMacros; ++slot) {
        model::MacroRecord& macro = model.macros[slot];
        macro.setName("Macro " + std::to_string(slot + 1));
        macro.id = static_cast<std::uint16_t>(slot + 1);
        macro.actionCount = static_cast<std::uint16_t>(model::kMaxMacroActions);
        for (std::size_t i = 0; i < model::kMaxMacroActions; ++i) {
            macro.actions[i] = {static_cast<std::uint32_t>(10 * i), 0x1E,
                                static_cast<std::uint16_t>(i % 2)};
        }
    }
    return model;
}

fs::path benchFile() {
    static const fs::path file = [] {
        const fs::path folder =
            fs::temp_directory_path() / ("velkan-profile-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        return folder / "largest.fwc";
    }();
    return file;
}

void BM_SaveLargestProfile(benchmark::State& state) {
    model::KeyConfiguration configuration;
    configuration.edited = largestModel();
    for (auto _ : state) {
        if (!storage::saveProfileFile(benchFile(), configuration, true)) {
            state.SkipWithError("save failed");
            return;
        }
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(benchFile()));
}
BENCHMARK(BM_SaveLargestProfile)->Unit(benchmark::kMillisecond);

void BM_LoadLargestProfile(benchmark::State& state) {
    model::KeyConfiguration configuration;
    configuration.edited = largestModel();
    if (!storage::saveProfileFile(benchFile(), configuration, true)) {
        state.SkipWithError("save failed");
        return;
    }
    model::KeyModel loaded;
    for (auto _ : state) {
        if (!storage::loadProfileFile(benchFile(), loaded)) {
            state.SkipWithError("load failed");
            return;
        }
    }
}
BENCHMARK(BM_LoadLargestProfile)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(velkan::benchFile().parent_path(), ignored);
    return 0;
}
