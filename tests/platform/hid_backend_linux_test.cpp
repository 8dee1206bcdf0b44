#include "platform/hid_backend_linux.h"
#include "support/fake_hidraw_tree.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kHangGuard = 10s;

// One vendor collection without report ids: 8 bytes in, 8 bytes out.
const Bytes kPlain = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
                      0x08, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0x09, 0x03, 0x91, 0x02, 0xC0};
// A vendor collection with report 1, then a consumer collection with report 2.
const Bytes kTwo = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xFF,
                    0x00, 0x75, 0x08, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0x09, 0x03, 0x91, 0x02,
                    0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF,
                    0x00, 0x75, 0x08, 0x95, 0x02, 0x09, 0xE9, 0x81, 0x02, 0xC0};

std::string uevent(const std::string& ids) {
    return "DRIVER=hid-generic\nHID_ID=" + ids + "\n";
}
const std::string kKeyboard = uevent("0003:00000C45:00005004");

using test::FakeTree;

TEST(LinuxHidBackendEnumerate, ListsOnePathPerCollectionInNodeOrder) {
    struct Node {
        std::string name, uevent;
        Bytes descriptor;
    };
    struct Case {
        std::string label;
        std::vector<Node> nodes;
        std::vector<std::string> expected; // below the device root
    };
    const std::vector<Case> cases = {
        {"numeric order",
         {{"hidraw10", kKeyboard, kPlain},
          {"hidraw2", kKeyboard, kPlain},
          {"hidraw1", uevent("0005:0000ABCD:0000EF01"), kPlain}},
         {"hidraw1#vid_abcd&pid_ef01", "hidraw2#vid_0c45&pid_5004", "hidraw10#vid_0c45&pid_5004"}},
        {"two collections",
         {{"hidraw3", kKeyboard, kTwo}},
         {"hidraw3#vid_0c45&pid_5004&col01", "hidraw3#vid_0c45&pid_5004&col02"}},
        {"unreadable nodes left out",
         {{"hidraw0", "", kPlain},
          {"hidraw1", kKeyboard, {0x06, 0x00}},
          {"hidraw2", kKeyboard, {}},
          {"hidraw3", "DRIVER=hid-generic\n", kPlain},
          {"hidraw4", uevent("0003:00010C45:00005004"), kPlain},
          {"hidraw5", kKeyboard, kPlain},
          {"hidrawx", kKeyboard, kPlain}},
         {"hidraw5#vid_0c45&pid_5004"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeTree tree;
        fs::create_directories(tree.sys() + "/class/hidraw");
        std::vector<std::string> expected;
        for (const Node& node : c.nodes) {
            tree.add(node.name, node.uevent, node.descriptor);
        }
        for (const std::string& path : c.expected) {
            expected.push_back(tree.dev() + "/" + path);
        }
        EXPECT_EQ(LinuxHidBackend(tree.sys(), tree.dev()).enumerate(), expected);
    }
}

TEST(LinuxHidBackendEnumerate, ClassFolderStatesAndManyNodes) {
    FakeTree tree;
    LinuxHidBackend backend(tree.sys(), tree.dev());
    EXPECT_EQ(backend.enumerate(), std::vector<std::string>()); // no hidraw driver
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        tree.add("hidraw" + std::to_string(39 - i), kKeyboard, kPlain);
        expected.push_back(tree.dev() + "/hidraw" + std::to_string(i) + "#vid_0c45&pid_5004");
    }
    EXPECT_EQ(backend.enumerate(), expected);
    fs::remove_all(tree.sys() + "/class/hidraw");
    std::ofstream(tree.sys() + "/class/hidraw") << "not a folder";
    EXPECT_FALSE(backend.enumerate().has_value());
}

TEST(LinuxHidBackendProbe, FollowsTheNodeAndItsIds) {
    const std::string path = "hidraw3#vid_0c45&pid_5004";
    const auto nothing = [](const FakeTree&) {};
    const std::vector<std::tuple<std::string, std::function<void(const FakeTree&)>, bool>> cases = {
        {path, nothing, true},
        {path + "&col02", nothing, true},
        {"hidraw3#vid_0c45&pid_5005", nothing, false},
        {"hidraw3", nothing, false},
        {"mouse3#vid_0c45&pid_5004", nothing, false}, // not a hidraw node
        {path, [](const FakeTree& t) { fs::remove(t.dev() + "/hidraw3"); }, false},
        {path, [](const FakeTree& t) { fs::remove_all(t.device("hidraw3")); }, false},
        {path,
         [](const FakeTree& t) { std::ofstream(t.device("hidraw3") / "uevent") << "HID_ID=3:1:2"; },
         false},
    };
    for (const auto& [tail, change, present] : cases) {
        SCOPED_TRACE(tail + (present ? " present" : " gone"));
        FakeTree tree;
        tree.add("hidraw3", kKeyboard, kTwo);
        tree.add("mouse3", kKeyboard, kTwo);
        change(tree);
        EXPECT_EQ(LinuxHidBackend(tree.sys(), tree.dev()).probe(tree.dev() + "/" + tail), present);
    }
}

TEST(LinuxHidBackendOpen, RefusesWhatIsNoHidrawNodeWithoutLeaking) {
    FakeTree tree;
    tree.add("hidraw3", kKeyboard, kPlain);
    LinuxHidBackend backend(tree.sys(), tree.dev());
    const std::string path = tree.dev() + "/hidraw3#vid_0c45&pid_5004";
    const auto openFds = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFds();
    EXPECT_EQ(backend.open(path, {true, true}), nullptr); // a plain file answers no ioctl
    EXPECT_EQ(backend.open(path, {false, true}), nullptr);
    EXPECT_EQ(backend.open(path, {false, false}), nullptr);
    EXPECT_EQ(backend.open(tree.dev() + "/hidraw4#vid_0c45&pid_5004", {true, true}), nullptr);
    EXPECT_EQ(backend.open("/elsewhere/hidraw3#vid_0c45&pid_5004", {true, true}), nullptr);
    EXPECT_EQ(backend.open(path + std::string(300, 'x'), {true, true}), nullptr);
    EXPECT_EQ(openFds(), before);
}

// The kernel's answers for every node, given in place of the ioctls that a plain file refuses.
HidrawNodeQuery kernelAnswers(std::uint16_t vendorId, std::uint16_t productId,
                              const Bytes& descriptor) {
    return [=](int) { return std::optional<HidrawNodeInfo>({vendorId, productId, descriptor}); };
}

TEST(LinuxHidBackendOpen, OpensTheCollectionItsPathNames) {
    struct Case {
        std::string label;
        const Bytes& descriptor;
        std::string tail; // after "hidraw3#vid_0c45&pid_5004"
        std::uint16_t kernelVendor;
        std::optional<std::uint16_t> usagePage; // of what opens; nullopt: refused
    };
    const std::vector<Case> cases = {
        {"first of two", kTwo, "&col01", 0x0C45, 0xFF00},
        {"second of two", kTwo, "&col02", 0x0C45, 0x000C},
        {"third of two", kTwo, "&col03", 0x0C45, std::nullopt},
        {"numbered from 1", kTwo, "&col00", 0x0C45, std::nullopt},
        {"two without a number", kTwo, "", 0x0C45, std::nullopt},
        {"the only one", kPlain, "", 0x0C45, 0xFF00},
        {"the only one numbered", kPlain, "&col01", 0x0C45, std::nullopt},
        {"node now another device's", kTwo, "&col01", 0x320F, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeTree tree;
        tree.add("hidraw3", kKeyboard, c.descriptor);
        LinuxHidBackend backend(tree.sys(), tree.dev(),
                                kernelAnswers(c.kernelVendor, 0x5004, c.descriptor));
        const auto io =
            backend.open(tree.dev() + "/hidraw3#vid_0c45&pid_5004" + c.tail, {true, true});
        ASSERT_EQ(io != nullptr, c.usagePage.has_value());
        if (io) {
            EXPECT_EQ(io->collection().usagePage, *c.usagePage);
            EXPECT_EQ(io->attributes().vendorId, 0x0C45);
            EXPECT_EQ(io->attributes().productId, 0x5004);
        }
    }

    // Every path the listing gives opens, each on its own collection.
    FakeTree tree;
    tree.add("hidraw3", kKeyboard, kTwo);
    LinuxHidBackend backend(tree.sys(), tree.dev(), kernelAnswers(0x0C45, 0x5004, kTwo));
    std::vector<std::uint16_t> usagePages;
    for (const std::string& path : backend.enumerate().value_or(std::vector<std::string>())) {
        const auto io = backend.open(path, {true, false});
        ASSERT_NE(io, nullptr) << path;
        usagePages.push_back(io->collection().usagePage);
    }
    EXPECT_EQ(usagePages, (std::vector<std::uint16_t>{0xFF00, 0x000C}));
}

// Only a refusal by the node's permissions is one the user can fix; the mark follows the
// last open of each path.
TEST(LinuxHidBackendOpen, TellsPermissionRefusalFromOtherFailures) {
    FakeTree tree;
    tree.add("hidraw3", kKeyboard, kPlain);
    tree.add("hidraw4", kKeyboard, kPlain);
    const std::string node = tree.dev() + "/hidraw3";
    const std::string path = node + "#vid_0c45&pid_5004";
    const std::string other = tree.dev() + "/hidraw4#vid_0c45&pid_5004";
    const test::FilePermissionsEnforced enforced;
    ASSERT_TRUE(enforced.enforced());
    LinuxHidBackend backend(tree.sys(), tree.dev());
    const std::vector<std::tuple<std::string, fs::perms, bool>> steps = {
        {"opens but is no hidraw node", fs::perms::owner_read | fs::perms::owner_write, false},
        {"mode 000", fs::perms::none, true},
        {"readable only", fs::perms::owner_read, true},
        {"access granted again", fs::perms::owner_read | fs::perms::owner_write, false},
    };
    for (const auto& [label, mode, denied] : steps) {
        SCOPED_TRACE(label);
        fs::permissions(node, mode);
        EXPECT_EQ(backend.open(path, {true, true}), nullptr);
        EXPECT_EQ(backend.permissionDenied(path), denied);
        EXPECT_FALSE(backend.permissionDenied(other));
    }
    fs::permissions(node, fs::perms::none);
    EXPECT_EQ(backend.open(path, {true, true}), nullptr);
    fs::remove(node);
    EXPECT_EQ(backend.open(path, {true, true}), nullptr);
    EXPECT_FALSE(backend.permissionDenied(path)) << "gone is not refused";
}

// The interface over one end of a SOCK_SEQPACKET pair, which keeps report boundaries as hidraw
// does; the test plays the device on the other end.
class HidrawIo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }
    void TearDown() override {
        io_.reset();
        unplug();
    }

    void open(const Bytes& descriptor, std::size_t collectionIndex) {
        TearDown();
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        host_ = ends[0];
        device_ = ends[1];
        auto collections = parseReportDescriptor(descriptor);
        ASSERT_TRUE(collections && collectionIndex < collections->size());
        io_ = LinuxHidBackend::wrapDescriptor(host_, (*collections)[collectionIndex], {});
        ASSERT_NE(io_, nullptr);
    }

    void deviceSends(const Bytes& report) {
        ASSERT_EQ(::send(device_, report.data(), report.size(), 0), std::ssize(report));
    }
    std::vector<Bytes> deviceReceivesAll() {
        std::vector<Bytes> reports;
        Bytes report(20000);
        for (ssize_t n; (n = ::recv(device_, report.data(), report.size(), MSG_DONTWAIT)) >= 0;) {
            reports.emplace_back(report.begin(), report.begin() + n);
        }
        return reports;
    }
    // Fills the host's send queue, so that the next write stalls as hidraw can in the kernel.
    std::size_t stall() {
        const Bytes filler(1024, 0x55);
        std::size_t sent = 0;
        while (::send(host_, filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
            ++sent;
        }
        return sent;
    }
    void unplug() {
        if (device_ >= 0) {
            ::close(std::exchange(device_, -1));
        }
    }

    HidIoStatus read(Bytes& buffer, int timeoutMs = 1000) {
        std::size_t transferred = 99;
        const HidIoStatus status = io_->read(buffer, timeoutMs, transferred);
        buffer.resize(transferred);
        return status;
    }
    HidIoStatus write(const Bytes& report, int timeoutMs = 1000) {
        std::size_t transferred = 99;
        const HidIoStatus status = io_->write(report, timeoutMs, transferred);
        EXPECT_EQ(transferred, status == HidIoStatus::ok ? report.size() : 0);
        return status;
    }

    int host_ = -1; // owned by io_
    int device_ = -1;
    std::unique_ptr<HidInterface> io_;
};

TEST_F(HidrawIo, ReadDeliversReportsOfItsOwnCollection) {
    struct Case {
        std::string label;
        const Bytes& descriptor;
        std::size_t collection;
        std::vector<Bytes> sent;
        std::size_t room;
        Bytes expected; // empty: time-out
    };
    const Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8}, vendor = {1, 9, 8, 7, 6, 5, 4, 3, 2};
    const Bytes consumer = {2, 0xE9, 0x00};
    const std::vector<Case> cases = {
        {"nothing arrives", kPlain, 0, {}, 16, {}},
        {"id 0 put in front", kPlain, 0, {plain}, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"cut to the buffer", kPlain, 0, {plain}, 4, {0, 1, 2, 3}},
        {"numbered as sent", kTwo, 1, {consumer}, 16, consumer},
        {"other collection skipped", kTwo, 1, {vendor, vendor, consumer}, 16, consumer},
        {"skipped the other way", kTwo, 0, {consumer, vendor}, 16, vendor},
        {"only other collections", kTwo, 1, {vendor}, 16, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        open(c.descriptor, c.collection);
        for (const Bytes& report : c.sent) {
            deviceSends(report);
        }
        Bytes buffer(c.room);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(read(buffer, 100), c.expected.empty() ? HidIoStatus::timedOut : HidIoStatus::ok);
        EXPECT_EQ(buffer, c.expected);
        if (c.expected.empty()) {
            EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
        }
    }
}

TEST_F(HidrawIo, WriteSendsWholeReportsOnly) {
    open(kPlain, 0);
    const Bytes report = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(write(report), HidIoStatus::ok);
    EXPECT_EQ(write(Bytes(16385, 1)), HidIoStatus::failed); // more than hidraw takes
    EXPECT_EQ(deviceReceivesAll(), std::vector<Bytes>{report});
    unplug();
    EXPECT_EQ(write({0, 1}), HidIoStatus::failed);

    // A pipe with one free page takes only the start of a longer report.
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK), 0);
    const Bytes page(4096, 0x55);
    while (::write(pipeEnds[1], page.data(), page.size()) > 0) {
    }
    Bytes drained(page.size());
    ASSERT_EQ(::read(pipeEnds[0], drained.data(), drained.size()), std::ssize(page));
    io_ = LinuxHidBackend::wrapDescriptor(pipeEnds[1], HidCollection(), {});
    EXPECT_EQ(write(Bytes(3 * page.size(), 1)), HidIoStatus::failed);
    ::close(pipeEnds[0]);
}

TEST_F(HidrawIo, StalledWriteTimesOutAndIsNeverSentLate) {
    open(kPlain, 0);
    const std::size_t fillers = stall();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(write({0, 0xDE}, 150), HidIoStatus::timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    deviceSends({7, 7});
    Bytes buffer(16);
    EXPECT_EQ(read(buffer), HidIoStatus::ok); // reading goes on meanwhile
    EXPECT_EQ(deviceReceivesAll().size(), fillers);
    for (std::uint8_t i = 0; i < 5; ++i) {
        // A write given no time never reaches the writer thread; the next one waits for it.
        EXPECT_EQ(write({0, i}, 0), HidIoStatus::timedOut);
        EXPECT_EQ(write({0, 0xBE}), HidIoStatus::ok);
        EXPECT_EQ(deviceReceivesAll(), std::vector<Bytes>{Bytes({0, 0xBE})});
    }
}

TEST_F(HidrawIo, EndlessWaitEndsOnCancelOrUnplug) {
    for (const bool writing : {false, true}) {
        for (const bool unplugging : {false, true}) {
            SCOPED_TRACE(std::string(writing ? "write" : "read") + (unplugging ? " unplug" : ""));
            open(kPlain, 0);
            if (writing) {
                stall();
            }
            auto wait = std::async(std::launch::async, [&] {
                Bytes buffer(16);
                return writing ? write({0, 1}, kHidInfiniteTimeout)
                               : read(buffer, kHidInfiniteTimeout);
            });
            std::this_thread::sleep_for(50ms);
            unplugging ? unplug() : io_->cancel();
            ASSERT_EQ(wait.wait_for(kHangGuard), std::future_status::ready);
            EXPECT_EQ(wait.get(), unplugging ? HidIoStatus::failed : HidIoStatus::cancelled);
        }
    }
}

TEST_F(HidrawIo, PendingCancelsEachEndOneOperation) {
    for (const bool writing : {false, true}) {
        for (const int cancels : {1, 2}) {
            SCOPED_TRACE(std::to_string(cancels) + (writing ? " before write" : " before read"));
            open(kPlain, 0);
            deviceSends({1, 2, 3});
            const auto operate = [&] {
                Bytes buffer(16);
                return writing ? write({0, 1}) : read(buffer);
            };
            for (int i = 0; i < cancels; ++i) {
                io_->cancel();
            }
            for (int i = 0; i < cancels; ++i) {
                EXPECT_EQ(operate(), HidIoStatus::cancelled);
            }
            EXPECT_EQ(operate(), HidIoStatus::ok);
        }
    }
}

// Meant for ThreadSanitizer: one thread reads, one writes, one cancels, the device echoes.
TEST_F(HidrawIo, ReadWriteAndCancelFromThreeThreads) {
    open(kPlain, 0);
    std::atomic<bool> stop = false;
    std::thread echo([&] {
        Bytes report(64);
        for (pollfd fd = {device_, POLLIN, 0}; !stop;) {
            const ssize_t n = ::poll(&fd, 1, 10) > 0 ? ::recv(device_, report.data(), 64, 0) : 0;
            if (n > 1) {
                ::send(device_, report.data() + 1, static_cast<std::size_t>(n - 1), 0);
            }
        }
    });
    std::thread reader([&] {
        for (Bytes buffer(16); !stop; buffer.resize(16)) {
            if (read(buffer, 10) == HidIoStatus::ok) {
                EXPECT_EQ(buffer.size(), 9u);
            }
        }
    });
    std::thread canceller([&] {
        for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(1ms)) {
            io_->cancel();
        }
    });
    for (std::uint8_t i = 0; i < 100; ++i) {
        EXPECT_NE(write({0, i, 1, 2, 3, 4, 5, 6, 7}, 100), HidIoStatus::failed);
    }
    canceller.join();
    stop = true;
    reader.join();
    echo.join();
    // Cancels nobody took are still pending; each ends one write.
    while (write({0, 0xAB}) == HidIoStatus::cancelled) {
    }
    const std::vector<Bytes> received = deviceReceivesAll();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), Bytes({0, 0xAB}));
}

} // namespace
} // namespace velkan::platform
