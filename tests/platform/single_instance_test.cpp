#include "platform/process.h"
#include "platform/single_instance.h"
#include "support/test_environment.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <limits>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "platform/support_windows.h"
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kLockName = "QT40M17C";
const InstanceMessage kOpen{0x5350, 0x4F50454E, 0};
// The same message as a sender puts it on the wire.
constexpr std::array<std::uint8_t, 24> kOpenFrame = {
    0x56, 0x4C, 0x4B, 0x4E, 0x50, 0x53, 0x00, 0x00, 0x4E, 0x45, 0x50, 0x4F,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

#ifndef _WIN32
fs::path channelFile(int processId) {
    return fs::path(std::getenv("XDG_RUNTIME_DIR")) /
           ("velkan-" + std::to_string(processId) + ".sock");
}

int connectTo(const fs::path& socketFile) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketFile.native().copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when the channel acknowledged the bytes.
bool sendRaw(const fs::path& socketFile, std::span<const std::uint8_t> bytes) {
    const int fd = connectTo(socketFile);
    std::uint8_t ack = 0;
    const bool answered = fd >= 0 && ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0 &&
                          ::shutdown(fd, SHUT_WR) == 0 && ::recv(fd, &ack, 1, 0) == 1;
    ::close(fd);
    return answered;
}

struct Ended {
    pid_t pid = -1;
    int status = -1;
};

// Runs `body` in a forked copy of this process; its exit code becomes the status.
Ended runInChild(const std::function<int()>& body) {
    Ended ended{::fork()};
    if (ended.pid == 0) {
        ::_exit(body());
    }
    ::waitpid(ended.pid, &ended.status, 0);
    return ended;
}

bool killedBySigkill(int status) {
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

#endif

// Every message a channel handled, in order.
struct Inbox {
    InstanceChannel::Handler handler(std::chrono::milliseconds delay = 0ms) {
        return [this, delay](const InstanceMessage& message) {
            std::this_thread::sleep_for(delay);
            const std::lock_guard lock(mutex);
            messages.push_back(message);
        };
    }
    std::vector<InstanceMessage> handled() {
        const std::lock_guard lock(mutex);
        return messages;
    }
    std::mutex mutex;
    std::vector<InstanceMessage> messages;
};

TEST(InstanceChannelTest, DeliversEachMessageExactlyBeforeTheSenderReturns) {
    const InstanceMessage messages[] = {
        kOpen,
        {0x4D4B, 0x4C4C494B, 0},
        {0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF, std::numeric_limits<std::int64_t>::min()},
        {0x80000001, 0x0102030405060708, std::numeric_limits<std::int64_t>::max()},
        {0, 0, -1},
    };
    Inbox inbox;
    // A slow handler: a sender that returned early would find it unfinished.
    const auto channel = InstanceChannel::listen(inbox.handler(50ms));
    ASSERT_NE(channel, nullptr);
    std::vector<InstanceMessage> expected;
    for (const InstanceMessage& message : messages) {
        EXPECT_TRUE(sendToInstance(test::currentProcessId(), message));
        expected.push_back(message);
        EXPECT_EQ(inbox.handled(), expected);
    }
}

// Sending to these processes fails well below the sender's time-out: nothing was waited out.
void expectRefusedAtOnce(std::initializer_list<int> processIds) {
    for (const int pid : processIds) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(sendToInstance(pid, kOpen)) << pid;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << pid;
    }
}

TEST(InstanceChannelTest, WithoutAReceiverSendingFailsAtOnce) {
    expectRefusedAtOnce({test::currentProcessId(), 0, -1, std::numeric_limits<int>::max()});
}

#ifdef _WIN32
// ctest runs the suite as one process under Wine: no other process of its name is there.
TEST(InstanceChannelTest, OnlyAnotherProcessOfTheNameCountsAsTheRunningInstance) {
    Inbox inbox;
    const auto channel = InstanceChannel::listen(inbox.handler());
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(sendToRunningInstance(executableFileName(), kOpen), InstanceDelivery::noneRunning);
    EXPECT_TRUE(inbox.handled().empty());
}

// The channel's pipe as a sender finds it.
std::wstring channelPipe(int processId) {
    return L"\\\\.\\pipe\\velkan-" + currentUserSid().value_or(L"") + L"-" +
           std::to_wstring(processId);
}

// True when the channel acknowledged the bytes; the sender then hangs up.
bool sendRaw(std::span<const std::uint8_t> bytes) {
    const UniqueHandle pipe(::CreateFileW(channelPipe(test::currentProcessId()).c_str(),
                                          GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          0, nullptr));
    DWORD moved = 0;
    if (!pipe.valid() ||
        (!bytes.empty() && !::WriteFile(pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &moved, nullptr))) {
        return false;
    }
    std::uint8_t ack = 0;
    return ::ReadFile(pipe.get(), &ack, 1, &moved, nullptr) && moved == 1 && ack == kInstanceAck;
}

TEST(InstanceLockTest, HeldAgainstOtherHoldersAndFreedWhenItsHolderEnds) {
    {
        const InstanceLock first = InstanceLock::acquire(kLockName);
        ASSERT_TRUE(first.owned());
        // Another holder, even on the same thread, finds it taken.
        const InstanceLock second = InstanceLock::acquire(kLockName);
        EXPECT_TRUE(second.heldElsewhere());
        EXPECT_FALSE(second.owned());
    }
    // A holder that ends without letting go, as a killed process would.
    HANDLE mutex = nullptr;
    std::thread holder(
        [&mutex] { mutex = ::CreateMutexW(nullptr, TRUE, widen(kLockName).c_str()); });
    holder.join();
    ASSERT_NE(mutex, nullptr);
    const InstanceLock next = InstanceLock::acquire(kLockName);
    EXPECT_TRUE(next.owned());
    EXPECT_FALSE(next.heldElsewhere());
    ::CloseHandle(mutex);
}

TEST(InstanceChannelTest, BrokenSendersAreIgnoredAndLaterOnesServed) {
    Bytes wrongMagic(kOpenFrame.begin(), kOpenFrame.end());
    wrongMagic[0] ^= 0xFF;
    const std::pair<Bytes, bool> cases[] = {
        {{}, false},
        {{0xDE, 0xAD, 0xBE, 0xEF, 0x00}, false},
        {wrongMagic, false},
        {Bytes(kOpenFrame.begin(), kOpenFrame.end()), true},
    };
    Inbox inbox;
    const auto channel = InstanceChannel::listen(inbox.handler());
    ASSERT_NE(channel, nullptr);
    std::size_t handled = 0;
    for (const auto& [bytes, answered] : cases) {
        EXPECT_EQ(sendRaw(bytes), answered) << bytes.size() << " bytes";
        handled += answered ? 1 : 0;
        EXPECT_EQ(inbox.handled().size(), handled);
    }

    // One that stops half-way and stays connected holds the channel up only briefly.
    const UniqueHandle stalled(::CreateFileW(channelPipe(test::currentProcessId()).c_str(),
                                             GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    DWORD moved = 0;
    ASSERT_TRUE(::WriteFile(stalled.get(), kOpenFrame.data(), 10, &moved, nullptr));
    EXPECT_TRUE(sendToInstance(test::currentProcessId(), kOpen));
    EXPECT_EQ(inbox.handled().size(), handled + 1);
}
#else
TEST(InstanceLockTest, HeldAgainstOtherProcessesAndFreedWhenItsHolderIsKilled) {
    {
        const InstanceLock first = InstanceLock::acquire(kLockName);
        ASSERT_TRUE(first.owned());
        const Ended second = runInChild([] {
            const InstanceLock lock = InstanceLock::acquire(kLockName);
            return lock.heldElsewhere() && !lock.owned() ? 0 : 1;
        });
        EXPECT_EQ(second.status, 0);
    }
    // SIGKILL: nothing of the holder's own clean-up runs.
    const Ended killed = runInChild([] {
        const InstanceLock held = InstanceLock::acquire(kLockName);
        if (held.owned()) {
            ::raise(SIGKILL);
        }
        return 1;
    });
    ASSERT_TRUE(killedBySigkill(killed.status));
    const InstanceLock next = InstanceLock::acquire(kLockName);
    EXPECT_TRUE(next.owned());
    EXPECT_FALSE(next.heldElsewhere());
}

TEST(InstanceChannelTest, WithoutALiveReceiverSendingFailsAtOnce) {
    const Ended killed = runInChild([] {
        const auto channel = InstanceChannel::listen([](const InstanceMessage&) {});
        if (channel) {
            ::raise(SIGKILL);
        }
        return 1;
    });
    ASSERT_TRUE(killedBySigkill(killed.status));
    ASSERT_TRUE(fs::exists(channelFile(killed.pid))) << "a killed process leaves its socket";

    expectRefusedAtOnce({killed.pid});
}

TEST(InstanceChannelTest, BrokenSendersAreIgnoredAndLaterOnesServed) {
    // Built from the fixed-size frame, so the compiler sees that none of them is empty.
    Bytes wrongMagic(kOpenFrame.begin(), kOpenFrame.end());
    wrongMagic[0] ^= 0xFF;
    Bytes withMore(kOpenFrame.begin(), kOpenFrame.end());
    withMore.insert(withMore.end(), {1, 2, 3});
    const std::pair<Bytes, bool> cases[] = {
        {{}, false},
        {{0xDE, 0xAD, 0xBE, 0xEF, 0x00}, false},
        {Bytes(kOpenFrame.begin(), kOpenFrame.end() - 1), false},
        {wrongMagic, false},
        {Bytes(kOpenFrame.begin(), kOpenFrame.end()), true},
        {withMore, true},
    };
    Inbox inbox;
    const auto channel = InstanceChannel::listen(inbox.handler());
    ASSERT_NE(channel, nullptr);
    std::size_t handled = 0;
    for (const auto& [bytes, answered] : cases) {
        EXPECT_EQ(sendRaw(channelFile(::getpid()), bytes), answered) << bytes.size() << " bytes";
        handled += answered ? 1 : 0;
        EXPECT_EQ(inbox.handled().size(), handled);
    }

    // One that stops half-way and stays connected holds the channel up only briefly.
    const int stalled = connectTo(channelFile(::getpid()));
    ASSERT_EQ(::send(stalled, kOpenFrame.data(), 10, 0), 10);
    EXPECT_TRUE(sendToInstance(::getpid(), kOpen));
    EXPECT_EQ(inbox.handled().size(), handled + 1);
    ::close(stalled);
}

TEST(InstanceChannelTest, OtherUsersAreNotServed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    Inbox inbox;
    const auto channel = InstanceChannel::listen(inbox.handler());
    ASSERT_NE(channel, nullptr);
    // Open the way to the socket so that only the channel's own check stands in between.
    const fs::path socketFile = channelFile(::getpid());
    for (const fs::path& folder :
         {socketFile.parent_path(), socketFile.parent_path().parent_path()}) {
        fs::permissions(folder, fs::perms::others_exec, fs::perm_options::add);
    }
    fs::permissions(socketFile, fs::perms::others_all, fs::perm_options::add);
    const Ended nobody = runInChild([&socketFile] {
        constexpr uid_t kNobody = 65534;
        const int probe =
            ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 ? connectTo(socketFile) : -1;
        ::close(probe);
        return probe < 0 ? 2 : sendRaw(socketFile, kOpenFrame) ? 1 : 0;
    });
    EXPECT_EQ(nobody.status, 0) << "1: served, 2: could not reach the socket";
    EXPECT_TRUE(inbox.handled().empty());
}

TEST(InstanceChannelTest, SilentReceiverMakesTheSenderGiveUp) {
    // Listens but never accepts, like a process that hangs.
    const int silentPid = std::numeric_limits<int>::max() - 1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    channelFile(silentPid).native().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    EXPECT_FALSE(sendToInstance(silentPid, kOpen));
    ::close(fd);
    fs::remove(channelFile(silentPid));
}

#endif

} // namespace
} // namespace velkan::platform
