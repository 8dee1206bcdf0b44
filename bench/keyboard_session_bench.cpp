// The two longest sequences against the simulated keyboard answering after 1 ms per report:
// the read-back when the keyboard arrives, and an apply that fills the macro memory. Target:
// at most 1.10 times the wire minimum.
#include "device/keyboard_scan.h"
#include "device/recording_client.h"
#include "protocol/device_mirrors.h"
#include "sim/sim_hid_backend.h"
#include "storage/keyboard_session.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"
#include "wire_ratio.h"

#include <filesystem>

namespace velkan {
namespace {

using namespace std::chrono_literals;

class NoView : public storage::SessionView {
public:
    void showProfile(int) override {}
    void keyModelChanged() override {}
    void lightingChanged() override {}
};

struct Session {
    Session() : keyboard(std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126)) {
        backend.plug(keyboard);
        link.commandChannel.EnumerateHidInterfaces();
        device::scanForKeyboardCollection(link.commandChannel, device::kCommandCollection);
        link.setModel(device::kKeyboard126);
        link.devicePresent = true;
        colourFiles.ensureFolder();
        mirrors.readArrivalMirrors(client);
        keyboard->setFaults({.latency = bench::kAnswerLatency});
    }

    int commandFrames() const {
        int frames = 0;
        for (const auto& frame : keyboard->wireLog()) {
            frames += frame.direction == sim::WireDirection::hostToDevice &&
                      frame.collection == sim::SimCollection::command;
        }
        return frames;
    }

    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    device::DeviceLink link{backend};
    protocol::DeviceMirrors mirrors{link};
    device::test::RecordingClient client;
    model::KeyConfiguration configuration;
    model::Lighting lighting;
    storage::ColourFiles colourFiles = storage::ColourFiles::forProgram();
    test::RecordingPrompts prompts;
    test::TableTexts texts;
    NoView view;
    std::filesystem::path workingFile =
        std::filesystem::temp_directory_path() / "velkan-bench-$Profile0";
    storage::KeyboardSession session{
        {link, mirrors, configuration, lighting, colourFiles, prompts, texts, view, workingFile}};
};

// Two end-of-group commands each wait 10 ms before sending, as the keyboard needs.
void BM_ArrivalReadBack(benchmark::State& state) {
    Session connected;
    connected.keyboard->clearWireLog();
    connected.link.activeProfileCache = -1;
    connected.session.readBackAfterArrival();
    const auto frames = static_cast<std::size_t>(connected.commandFrames());
    bench::reportAgainstWireMinimum(state, frames, 20ms, [&] {
        connected.link.activeProfileCache = -1;
        connected.session.readBackAfterArrival();
        return true;
    });
}
BENCHMARK(BM_ArrivalReadBack)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ApplyWithFullMacroMemory(benchmark::State& state) {
    Session connected;
    model::MacroRecord& macro = connected.configuration.edited.macros.emplace_back();
    macro.id = 1;
    macro.setName("long macro");
    // One macro of 4000 actions fills 16 KB of macro memory: the capacity of this keyboard.
    macro.actionCount = static_cast<std::uint16_t>(model::kMaxMacroActions);
    for (auto& action : macro.actions) {
        action = {10, 0x01E, 0};
    }
    connected.keyboard->clearWireLog();
    if (!connected.session.applyKeyConfiguration(false)) {
        state.SkipWithError("apply failed");
        return;
    }
    const auto frames = static_cast<std::size_t>(connected.commandFrames());
    bench::reportAgainstWireMinimum(state, frames, 10ms,
                                    [&] { return connected.session.applyKeyConfiguration(false); });
    state.counters["macro_bytes"] = static_cast<double>(
        model::macroMemorySizes(connected.configuration.applied.macros).fullSize);
}
BENCHMARK(BM_ApplyWithFullMacroMemory)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
} // namespace velkan

int main(int argc, char** argv) {
    return velkan::bench::runBenchmarks(argc, argv);
}
