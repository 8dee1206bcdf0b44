// The keyboard pulled out or gone silent at any frame of the three longest sequences (the
// read-back on arrival, an apply, an import) on both models, with the presence monitor
// watching as in the program: nothing crashes or hangs, a removal is reported exactly once, no
// file is left half-written, and a write that did not reach the keyboard is reported failed,
// which is what keeps the main window's Apply enabled.
#include "device/presence_monitor.h"
#include "device/recording_client.h"
#include "platform/atomic_file.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"
#include "protocol/device_mirrors.h"
#include "sim/sim_hid_backend.h"
#include "storage/keyboard_session.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <numeric>
#include <ostream>
#include <set>
#include <thread>

namespace velkan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Only to catch a hang: a silenced arrival, the slowest run, waits out about ten transactions
// of 1.2 s each.
constexpr auto kHangGuard = 90s;
// The presence monitor probes every 100 ms.
constexpr auto kRemovalNoticed = 10s;
// A silenced transaction waits for its replies for 1.2 s, so silence is tried at this many
// evenly spread frames (and either side of the last key-table write) rather than at each.
constexpr std::size_t kSilenceSamples = 5;
// Runs go side by side, this many at a time: most of their time is spent waiting for replies
// or probes.
constexpr std::size_t kParallelRuns = 8;

enum class Sequence { arrival, apply, import };
enum class Fault { none, unplug, silence };

struct Case {
    Sequence sequence;
    sim::KeyboardModel model;
};

std::string caseName(const Case& c) {
    const char* sequence = c.sequence == Sequence::arrival ? "Arrival"
                           : c.sequence == Sequence::apply ? "Apply"
                                                           : "Import";
    return sequence + std::string(c.model == sim::KeyboardModel::keys126 ? "126" : "128");
}

// How a case reads in failure messages and in the test listing.
void PrintTo(const Case& c, std::ostream* out) {
    *out << caseName(c);
}

struct Outcome {
    unsigned frame = 0; // where the fault struck, 0 for none
    bool finished = false;
    int arrivals = 0;
    int removals = 0;
    std::optional<bool> written; // the apply's or import's result
    std::vector<std::string> brokenFiles;
    // Host frames of the sequence on the wire, and the 1-based position of its last key-table
    // write (0 when it has none).
    unsigned frames = 0;
    unsigned lastTableWrite = 0;
};

class NoView : public storage::SessionView {
public:
    void showProfile(int) override {}
    void keyModelChanged() override {}
    void lightingChanged() override {}
};

// Arms the keyboard's faults as the arrival's first command goes out, after the start-up probe.
class ArmedArrival : public device::ArrivalCommands {
public:
    ArmedArrival(protocol::DeviceMirrors& mirrors, sim::SimulatedKeyboard& keyboard)
        : mirrors_(mirrors), keyboard_(keyboard) {}

    std::optional<sim::SimFaults> faults;

    void probeDeviceInfo() override { mirrors_.probeDeviceInfo(); }
    void readArrivalMirrors(device::KeyboardEvents& events) override {
        if (faults) {
            keyboard_.clearWireLog();
            keyboard_.setFaults(*faults);
        }
        mirrors_.readArrivalMirrors(events);
    }

private:
    protocol::DeviceMirrors& mirrors_;
    sim::SimulatedKeyboard& keyboard_;
};

// The main window's part of an arrival: the keyboard is read back before the call returns,
// and only then is the arrival recorded.
class ReadingBackClient : public device::test::RecordingClient {
public:
    explicit ReadingBackClient(storage::KeyboardSession& session) : session_(session) {}
    void keyboardArrived(device::Arrival arrival) override {
        session_.readBackAfterArrival();
        RecordingClient::keyboardArrived(arrival);
    }

private:
    storage::KeyboardSession& session_;
};

// One fresh keyboard with everything the program keeps around it, in a folder of its own.
struct Rig {
    Rig(sim::KeyboardModel model, fs::path runFolder)
        : keyboard(std::make_shared<sim::SimulatedKeyboard>(model)), folder(std::move(runFolder)) {
        fs::create_directories(folder);
    }
    ~Rig() { monitor.stop(); }

    fs::path workingFile() const { return folder / storage::kWorkingFileName; }

    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    fs::path folder;
    device::DeviceLink link{backend};
    protocol::DeviceMirrors mirrors{link};
    ArmedArrival arrival{mirrors, *keyboard};
    model::KeyConfiguration configuration;
    model::Lighting lighting;
    storage::ColourFiles colourFiles = storage::ColourFiles::forProgram();
    test::TableTexts texts;
    NoView view;
    storage::KeyboardSession session{
        {link, mirrors, configuration, lighting, colourFiles, texts, view, workingFile()}};
    ReadingBackClient client{session};
    device::PresenceMonitor monitor{link, client, arrival};
};

sim::SimFaults faultsAt(Fault fault, unsigned frame) {
    sim::SimFaults faults;
    if (fault == Fault::unplug) {
        faults.removeAfterFrames = frame;
    } else if (fault == Fault::silence) {
        faults.silentAfterFrames = frame;
    }
    return faults;
}

// The main window's Apply of an edit: the working file is saved, then the active profile's
// table goes out.
bool applyEdit(Rig& rig) {
    rig.configuration.edited.image.record(0, 5) =
        model::KeyAssignment{static_cast<std::uint16_t>(model::AssignmentType::disabled)};
    if (!storage::saveProfileFile(rig.workingFile(), rig.configuration, true)) {
        return false;
    }
    return model::keyTablesWritten(rig.session.applyKeyConfiguration(false));
}

// The main window's import: the file replaces the model and the working file, then all three
// profiles go out.
bool importFile(Rig& rig, const fs::path& file) {
    const std::lock_guard lock(rig.configuration.modelLock);
    if (!storage::loadProfileFile(file, rig.configuration.edited) ||
        !storage::saveProfileFile(rig.workingFile(), rig.configuration, false)) {
        return false;
    }
    return model::keyTablesWritten(rig.session.applyKeyConfiguration(true));
}

void countWire(const sim::SimulatedKeyboard& keyboard, Outcome& outcome) {
    for (const auto& frame : keyboard.wireLog()) {
        if (frame.direction != sim::WireDirection::hostToDevice ||
            frame.collection != sim::SimCollection::command) {
            continue;
        }
        ++outcome.frames;
        if (frame.bytes.size() > protocol::kCommandOffset &&
            frame.bytes[protocol::kCommandOffset] == protocol::command::kWriteKeyTable) {
            outcome.lastTableWrite = outcome.frames;
        }
    }
}

// Names of the files a run left that are not whole profile files (temporary files included).
std::vector<std::string> brokenFilesIn(const fs::path& folder) {
    std::vector<std::string> broken;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto bytes = platform::readWholeFile(entry.path());
        if (!bytes || !storage::parseProfile(*bytes)) {
            broken.push_back(entry.path().filename().string());
        }
    }
    return broken;
}

class FaultInjection : public testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        // The read-back sends the user's per-key colours, which live in the user's folder.
        storage::ColourFiles::forProgram().ensureFolder();
    }

    void SetUp() override {
        root_ = fs::path(std::getenv("HOME")) / caseName(GetParam());
        fs::create_directories(root_);
        model::KeyConfiguration imported;
        storage::newProfileInMemory(imported.edited);
        imported.edited.image.record(1, 7) =
            model::KeyAssignment{static_cast<std::uint16_t>(model::AssignmentType::disabled)};
        model::MacroRecord& macro = imported.edited.macros.emplace_back();
        macro.id = 1;
        macro.setName("imported");
        macro.actionCount = 200;
        std::fill_n(macro.actions.begin(), macro.actionCount, model::MacroAction{10, 0x01E, 0});
        ASSERT_TRUE(storage::saveProfileFile(importedFile(), imported, true));
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path importedFile() const { return root_ / "imported.fwc"; }

    // One run on a fresh keyboard, the fault armed as the sequence begins.
    Outcome run(Fault fault, unsigned frame) const {
        const Case& c = GetParam();
        Outcome outcome;
        outcome.frame = frame;
        const fs::path folder =
            root_ / ((fault == Fault::silence ? "silent-" : "pulled-") + std::to_string(frame));
        Rig rig(c.model, folder);
        if (c.sequence == Sequence::arrival) {
            rig.arrival.faults = faultsAt(fault, frame);
        }
        rig.backend.plug(rig.keyboard);
        rig.monitor.start();
        if (!rig.client.waitFor("arrived at start", 1, kHangGuard)) {
            // Pulling the keyboard ends a sequence stuck on it, so the hang can be reported.
            rig.backend.unplug(rig.keyboard);
            return outcome;
        }
        if (c.sequence != Sequence::arrival) {
            rig.keyboard->clearWireLog();
            rig.keyboard->setFaults(faultsAt(fault, frame));
            auto written = std::async(std::launch::async, [&] {
                return c.sequence == Sequence::apply ? applyEdit(rig)
                                                     : importFile(rig, importedFile());
            });
            if (written.wait_for(kHangGuard) != std::future_status::ready) {
                rig.backend.unplug(rig.keyboard);
                return outcome;
            }
            outcome.written = written.get();
        }
        countWire(*rig.keyboard, outcome);
        if (fault == Fault::unplug) {
            rig.client.waitFor("removed", 1, kRemovalNoticed);
        }
        rig.monitor.stop();
        outcome.finished = true;
        outcome.arrivals = rig.client.count("arrived at start") + rig.client.count("arrived");
        outcome.removals = rig.client.count("removed");
        outcome.brokenFiles = brokenFilesIn(folder);
        return outcome;
    }

    std::vector<Outcome> runAll(Fault fault, const std::vector<unsigned>& frames) const {
        std::vector<Outcome> outcomes(frames.size());
        for (std::size_t first = 0; first < frames.size(); first += kParallelRuns) {
            std::vector<std::thread> batch;
            for (std::size_t i = first; i < std::min(frames.size(), first + kParallelRuns); ++i) {
                batch.emplace_back([&, i] { outcomes[i] = run(fault, frames[i]); });
            }
            for (auto& thread : batch) {
                thread.join();
            }
        }
        return outcomes;
    }

    // The sequence without a fault: it must succeed, and tells how many frames it takes.
    Outcome clean() const {
        Outcome outcome = run(Fault::none, 0);
        EXPECT_TRUE(outcome.finished);
        EXPECT_GT(outcome.frames, 0u);
        EXPECT_NE(outcome.written, std::optional<bool>(false));
        return outcome;
    }

    void expectSurvived(const Outcome& clean, const Outcome& outcome, int removals) const {
        SCOPED_TRACE("fault at frame " + std::to_string(outcome.frame) + " of " +
                     std::to_string(clean.frames));
        ASSERT_TRUE(outcome.finished) << "hung";
        EXPECT_EQ(outcome.arrivals, 1);
        EXPECT_EQ(outcome.removals, removals);
        EXPECT_EQ(outcome.brokenFiles, std::vector<std::string>());
        if (GetParam().sequence != Sequence::arrival) {
            // Only a fault after the last key-table frame leaves the keyboard with the whole
            // configuration; anything earlier must leave Apply enabled.
            EXPECT_EQ(outcome.written, outcome.frame > clean.lastTableWrite);
        }
    }

    fs::path root_;
};

TEST_P(FaultInjection, UnplugAtEveryFrame) {
    const Outcome reference = clean();
    std::vector<unsigned> frames(reference.frames);
    std::iota(frames.begin(), frames.end(), 1u);
    for (const Outcome& outcome : runAll(Fault::unplug, frames)) {
        expectSurvived(reference, outcome, 1);
    }
}

TEST_P(FaultInjection, SilenceFromSampledFrames) {
    const Outcome reference = clean();
    std::set<unsigned> frames;
    for (std::size_t i = 0; i < kSilenceSamples; ++i) {
        frames.insert(1 +
                      static_cast<unsigned>(i * (reference.frames - 1) / (kSilenceSamples - 1)));
    }
    if (reference.lastTableWrite != 0) {
        frames.insert(reference.lastTableWrite);
        frames.insert(std::min(reference.lastTableWrite + 1, reference.frames));
    }
    for (const Outcome& outcome : runAll(Fault::silence, {frames.begin(), frames.end()})) {
        expectSurvived(reference, outcome, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModels, FaultInjection,
                         testing::Values(Case{Sequence::arrival, sim::KeyboardModel::keys126},
                                         Case{Sequence::arrival, sim::KeyboardModel::keys128},
                                         Case{Sequence::apply, sim::KeyboardModel::keys126},
                                         Case{Sequence::apply, sim::KeyboardModel::keys128},
                                         Case{Sequence::import, sim::KeyboardModel::keys126},
                                         Case{Sequence::import, sim::KeyboardModel::keys128}),
                         [](const testing::TestParamInfo<Case>& tested) {
                             return caseName(tested.param);
                         });

} // namespace
} // namespace velkan
