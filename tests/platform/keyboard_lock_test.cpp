#include "platform/keyboard_lock.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kKeyboard = "/dev/hidraw3#vid_0c45&pid_5004&col01";

#ifndef _WIN32
fs::path runtimeFolder() {
    return std::getenv("XDG_RUNTIME_DIR");
}

std::set<fs::path> entriesOf(const fs::path& folder) {
    std::set<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        entries.insert(entry.path());
    }
    return entries;
}

// A forked copy of this process running `body`, which writes a byte to the descriptor it is
// given once it is set; killed with the object when still running.
class Child {
public:
    explicit Child(const std::function<int(int readyFd)>& body) {
        if (::pipe(ready_.data()) == 0) {
            pid_ = ::fork();
            if (pid_ == 0) {
                ::_exit(body(ready_[1]));
            }
        }
    }
    ~Child() {
        kill();
        ::close(ready_[0]);
        ::close(ready_[1]);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    [[nodiscard]] bool ready() const {
        char byte = 0;
        return pid_ > 0 && ::read(ready_[0], &byte, 1) == 1;
    }
    bool running() const { return pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == 0; }
    // The exit code once it has ended; -1 when it did not end normally.
    int exitCode() {
        if (pid_ > 0 && ::waitpid(pid_, &status_, 0) == pid_) {
            pid_ = -1;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
    }

private:
    std::array<int, 2> ready_{-1, -1};
    pid_t pid_ = -1;
    mutable int status_ = 0;
};

void tellReady(int fd) {
    [[maybe_unused]] const auto written = ::write(fd, "!", 1);
}

#endif

// Where no lock can be had there is nobody to share with: every taker goes ahead without
// holding anything.
void expectUsableWithoutALock(std::string_view path) {
    KeyboardLock first(path);
    KeyboardLock second(path);
    EXPECT_TRUE(first.acquire(0ms));
    EXPECT_TRUE(second.acquire(KeyboardLock::kWaitForever));
    EXPECT_FALSE(first.held());
    EXPECT_FALSE(second.held());
}

TEST(KeyboardLockTest, OneHolderPerKeyboardAmongObjectsOfOneProcess) {
    const std::string longPath = "/sys/devices/" + std::string(300, 'x') + "/hidraw/hidraw0";
    // Paths that differ only where a file name could not show it are different keyboards.
    const std::vector<std::string> paths = {
        std::string(kKeyboard),
        "sim/kbd1/if0#vid_0c45&pid_5004",
        "sim_kbd1_if0#vid_0c45&pid_5004",
        "../../escaped",
        longPath,
        longPath + "1",
        "",
    };
#ifndef _WIN32
    const auto aroundBefore = entriesOf(runtimeFolder().parent_path());
    const auto before = entriesOf(runtimeFolder());
#endif
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        KeyboardLock first(path);
        KeyboardLock second(path);
        EXPECT_FALSE(first.held()) << path;
        EXPECT_TRUE(first.acquire(0ms)) << path;
        EXPECT_TRUE(first.held()) << path;
        EXPECT_FALSE(second.acquire(0ms)) << path;
        EXPECT_FALSE(second.held()) << path;
        for (std::size_t j = 0; j < paths.size(); ++j) {
            KeyboardLock other(paths[j]);
            EXPECT_EQ(other.acquire(0ms), i != j) << path << " against " << paths[j];
        }
        first.release();
        EXPECT_FALSE(first.held()) << path;
        EXPECT_TRUE(second.acquire(0ms)) << path;
        EXPECT_FALSE(first.acquire(0ms)) << path;
    }
#ifndef _WIN32
    // Every lock file is a plain file of the runtime folder, whatever the path held.
    for (const fs::path& entry : entriesOf(runtimeFolder())) {
        EXPECT_TRUE(before.contains(entry) || fs::is_regular_file(fs::symlink_status(entry)))
            << entry;
    }
    EXPECT_EQ(entriesOf(runtimeFolder().parent_path()), aroundBefore);
#endif
}

TEST(KeyboardLockTest, WaitEndsAfterAboutTheTimeAskedOrWhenTheHolderLetsGo) {
    // The holder takes and lets go on a thread of its own, as the program's worker does.
    std::mutex mutex;
    std::condition_variable changed;
    bool taken = false;
    bool letGo = false;
    std::thread holderThread([&] {
        KeyboardLock holder(kKeyboard);
        std::unique_lock lock(mutex);
        taken = holder.acquire(KeyboardLock::kWaitForever);
        changed.notify_all();
        changed.wait(lock, [&] { return letGo; });
        lock.unlock();
        std::this_thread::sleep_for(100ms);
        holder.release();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return taken; });
    }
    for (const auto timeout : {0ms, 50ms, 400ms}) {
        KeyboardLock waiter(kKeyboard);
        const auto start = Clock::now();
        EXPECT_FALSE(waiter.acquire(timeout)) << timeout.count();
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, timeout);
        // Generous: the machine may be busy, but nothing near a second of oversleeping.
        EXPECT_LT(waited, timeout + 1s);
    }

    // Let go in the middle of a wait: the waiter gets it long before its time is up.
    {
        const std::lock_guard lock(mutex);
        letGo = true;
        changed.notify_all();
    }
    KeyboardLock waiter(kKeyboard);
    const auto start = Clock::now();
    EXPECT_TRUE(waiter.acquire(30s));
    EXPECT_LT(Clock::now() - start, 10s);
    holderThread.join();
}

#ifdef _WIN32
TEST(KeyboardLockTest, AHolderThatEndsWithoutLettingGoFreesTheLock) {
    // A thread that ends while it holds the OS's mutex stands in for a process that is
    // killed: nothing of its own clean-up runs, yet the next taker gets the lock.
    const std::string name = "Local\\" + keyboardLockName(kKeyboard);
    HANDLE mutex = nullptr;
    std::thread holder([&] { mutex = ::CreateMutexA(nullptr, TRUE, name.c_str()); });
    holder.join();
    ASSERT_NE(mutex, nullptr);
    KeyboardLock lock(kKeyboard);
    EXPECT_TRUE(lock.acquire(0ms));
    EXPECT_TRUE(lock.held());
    lock.release();
    ::CloseHandle(mutex);
}

TEST(KeyboardLockTest, WithoutALockObjectTheKeyboardStaysUsable) {
    // Another kind of object has taken the lock's name.
    constexpr std::string_view kUnlockable = "\\\\?\\hid#vid_320f&pid_5000#1";
    const std::string name = "Local\\" + keyboardLockName(kUnlockable);
    const HANDLE squatter = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(squatter, nullptr);
    expectUsableWithoutALock(kUnlockable);
    ::CloseHandle(squatter);
}
#else
TEST(KeyboardLockTest, OtherProcessesAreHeldBackUntilTheHolderLetsGoOrIsKilled) {
    // Another process holds it, and is killed: nothing of its own clean-up runs, yet the lock
    // is free.
    {
        Child holder([](int readyFd) {
            KeyboardLock lock(kKeyboard);
            if (!lock.acquire(0ms)) {
                return 1;
            }
            tellReady(readyFd);
            std::this_thread::sleep_for(60s);
            return 0;
        });
        ASSERT_TRUE(holder.ready());
        KeyboardLock lock(kKeyboard);
        EXPECT_FALSE(lock.acquire(100ms));
        holder.kill();
        EXPECT_TRUE(lock.acquire(0ms));
    }
    // This one holds it: the other waits without limit and gets it once this one lets go.
    KeyboardLock lock(kKeyboard);
    ASSERT_TRUE(lock.acquire(0ms));
    Child waiter([](int readyFd) {
        KeyboardLock other(kKeyboard);
        tellReady(readyFd);
        return other.acquire(KeyboardLock::kWaitForever) && other.held() ? 0 : 1;
    });
    ASSERT_TRUE(waiter.ready());
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(waiter.running()) << "the other process did not wait";
    lock.release();
    EXPECT_EQ(waiter.exitCode(), 0);
}

TEST(KeyboardLockTest, WithoutALockFileTheKeyboardStaysUsable) {
    // Find the keyboard's lock file, then put a folder in its place.
    constexpr std::string_view kUnlockable = "/dev/hidraw9#vid_320f&pid_5000";
    const auto before = entriesOf(runtimeFolder());
    {
        KeyboardLock lock(kUnlockable);
        ASSERT_TRUE(lock.acquire(0ms));
    }
    std::vector<fs::path> created;
    for (const fs::path& entry : entriesOf(runtimeFolder())) {
        if (!before.contains(entry)) {
            created.push_back(entry);
        }
    }
    ASSERT_EQ(created.size(), 1u);
    fs::remove(created.front());
    fs::create_directory(created.front());
    expectUsableWithoutALock(kUnlockable);
    fs::remove(created.front());
}

#endif

} // namespace
} // namespace velkan::platform
