#include "platform/process.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path testFolder() {
    const fs::path folder = fs::path(std::getenv("HOME")) /
                            testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(folder / "bin");
    return folder;
}

// A copy of sleep under a file name of our choosing.
fs::path sleeperNamed(const fs::path& file) {
    fs::copy_file("/bin/sleep", file, fs::copy_options::overwrite_existing);
    return file;
}

// The file's contents once it is there; the programs under test write it with one rename.
std::optional<std::string> waitForFile(const fs::path& file) {
    for (int tries = 0; tries < 1000 && !fs::exists(file); ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts `program 30` in a process group of its own; stopAll() kills the group.
pid_t spawn(const fs::path& program) {
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    std::string path = program.string();
    std::string seconds = "30";
    std::array<char*, 3> argv{path.data(), seconds.data(), nullptr};
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

void stopAll(std::initializer_list<pid_t> pids) {
    for (const pid_t pid : pids) {
        if (pid > 0) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
}

TEST(ProcessSearchTest, FindsProcessesByFileNameInAnyCaseLowestFirst) {
    const std::string name = "VelkanSleeper" + std::to_string(::getpid());
    const fs::path program = sleeperNamed(testFolder() / name);
    const pid_t first = spawn(program);
    const pid_t second = spawn(program);
    const pid_t other = spawn(sleeperNamed(testFolder() / executableFileName()));
    ASSERT_GT(std::min({first, second, other}), 0);
    const std::vector<int> both = {std::min(first, second), std::max(first, second)};
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const std::pair<std::string, std::vector<int>> cases[] = {
        {name, both},          {upper, both},          {name + "x", {}},
        {"VelkanSleeper", {}}, {program.string(), {}}, {"", {}},
    };
    for (const auto& [query, expected] : cases) {
        EXPECT_EQ(findProcessesByExecutableName(query, true), expected) << query;
    }
    // Replacing or removing the program while it runs does not hide it.
    fs::remove(program);
    EXPECT_EQ(findProcessesByExecutableName(name, false), both);

    // Another process under this program's name, started after this one.
    EXPECT_EQ(executableFileName(), "platform_tests");
    const auto withSelf = findProcessesByExecutableName("Platform_Tests", false);
    EXPECT_NE(std::find(withSelf.begin(), withSelf.end(), ::getpid()), withSelf.end());
    const auto notSelf = findProcessesByExecutableName("platform_tests", true);
    EXPECT_EQ(std::find(notSelf.begin(), notSelf.end(), ::getpid()), notSelf.end());
    EXPECT_NE(std::find(notSelf.begin(), notSelf.end(), other), notSelf.end());

    stopAll({first, second, other});
    EXPECT_TRUE(findProcessesByExecutableName(name, false).empty());
}

TEST(StartDetachedTest, StartsWhatCanRunAndLeavesNoChildBehind) {
    const fs::path folder = testFolder();
    std::ofstream(folder / "plain.txt") << "not a program\n";
    const fs::path report = folder / "report";
    const std::string script = "printf '%s\\n' $(readlink /proc/$$/fd/0 /proc/$$/fd/1) \"$@\" "
                               "> \"$0.part\" && mv \"$0.part\" \"$0\"";
    const std::pair<fs::path, std::vector<std::string>> refused[] = {
        {folder / "missing", {}},
        {folder, {}},
        {folder / "plain.txt", {}},
        {fs::path(), {}},
        {"/bin/sh", {"-c", std::string("a\0b", 3)}},
    };
    for (const auto& [program, arguments] : refused) {
        EXPECT_FALSE(startDetached(program, arguments)) << program;
    }
    EXPECT_TRUE(startDetached("/bin/sh", {"-c", script, report.string(), "two words", ""}));
    EXPECT_EQ(waitForFile(report), "/dev/null\n/dev/null\ntwo words\n\n");
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(StartDetachedTest, OpenerAndOnScreenKeyboardAreFoundInPath) {
    const fs::path root = testFolder();
    const std::string savedPath = std::getenv("PATH");
    ::setenv("PATH", (root / "bin").c_str(), 1);
    // Each fake leaves its first argument in a file of its name; nothing else is in PATH.
    const auto install = [&root](const std::string& name) {
        std::ofstream(root / "bin" / name) << "#!/bin/sh\nprintf %s \"$1\" > \"$0.part\" && "
                                              "/bin/mv \"$0.part\" \""
                                           << root.string() << "/" << name << "\"\n";
        fs::permissions(root / "bin" / name, fs::perms::owner_all);
    };
    EXPECT_FALSE(openWithDesktop("https://example.com"));
    EXPECT_FALSE(startOnScreenKeyboard());

    install("xdg-open");
    install("squeekboard");
    install("florence");
    EXPECT_FALSE(openWithDesktop(""));
    EXPECT_TRUE(openWithDesktop("https://example.com/a b?c=1&d='2'"));
    EXPECT_EQ(waitForFile(root / "xdg-open"), "https://example.com/a b?c=1&d='2'");
    EXPECT_TRUE(startOnScreenKeyboard());
    EXPECT_EQ(waitForFile(root / "florence"), "");
    EXPECT_FALSE(fs::exists(root / "squeekboard"));

    // One that runs already, as a program or as a script under its interpreter, is enough.
    fs::remove_all(root / "bin");
    std::ofstream(root / "onboard") << "#!/bin/sh\n/bin/sleep \"$1\"\n:\n";
    fs::permissions(root / "onboard", fs::perms::owner_all);
    for (const fs::path& keyboard : {sleeperNamed(root / "matchbox-keyboard"), root / "onboard"}) {
        const pid_t running = spawn(keyboard);
        EXPECT_TRUE(running > 0 && startOnScreenKeyboard()) << keyboard;
        stopAll({running});
    }
    ::setenv("PATH", savedPath.c_str(), 1);
}

} // namespace
} // namespace velkan::platform
