// velkanctl end to end: the built tool run as its own process on a simulated keyboard kept in a
// state file, as a script would run it.
#include "ctl/keyboard_access.h"
#include "model/key_assignment.h"
#include "platform/keyboard_lock.h"
#include "platform/single_instance.h"
#include "sim/simulated_keyboard.h"
#include "storage/profile_file.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace velkan::ctl {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Only to catch a hang: every run here takes a fraction of a second, or the wait for a busy
// keyboard.
constexpr auto kRunLimit = std::chrono::seconds(60);

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string textOf(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

Bytes bytesOf(const fs::path& file) {
    const std::string text = textOf(file);
    return Bytes(text.begin(), text.end());
}

class VelkanctlTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(std::getenv("HOME")) / "ctl-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        setenv("LC_ALL", "en_US.UTF-8", 1); // the English texts
    }

    // Runs the tool in the test's folder with standard input empty.
    ToolRun run(std::vector<std::string> args) const { return waitFor(start(std::move(args))); }

    // Starts the tool as run() does, without waiting for it; -1 when it cannot be started.
    pid_t start(std::vector<std::string> args) const {
        args.insert(args.begin(), VELKANCTL_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outFile().c_str(), O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errFile().c_str(), O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        fs::remove(outFile());
        fs::remove(errFile());
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, VELKANCTL_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << VELKANCTL_PATH;
            return -1;
        }
        return pid;
    }

    // Waits for a run that start() began.
    ToolRun waitFor(pid_t pid) const {
        ToolRun result;
        if (pid <= 0) {
            return result;
        }
        const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
        int waitStatus = 0;
        while (waitpid(pid, &waitStatus, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "velkanctl hung";
                kill(pid, SIGKILL);
                waitpid(pid, &waitStatus, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
        result.out = textOf(outFile());
        result.err = textOf(errFile());
        return result;
    }

    // A command on the simulated 126-key keyboard of the state file.
    ToolRun runOnKeyboard(std::vector<std::string> args) const {
        return run(onKeyboard(std::move(args)));
    }
    std::vector<std::string> onKeyboard(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--simulate", "--sim-state", state().string()});
        return args;
    }

    fs::path state() const { return folder / "keyboard.state"; }
    fs::path outFile() const { return folder / "stdout.txt"; }
    fs::path errFile() const { return folder / "stderr.txt"; }

    // The simulated keyboard's command collection as every run of the tool sees it.
    std::string keyboardPath() const {
        const ToolRun list = run({"--simulate", "list"});
        EXPECT_EQ(list.status, 0) << list.err;
        return list.out.substr(0, list.out.find('\t'));
    }

    std::unique_ptr<sim::SimulatedKeyboard> savedKeyboard() const {
        auto keyboard = std::make_unique<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
        EXPECT_TRUE(keyboard->loadState(state()));
        return keyboard;
    }

    fs::path folder;
};

TEST_F(VelkanctlTest, InfoAndListNameBothModels) {
    const std::tuple<const char*, sim::KeyboardModel, const char*> cases[] = {
        {"126", sim::KeyboardModel::keys126, "126-key 0c45:5004"},
        {"128", sim::KeyboardModel::keys128, "128-key 320f:5000"},
    };
    for (const auto& [keys, model, name] : cases) {
        const auto capacity = sim::modelInfo(model).macroUnits * sim::kMacroUnitBytes;
        const ToolRun info = run({std::string("--simulate=") + keys, "info"});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_TRUE(info.out.starts_with(
            "model: " + std::string(name) + "\nactive profile: 0\nmacro capacity: " +
            std::to_string(capacity) + " bytes\nlighting modes: 1 Wave, 2 Comet, "))
            << info.out;
        EXPECT_TRUE(info.out.ends_with(", 18 Steady, 20 Custom Colors\n")) << info.out;

        const ToolRun list = run({std::string("--simulate=") + keys, "list"});
        EXPECT_TRUE(std::regex_match(list.out, std::regex("[^\t\n]+\t" + std::string(name) + "\n")))
            << list.out;
    }
}

TEST_F(VelkanctlTest, ProfileSwitchIsKeptForTheNextRun) {
    ASSERT_EQ(runOnKeyboard({"profile", "2"}).status, 0);
    EXPECT_EQ(savedKeyboard()->activeProfile(), 2);
    const ToolRun info = runOnKeyboard({"info"});
    EXPECT_NE(info.out.find("active profile: 2\n"), std::string::npos) << info.out;
}

TEST_F(VelkanctlTest, InvalidProfileFilesAreRefusedWithOneMessage) {
    ASSERT_EQ(run({"new", "fresh.fwc"}).status, 0);
    EXPECT_EQ(fs::file_size(folder / "fresh.fwc"), 32832u);
    EXPECT_EQ(run({"check", "fresh.fwc"}).status, 0);

    Bytes badChecksum = bytesOf(folder / "fresh.fwc");
    ++badChecksum[31];
    std::ofstream(folder / "checksum.fwc", std::ios::binary)
        .write(reinterpret_cast<const char*>(badChecksum.data()), 32832);
    std::ofstream(folder / "short.fwc", std::ios::binary)
        .write(reinterpret_cast<const char*>(badChecksum.data()), 32831);
    for (const char* name : {"missing.fwc", "checksum.fwc", "short.fwc"}) {
        const ToolRun checked = run({"check", name});
        EXPECT_EQ(checked.status, 1) << name;
        EXPECT_EQ(checked.err, std::string(name) + " is not a valid profile file.\n");
    }
    // An import refuses the file before it talks to the keyboard.
    const ToolRun imported = runOnKeyboard({"--wire-log", "wire.log", "import", "short.fwc"});
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.err, "short.fwc is not a valid profile file.\n"
                            "This file is not a valid profile file. Nothing was imported.\n");
    EXPECT_FALSE(fs::exists(state()));
    EXPECT_EQ(textOf(folder / "wire.log"), "");
}

TEST_F(VelkanctlTest, BackupDefaultsAndImportRoundTripAllThreeProfiles) {
    sim::SimulatedKeyboard keyboard(sim::KeyboardModel::keys126);
    const Bytes factory = keyboard.memory(sim::SimRegion::defaultKeyTable);
    std::vector<std::size_t> singleKeys;
    for (std::size_t entry = 0; entry + 3 <= factory.size(); entry += 3) {
        if (factory[entry] == 0x02 && factory[entry + 1] == 0x02) {
            singleKeys.push_back(entry);
        }
    }
    ASSERT_GE(singleKeys.size(), 4u);
    // The first key sends another key in each profile.
    for (std::size_t bank = 0; bank < sim::kProfileCount; ++bank) {
        const std::span<const std::uint8_t> other(&factory[singleKeys[bank + 1]], 3);
        ASSERT_TRUE(keyboard.setMemory(sim::SimRegion::keyTables,
                                       bank * factory.size() + singleKeys[0], other));
    }
    ASSERT_TRUE(keyboard.saveState(state()));
    const Bytes remapped = keyboard.memory(sim::SimRegion::keyTables);

    ASSERT_EQ(runOnKeyboard({"backup", "mine.fwc"}).status, 0);
    EXPECT_EQ(run({"check", "mine.fwc"}).status, 0);

    const ToolRun defaults = runOnKeyboard({"defaults"});
    EXPECT_EQ(defaults.status, 0) << defaults.err;
    Bytes factoryBanks;
    for (std::size_t bank = 0; bank < sim::kProfileCount; ++bank) {
        factoryBanks.insert(factoryBanks.end(), factory.begin(), factory.end());
    }
    EXPECT_EQ(savedKeyboard()->memory(sim::SimRegion::keyTables), factoryBanks);

    const ToolRun imported = runOnKeyboard({"import", "mine.fwc"});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(savedKeyboard()->memory(sim::SimRegion::keyTables), remapped);
}

// A keyboard with 128 bytes of macro memory: one macro of 25 actions fits only without its
// name, one of 40 not at all.
TEST_F(VelkanctlTest, ImportSaysWhenTheMacrosDoNotFitWhole) {
    const struct {
        std::uint16_t actions;
        int status;
        std::string err;
    } cases[] = {
        {25, 0,
         "The keyboard's memory is nearly full, so your macros were sent without their names.\n"},
        {40, 1,
         "Your macros do not fit into the keyboard's memory. Shorten or delete some macros and "
         "try again. Nothing was sent to the keyboard.\n"
         "velkanctl: the keyboard did not take the whole configuration\n"},
    };
    for (const auto& c : cases) {
        sim::SimulatedKeyboard keyboard(sim::KeyboardModel::keys126, {.macroUnits = 1});
        ASSERT_TRUE(keyboard.saveState(state()));
        const Bytes macrosBefore = keyboard.memory(sim::SimRegion::macros);
        model::KeyConfiguration configuration;
        model::MacroRecord& macro = configuration.edited.macros.emplace_back();
        macro.id = 1;
        macro.actionCount = c.actions;
        macro.setName("abcde");
        ASSERT_TRUE(storage::saveProfileFile(folder / "macros.fwc", configuration, true));

        const ToolRun imported = runOnKeyboard({"import", "macros.fwc"});
        EXPECT_EQ(imported.status, c.status) << c.actions;
        EXPECT_EQ(imported.err, c.err) << c.actions;
        EXPECT_EQ(savedKeyboard()->memory(sim::SimRegion::macros) != macrosBefore, c.status == 0)
            << c.actions;
    }
}

TEST_F(VelkanctlTest, LightingChangesLandOnTheirPageOnly) {
    struct Case {
        std::vector<std::string> args;
        std::size_t page;
        std::vector<std::pair<std::size_t, Bytes>> fields; // offset in the page, bytes
    };
    // The keyboard shows profile 1, where a change without --page goes. A chosen colour ends
    // colour cycling.
    const Case cases[] = {
        {{"lighting", "--mode", "4", "--brightness", "10"}, 1, {{0, {4}}, {1, {10}}}},
        {{"lighting", "--page", "2", "--colour", "a1b2c3", "--light", "off"},
         2,
         {{3, {0}}, {4, {0}}, {5, {0xA1, 0xB2, 0xC3}}}},
    };
    for (const Case& test : cases) {
        sim::SimulatedKeyboard keyboard(sim::KeyboardModel::keys126);
        const std::uint8_t profileOne[] = {1};
        keyboard.setMemory(sim::SimRegion::deviceInfo, sim::kActiveProfileOffset, profileOne);
        ASSERT_TRUE(keyboard.saveState(state()));
        Bytes expected = keyboard.memory(sim::SimRegion::params);
        for (const auto& [offset, bytes] : test.fields) {
            std::ranges::copy(bytes, expected.begin() +
                                         static_cast<std::ptrdiff_t>(test.page * 42 + offset));
        }
        const ToolRun result = runOnKeyboard(test.args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(savedKeyboard()->memory(sim::SimRegion::params), expected) << test.args[2];
    }
    const ToolRun notOffered = runOnKeyboard({"lighting", "--mode", "19"});
    EXPECT_EQ(notOffered.status, 1);
    EXPECT_EQ(notOffered.err, "velkanctl: the keyboard does not offer lighting mode 19\n");
}

TEST_F(VelkanctlTest, WireLogHoldsEveryReportOfEachRunAppended) {
    // Each arrival reads the factory table in 7 chunks and the information block; the switch
    // reads and writes the block; boot mode is one request without a reply.
    ASSERT_EQ(runOnKeyboard({"--wire-log", "wire.log", "profile", "1"}).status, 0);
    ASSERT_EQ(runOnKeyboard({"--wire-log=wire.log", "boot"}).status, 0);

    std::istringstream log(textOf(folder / "wire.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 20u + 17u);
    const std::regex report("[<>]( [0-9a-f]{2}){64}");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], report)) << lines[i];
        EXPECT_EQ(lines[i][0], i % 2 == 0 ? '>' : '<') << "line " << i;
    }
    EXPECT_TRUE(lines.back().starts_with("> 04 00 00 ee ee ")) << lines.back();
}

// On the real HID devices; skipped where a supported keyboard is attached.
TEST_F(VelkanctlTest, WithoutAKeyboardCommandsFailWithTheLanguageText) {
    const ToolRun list = run({"list"});
    if (list.status == 0 && !list.out.empty()) {
        GTEST_SKIP() << "a keyboard is attached: " << list.out;
    }
    // A script tells "none there" from the status alone.
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.out, "");
    EXPECT_EQ(list.err, "velkanctl: no supported keyboard found\n");
    const ToolRun info = run({"info"});
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.err, "The keyboard is not connected. Plug it in and try again.\n");
}

TEST_F(VelkanctlTest, UsageErrorsExitWithTwoAndTouchNothing) {
    for (const char* argument : {"reboot", "profile=1", "--page"}) {
        const ToolRun result = runOnKeyboard({argument});
        EXPECT_EQ(result.status, 2) << argument;
        EXPECT_TRUE(result.err.find("\nusage: velkanctl") != std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(fs::exists(state()));
    }
    const ToolRun help = run({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("\n  lighting [--page P]"), std::string::npos) << help.out;
}

TEST_F(VelkanctlTest, UnusableStateFileIsRefusedAndKeptAsItIs) {
    ASSERT_TRUE(sim::SimulatedKeyboard(sim::KeyboardModel::keys128).saveState(state()));
    std::ofstream(folder / "junk.state") << "junk";
    for (const fs::path& file : {state(), folder / "junk.state"}) {
        const Bytes before = bytesOf(file);
        const ToolRun result = run({"--simulate", "--sim-state", file.string(), "profile", "1"});
        EXPECT_EQ(result.status, 1) << file;
        EXPECT_NE(result.err.find(file.string()), std::string::npos) << result.err;
        EXPECT_EQ(bytesOf(file), before) << file;
    }
}

// The stand-in for a running desktop program, under that program's file name, for as long as
// the object lives.
class RunningProgram {
public:
    RunningProgram(const fs::path& folder, std::string keyboardPath)
        : received_(folder / "received.txt") {
        fs::create_directories(folder / "bin");
        std::string program = (folder / "bin" / "velkan").string();
        fs::copy_file(INSTANCE_LISTENER_PATH, program, fs::copy_options::overwrite_existing);
        std::string received = received_.string();
        std::array<char*, 4> argv{program.data(), received.data(), keyboardPath.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
    }
    ~RunningProgram() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool listening() const {
        for (int tries = 0; pid_ > 0 && tries < 1000; ++tries) {
            if (textOf(received_).starts_with("listening\n")) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // One line per message it handled: message, wParam, lParam, and 1 when the keyboard was
    // free for it to read at that moment.
    std::vector<std::string> received() const {
        std::istringstream text(textOf(received_));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            if (line != "listening") {
                lines.push_back(line);
            }
        }
        return lines;
    }

private:
    fs::path received_;
    pid_t pid_ = -1;
};

// What the running program receives after a change: read the keyboard back, which is free.
std::string readBackLine() {
    const platform::InstanceMessage& request = platform::kReadBackRequest;
    return std::to_string(request.message) + ' ' + std::to_string(request.wParam) + ' ' +
           std::to_string(request.lParam) + " 1";
}

TEST_F(VelkanctlTest, ChangesAskTheRunningProgramToReadTheKeyboardBack) {
    const RunningProgram program(folder, keyboardPath());
    ASSERT_TRUE(program.listening());
    struct Case {
        std::vector<std::string> args;
        bool asks;
    };
    const Case cases[] = {
        {{"info"}, false},        {{"backup", "mine.fwc"}, false},
        {{"list"}, false},        {{"check", "mine.fwc"}, false},
        {{"profile", "1"}, true}, {{"lighting", "--brightness", "3"}, true},
        {{"defaults"}, true},     {{"import", "mine.fwc"}, true},
    };
    std::vector<std::string> expected;
    for (const Case& test : cases) {
        const ToolRun result = runOnKeyboard(test.args);
        EXPECT_EQ(result.status, 0) << test.args[0] << ": " << result.err;
        if (test.asks) {
            expected.push_back(readBackLine());
        }
        EXPECT_EQ(program.received(), expected) << test.args[0];
    }
}

TEST_F(VelkanctlTest, KeyboardBusyElsewhereIsWaitedForThenLeftUntouched) {
    const std::string keyboard = keyboardPath();
    const RunningProgram program(folder, keyboard);
    ASSERT_TRUE(program.listening());
    platform::KeyboardLock otherProgram(keyboard);
    ASSERT_TRUE(otherProgram.acquire(0ms));
    const std::vector<std::string> switchProfile =
        onKeyboard({"--wire-log", "wire.log", "profile", "2"});

    const auto started = std::chrono::steady_clock::now();
    const ToolRun refused = run(switchProfile);
    EXPECT_GE(std::chrono::steady_clock::now() - started, kKeyboardBusyWait);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "velkanctl: the keyboard is busy: another program is using it\n");
    EXPECT_EQ(textOf(folder / "wire.log"), "");
    EXPECT_FALSE(fs::exists(state()));
    EXPECT_TRUE(program.received().empty());

    // Let go within the wait: the run goes ahead.
    const pid_t waiting = start(switchProfile);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(textOf(folder / "wire.log"), "") << "it did not wait";
    otherProgram.release();
    const ToolRun proceeded = waitFor(waiting);
    EXPECT_EQ(proceeded.status, 0) << proceeded.err;
    EXPECT_NE(textOf(folder / "wire.log"), "");
    EXPECT_EQ(savedKeyboard()->activeProfile(), 2);
    EXPECT_EQ(program.received(), std::vector<std::string>{readBackLine()});
}

} // namespace
} // namespace velkan::ctl
