// The three longest sequences on both models against the simulated keyboard answering after
// 1 ms per report: the read-back when the keyboard arrives, an apply that fills 16 KB of macro
// memory, and the import of a file holding that macro (all three profiles are written, and the
// working file is saved first, as the main window does). Target: at most 1.10 times the wire
// minimum.
#include "device/keyboard_scan.h"
#include "device/recording_client.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"
#include "protocol/device_mirrors.h"
#include "sim/sim_hid_backend.h"
#include "storage/keyboard_session.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"
#include "wire_ratio.h"

#include <filesystem>
#include <unistd.h>

namespace velkan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The end of a group waits this long before it is sent, as the keyboard needs.
constexpr auto kEndGroupPause = 10ms;

class NoView : public storage::SessionView {
public:
    void showProfile(int) override {}
    void keyModelChanged() override {}
    void lightingChanged() override {}
};

sim::KeyboardModel modelOf(const benchmark::State& state) {
    return state.range(0) == 128 ? sim::KeyboardModel::keys128 : sim::KeyboardModel::keys126;
}

// One macro of 4000 actions: 16 KB of macro memory, all of the 126-key model's.
void addLongestMacro(model::KeyModel& edited) {
    model::MacroRecord& macro = edited.macros.emplace_back();
    macro.id = 1;
    macro.setName("long macro");
    macro.actionCount = static_cast<std::uint16_t>(model::kMaxMacroActions);
    for (auto& action : macro.actions) {
        action = {10, 0x01E, 0};
    }
}

struct Session {
    explicit Session(sim::KeyboardModel model)
        : keyboard(std::make_shared<sim::SimulatedKeyboard>(model)) {
        fs::create_directories(folder);
        backend.plug(keyboard);
        link.commandChannel.enumerate();
        device::scanForKeyboardCollection(link.commandChannel, device::kCommandCollection);
        link.setModel(*device::keyboardModelFor(link.commandChannel.vendorId(),
                                                link.commandChannel.productId()));
        link.devicePresent = true;
        colourFiles.ensureFolder();
        mirrors.readArrivalMirrors(client);
        keyboard->setFaults({.latency = bench::kAnswerLatency});
    }
    ~Session() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // Runs the sequence once to learn its frames and pauses, then measures it.
    template <typename Sequence> void measure(benchmark::State& state, Sequence sequence) {
        keyboard->clearWireLog();
        if (!sequence()) {
            state.SkipWithError("the sequence failed");
            return;
        }
        std::size_t frames = 0;
        std::size_t groupEnds = 0;
        for (const auto& frame : keyboard->wireLog()) {
            if (frame.direction == sim::WireDirection::hostToDevice &&
                frame.collection == sim::SimCollection::command) {
                ++frames;
                groupEnds += frame.bytes[protocol::kCommandOffset] == protocol::command::kEndConfig;
            }
        }
        bench::reportAgainstWireMinimum(
            state, frames, kEndGroupPause * static_cast<std::chrono::milliseconds::rep>(groupEnds),
            sequence);
    }

    fs::path folder = fs::temp_directory_path() / ("velkan-bench-" + std::to_string(::getpid()));
    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    device::DeviceLink link{backend};
    protocol::DeviceMirrors mirrors{link};
    device::test::RecordingClient client;
    model::KeyConfiguration configuration;
    model::Lighting lighting;
    storage::ColourFiles colourFiles = storage::ColourFiles::forProgram();
    test::TableTexts texts;
    NoView view;
    storage::KeyboardSession session{{link, mirrors, configuration, lighting, colourFiles, texts,
                                      view, folder / storage::kWorkingFileName}};
};

void BM_ArrivalReadBack(benchmark::State& state) {
    Session connected(modelOf(state));
    connected.measure(state, [&] {
        connected.link.activeProfileCache = -1;
        connected.session.readBackAfterArrival();
        return true;
    });
}
BENCHMARK(BM_ArrivalReadBack)
    ->Arg(126)
    ->Arg(128)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_ApplyWithFullMacroMemory(benchmark::State& state) {
    Session connected(modelOf(state));
    addLongestMacro(connected.configuration.edited);
    connected.measure(state, [&] {
        return model::keyTablesWritten(connected.session.applyKeyConfiguration(false));
    });
    state.counters["macro_bytes"] = static_cast<double>(
        model::macroMemorySizes(connected.configuration.applied.macros).fullSize);
}
BENCHMARK(BM_ApplyWithFullMacroMemory)
    ->Arg(126)
    ->Arg(128)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ImportWithFullMacroMemory(benchmark::State& state) {
    Session connected(modelOf(state));
    const fs::path file = connected.folder / "imported.fwc";
    {
        model::KeyConfiguration imported;
        storage::newProfileInMemory(imported.edited);
        addLongestMacro(imported.edited);
        if (!storage::saveProfileFile(file, imported, true) ||
            !storage::newProfileFile(connected.folder / storage::kWorkingFileName)) {
            state.SkipWithError("the files could not be written");
            return;
        }
    }
    model::KeyConfiguration& configuration = connected.configuration;
    connected.measure(state, [&] {
        const std::lock_guard lock(configuration.modelLock);
        return storage::loadProfileFile(file, configuration.edited) &&
               storage::saveProfileFile(connected.folder / storage::kWorkingFileName, configuration,
                                        false) &&
               model::keyTablesWritten(connected.session.applyKeyConfiguration(true));
    });
}
BENCHMARK(BM_ImportWithFullMacroMemory)
    ->Arg(126)
    ->Arg(128)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    return velkan::bench::runBenchmarks(argc, argv);
}
