#include "device/input_report_reader.h"
#include "device/keyboard_scan.h"
#include "device/presence_monitor.h"
#include "platform/keyboard_lock.h"
#include "protocol/command_set.h"
#include "protocol/device_mirrors.h"
#include "recording_client.h"
#include "sim/sim_descriptors.h"
#include "sim/sim_hid_backend.h"
#include "support/fake_hid.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <thread>

#ifndef _WIN32
#include "platform/hid_backend_linux.h"
#include "support/fake_hidraw_tree.h"
#endif

namespace velkan::device {
namespace {

using namespace std::chrono_literals;
using test::RecordingClient;

TEST(HidPathIds, ReadsHexAfterEitherCaseOfMarker) {
    struct Case {
        const char* path;
        std::uint16_t vendorId;
        std::uint16_t productId;
    };
    const Case cases[] = {
        {"/dev/hidraw3#vid_0c45&pid_5004&col01", 0x0C45, 0x5004},
        {R"(\\?\HID#VID_0C45&PID_5004&MI_01#7&1)", 0x0C45, 0x5004},
        {"sim/kbd0/if1#vid_320f&pid_5000", 0x320F, 0x5000},
        {"vid_1230C45&pid_x", 0x0C45, 0}, // keeps the low 16 bits; no digits is 0
        {"pid_5004&vid_0c45", 0x0C45, 0}, // pid is looked for after vid only
        {"no markers at all", 0, 0},
    };
    for (const Case& c : cases) {
        const HidIds ids = hidIdsFromPath(c.path);
        EXPECT_EQ(ids.vendorId, c.vendorId) << c.path;
        EXPECT_EQ(ids.productId, c.productId) << c.path;
    }
}

// Interfaces described by their ids and usage, counting how often each path is opened.
class ScriptedBackend : public platform::HidBackend {
public:
    struct Entry {
        platform::HidAttributes attributes;
        std::uint16_t usagePage;
        std::uint8_t usage;
    };
    std::map<std::string, Entry> entries;
    std::map<std::string, int> opens;

    std::optional<std::vector<std::string>> enumerate() override {
        std::vector<std::string> paths;
        for (const auto& [path, entry] : entries) {
            paths.push_back(path);
        }
        return paths;
    }
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode) override;
    bool probe(const std::string& path) override { return entries.count(path) != 0; }
};

std::unique_ptr<platform::HidInterface> ScriptedBackend::open(const std::string& path,
                                                              platform::HidOpenMode) {
    ++opens[path];
    auto found = entries.find(path);
    if (found == entries.end()) {
        return nullptr;
    }
    const Entry& entry = found->second;
    const std::vector<std::uint8_t> descriptor = {0x06,
                                                  static_cast<std::uint8_t>(entry.usagePage & 0xFF),
                                                  static_cast<std::uint8_t>(entry.usagePage >> 8),
                                                  0x09,
                                                  entry.usage,
                                                  0xA1,
                                                  0x01,
                                                  0x85,
                                                  0x04,
                                                  0x15,
                                                  0x00,
                                                  0x26,
                                                  0xFF,
                                                  0x00,
                                                  0x75,
                                                  0x08,
                                                  0x95,
                                                  0x3F,
                                                  0x09,
                                                  0x01,
                                                  0x81,
                                                  0x02,
                                                  0x09,
                                                  0x01,
                                                  0x91,
                                                  0x02,
                                                  0xC0};
    return velkan::test::DescribedHidInterface::fromDescriptor(entry.attributes, descriptor);
}

TEST(KeyboardScan, FiltersPathsBeforeOpeningAndChecksWhatOpens) {
    ScriptedBackend backend;
    backend.entries = {
        {"a#vid_0c45&pid_5000", {{0x0C45, 0x5000, 1}, 0xFF1C, 0x92}}, // pair of two models
        {"b#vid_320f&pid_5004", {{0x320F, 0x5004, 1}, 0xFF1C, 0x92}},
        {"c#vid_0c45&pid_5004&col01", {{0x0C45, 0x5004, 1}, 0xFF1C, 0x91}}, // other usage
        {"d#vid_0c45&pid_5004&col02", {{0x1234, 0x5678, 1}, 0xFF1C, 0x92}}, // lying path
        {"e#VID_0C45&PID_5004&col03", {{0x0C45, 0x5004, 1}, 0xFF1C, 0x92}},
        {"f#vid_320f&pid_5000", {{0x320F, 0x5000, 1}, 0xFF1C, 0x92}},
    };
    HidDevice device(backend);
    ASSERT_TRUE(device.enumerate());
    ASSERT_TRUE(scanForKeyboardCollection(device, kCommandCollection));
    EXPECT_EQ(device.path(), "e#VID_0C45&PID_5004&col03");
    EXPECT_EQ(backend.opens.count("a#vid_0c45&pid_5000"), 0u) << "never opened";
    EXPECT_EQ(backend.opens.count("b#vid_320f&pid_5004"), 0u) << "never opened";
    EXPECT_EQ(backend.opens["c#vid_0c45&pid_5004&col01"], 1);
    EXPECT_EQ(backend.opens["d#vid_0c45&pid_5004&col02"], 1);
    EXPECT_EQ(backend.opens.count("f#vid_320f&pid_5000"), 0u) << "the scan ends at the first";
}

struct DeviceLinkFixture : testing::Test {
    void plug(sim::KeyboardModel model = sim::KeyboardModel::keys126) {
        keyboard = std::make_shared<sim::SimulatedKeyboard>(model);
        ASSERT_TRUE(backend.plug(keyboard));
    }
    int framesWithCommand(std::uint8_t command) const {
        int count = 0;
        for (const auto& frame : keyboard->wireLog()) {
            count += frame.direction == sim::WireDirection::hostToDevice &&
                     frame.collection == sim::SimCollection::command && frame.bytes[3] == command;
        }
        return count;
    }

    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    DeviceLink link{backend};
    RecordingClient client;
    protocol::DeviceMirrors mirrors{link};
    PresenceMonitor monitor{link, client, mirrors};
};

TEST_F(DeviceLinkFixture, KeyboardAtStartArrivesOnce) {
    plug(sim::KeyboardModel::keys128);
    monitor.start();
    ASSERT_TRUE(client.waitFor("arrived at start"));
    std::this_thread::sleep_for(300ms); // the first pass's second report must change nothing
    EXPECT_EQ(client.calls(), (std::vector<std::string>{"arrived at start"}));
    EXPECT_TRUE(link.devicePresent);
    EXPECT_TRUE(link.firstSearchDone);
    EXPECT_EQ(link.tableBytes, 512);
    EXPECT_EQ(link.keyCount, 128);

    // The probe pass reads the information block once, arrival once more; the factory table
    // and the macro capacity now mirror the keyboard's.
    EXPECT_EQ(framesWithCommand(protocol::command::kReadDeviceInfo), 2);
    EXPECT_EQ(framesWithCommand(protocol::command::kReadDefaultKeyTable), 10);
    const auto factory = keyboard->memory(sim::SimRegion::defaultKeyTable);
    const auto image = mirrors.defaultKeyTable();
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), image.begin()));
    EXPECT_EQ(mirrors.macroCapacity(),
              sim::modelInfo(sim::KeyboardModel::keys128).macroUnits * 128);
}

TEST_F(DeviceLinkFixture, NoKeyboardAtStartReportsNothingAndLaterArrivalIsAPlugIn) {
    monitor.start();
    for (int i = 0; i < 100 && !link.firstSearchDone; ++i) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(link.firstSearchDone);
    EXPECT_TRUE(client.calls().empty());
    EXPECT_EQ(mirrors.defaultKeyTable(), protocol::builtInDefaultKeyTable());

    plug();
    ASSERT_TRUE(client.waitFor("arrived"));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(client.calls(), (std::vector<std::string>{"arrived"}));
}

// Each is reported once; while the window handles it, the link already says whether a keyboard
// is there (the window it opens at start asks).
TEST_F(DeviceLinkFixture, UnplugAndReplugAreEachReportedOnce) {
    plug();
    client.presence = &link.lastNotifiedPresent;
    monitor.start();
    ASSERT_TRUE(client.waitFor("arrived at start"));
    link.activeProfileCache = 1;
    client.clear();

    ASSERT_TRUE(backend.unplug(keyboard));
    ASSERT_TRUE(client.waitFor("removed", 1, 2s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(client.calls(), (std::vector<std::string>{"removed"}));
    EXPECT_EQ(link.activeProfileCache, -1);
    EXPECT_FALSE(link.devicePresent);
    EXPECT_FALSE(link.commandChannel.isOpen());

    client.clear();
    keyboard->clearWireLog();
    ASSERT_TRUE(backend.plug(keyboard));
    ASSERT_TRUE(client.waitFor("arrived", 1, 3s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(client.calls(), (std::vector<std::string>{"arrived"}));
    EXPECT_EQ(framesWithCommand(protocol::command::kReadDeviceInfo), 1);
    EXPECT_EQ(client.presenceSeen(), (std::vector<bool>{true, false, true}));
}

TEST_F(DeviceLinkFixture, UnreadableFactoryTableKeepsTheImageAndTellsTheUser) {
    plug();
    keyboard->setFaults({.forcedStatus = 0xFE});
    monitor.start();
    ASSERT_TRUE(client.waitFor("arrived at start"));
    EXPECT_EQ(client.calls(),
              (std::vector<std::string>{"default table unreadable", "arrived at start"}));
    EXPECT_EQ(mirrors.defaultKeyTable(), protocol::builtInDefaultKeyTable());
    EXPECT_EQ(mirrors.macroCapacity(), 0);
}

// Enumeration that fails for a while must not lose the keyboard for the rest of the run.
class FlakyEnumeration : public platform::HidBackend {
public:
    explicit FlakyEnumeration(platform::HidBackend& inner) : inner_(inner) {}
    std::atomic<int> failuresLeft{2};
    std::optional<std::vector<std::string>> enumerate() override {
        if (failuresLeft > 0) {
            --failuresLeft;
            return std::nullopt;
        }
        return inner_.enumerate();
    }
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode mode) override {
        return inner_.open(path, mode);
    }
    bool probe(const std::string& path) override { return inner_.probe(path); }

private:
    platform::HidBackend& inner_;
};

TEST_F(DeviceLinkFixture, FailedEnumerationIsTriedAgain) {
    plug();
    FlakyEnumeration flaky(backend);
    DeviceLink flakyLink(flaky);
    protocol::DeviceMirrors flakyMirrors(flakyLink);
    PresenceMonitor flakyMonitor(flakyLink, client, flakyMirrors);
    flakyMonitor.start();
    EXPECT_TRUE(client.waitFor("arrived at start", 1, 5s));
}

TEST_F(DeviceLinkFixture, KeyboardEventCodesBecomeEvents) {
    plug();
    InputReportReader reader(backend, client);
    reader.start();
    // The reader finds the keyboard on its first scan; events sent before it reads are lost.
    for (int i = 0; i < 100 && client.count("lighting changed") == 0; ++i) {
        keyboard->sendEvent(0x0401);
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_GE(client.count("lighting changed"), 1);
    client.clear();

    for (int code : {0x1801, 0x0402, 0x1811, 0x1810, 0x7777}) {
        keyboard->sendEvent(static_cast<std::uint16_t>(code));
    }
    ASSERT_TRUE(client.waitFor("tray usual"));
    EXPECT_EQ(client.calls(), (std::vector<std::string>{"reset", "tray alternate", "tray usual"}));

    keyboard->changeLightingOnKeyboard();
    EXPECT_TRUE(client.waitFor("lighting changed"));
    reader.stop();
}

TEST_F(DeviceLinkFixture, StopEndsBothThreadsWhileTheKeyboardIsThere) {
    plug();
    InputReportReader reader(backend, client);
    reader.start();
    monitor.start();
    ASSERT_TRUE(client.waitFor("arrived at start"));
    std::this_thread::sleep_for(100ms); // the reader is blocked in its infinite read
    reader.stop();
    monitor.stop();
    EXPECT_FALSE(link.devicePresent);
    EXPECT_FALSE(link.commandChannel.isOpen());
}

// Another program on the keyboard: the monitor sends nothing until it is done, and a stop still
// ends the monitor while it waits.
TEST_F(DeviceLinkFixture, ArrivalWaitsWhileAnotherProgramUsesTheKeyboard) {
    plug();
    HidDevice scan(backend);
    ASSERT_TRUE(scan.enumerate());
    ASSERT_TRUE(scanForKeyboardCollection(scan, kCommandCollection));
    platform::KeyboardLock otherProgram(scan.path());
    scan.close();
    ASSERT_TRUE(otherProgram.acquire(0ms));

    monitor.start();
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(keyboard->wireLog().empty());
    EXPECT_TRUE(client.calls().empty());
    otherProgram.release();
    ASSERT_TRUE(client.waitFor("arrived at start"));
    EXPECT_EQ(client.calls(), (std::vector<std::string>{"arrived at start"}));
    monitor.stop();

    // Held again before a fresh monitor starts: that one is still waiting when it is stopped.
    ASSERT_TRUE(otherProgram.acquire(0ms));
    client.clear();
    keyboard->clearWireLog();
    PresenceMonitor waiting(link, client, mirrors);
    waiting.start();
    std::this_thread::sleep_for(300ms);
    auto stopped = std::async(std::launch::async, [&waiting] { waiting.stop(); });
    const bool stoppedWhileHeld = stopped.wait_for(5s) == std::future_status::ready;
    const bool sentNothing = keyboard->wireLog().empty();
    otherProgram.release(); // lets a hanging stop end, so that a failure does not hang too
    EXPECT_TRUE(stoppedWhileHeld);
    EXPECT_TRUE(sentNothing);
    EXPECT_TRUE(client.calls().empty());
}

// Another backend with the time of every search and probe, so that a test can wait for whole
// passes of the monitor and see its pace.
class ObservedBackend : public platform::HidBackend {
public:
    using Clock = std::chrono::steady_clock;
    struct Probe {
        Clock::time_point time;
        bool present = false;
    };

    explicit ObservedBackend(platform::HidBackend& inner) : inner_(inner) {}
    std::optional<std::vector<std::string>> enumerate() override {
        const auto start = Clock::now();
        auto paths = inner_.enumerate();
        record([&] { searches_.push_back(start); });
        return paths;
    }
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode mode) override {
        return inner_.open(path, mode);
    }
    bool probe(const std::string& path) override {
        const auto start = Clock::now();
        const bool present = inner_.probe(path);
        record([&] { probes_.push_back({start, present}); });
        return present;
    }
    bool permissionDenied(const std::string& path) const override {
        return inner_.permissionDenied(path);
    }

    std::vector<Clock::time_point> searches() const {
        std::lock_guard lock(mutex_);
        return searches_;
    }
    std::vector<Probe> probes() const {
        std::lock_guard lock(mutex_);
        return probes_;
    }
    // Until this many searches and probes have begun in all; false after 10 s.
    bool waitForCounts(std::size_t searches, std::size_t probes) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(
            lock, 10s, [&] { return searches_.size() >= searches && probes_.size() >= probes; });
    }
    // Once a second search has begun, the first one after the call has run to its end.
    bool waitForWholePass() const { return waitForCounts(searches().size() + 2, 0); }

private:
    template <typename Change> void record(Change change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    platform::HidBackend& inner_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Clock::time_point> searches_;
    std::vector<Probe> probes_;
};

// The time between each two neighbours, in milliseconds.
std::vector<long> gapsMs(const std::vector<ObservedBackend::Clock::time_point>& times) {
    std::vector<long> gaps;
    for (std::size_t i = 1; i < times.size(); ++i) {
        gaps.push_back(static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(times[i] - times[i - 1])
                .count()));
    }
    return gaps;
}

long medianOf(std::vector<long> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A plugged keyboard is probed ten times a second, so its removal is told at the first probe
// after the unplugging; without a keyboard the search runs only once a second. The lower
// bounds hold however busy the machine; the medians leave room for a slow one.
TEST(PresenceMonitorPace, WatchesAKeyboardTenTimesASecondAndSearchesOnceASecond) {
    sim::SimHidBackend simBackend;
    const auto keyboard = std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    ASSERT_TRUE(simBackend.plug(keyboard));
    ObservedBackend backend(simBackend);
    DeviceLink link(backend);
    RecordingClient client;
    protocol::DeviceMirrors mirrors(link);
    PresenceMonitor monitor(link, client, mirrors);

    monitor.start();
    ASSERT_TRUE(client.waitFor("arrived at start"));
    ASSERT_TRUE(backend.waitForCounts(0, 8));
    const std::size_t searchesWhilePresent = backend.searches().size();
    const auto unplugged = ObservedBackend::Clock::now();
    ASSERT_TRUE(simBackend.unplug(keyboard));
    ASSERT_TRUE(client.waitFor("removed"));
    const auto told = ObservedBackend::Clock::now();
    ASSERT_TRUE(backend.waitForCounts(searchesWhilePresent + 3, 0));
    monitor.stop();

    const auto probes = backend.probes();
    std::vector<ObservedBackend::Clock::time_point> probeTimes;
    for (const auto& probe : probes) {
        probeTimes.push_back(probe.time);
    }
    const std::vector<long> probeGaps = gapsMs(probeTimes);
    EXPECT_GE(*std::min_element(probeGaps.begin(), probeGaps.end()), 100);
    EXPECT_LT(medianOf(probeGaps), 300);
    ASSERT_FALSE(probes.back().present) << "no probe once the keyboard is gone";
    EXPECT_EQ(std::count_if(probes.begin(), probes.end(), [](const auto& p) { return !p.present; }),
              1)
        << "the first probe that misses the keyboard tells its removal";
    EXPECT_LT(told - unplugged, 500ms);

    // From the probe that missed the keyboard on, searches only.
    std::vector<ObservedBackend::Clock::time_point> searchTimes = {probes.back().time};
    const auto searches = backend.searches();
    for (std::size_t i = searchesWhilePresent; i < searches.size(); ++i) {
        searchTimes.push_back(searches[i]);
    }
    const std::vector<long> searchGaps = gapsMs(searchTimes);
    EXPECT_GE(*std::min_element(searchGaps.begin(), searchGaps.end()), 1000);
    EXPECT_LT(medianOf(searchGaps), 1500);
}

#ifndef _WIN32
// A keyboard whose node this user may not open: the user is told once how to get access, and
// again only when it is plugged in again still refused.
TEST(PresenceMonitorPermission, RefusedKeyboardIsToldOncePerPlugging) {
    velkan::test::FakeTree tree;
    const auto interface = sim::reportDescriptor(sim::kVendorInterface);
    const auto plugRefused = [&] {
        tree.add("hidraw2", "HID_ID=0003:00000C45:00005004\n",
                 {interface.begin(), interface.end()});
        std::filesystem::permissions(tree.dev() + "/hidraw2", std::filesystem::perms::none);
    };
    plugRefused();
    const velkan::test::FilePermissionsEnforced enforced;
    ASSERT_TRUE(enforced.enforced());
    platform::LinuxHidBackend hidraw(tree.sys(), tree.dev());
    ObservedBackend backend(hidraw);
    DeviceLink link(backend);
    RecordingClient client;
    protocol::DeviceMirrors mirrors(link);
    PresenceMonitor monitor(link, client, mirrors);
    const std::string told = "no permission";

    monitor.start();
    ASSERT_TRUE(client.waitFor(told));
    ASSERT_TRUE(backend.waitForWholePass());
    EXPECT_EQ(client.calls(), std::vector<std::string>{told});

    tree.remove("hidraw2");
    ASSERT_TRUE(backend.waitForWholePass());
    plugRefused();
    EXPECT_TRUE(client.waitFor(told, 2));
    monitor.stop();
    EXPECT_EQ(client.calls(), (std::vector<std::string>{told, told}));
}
#endif

} // namespace
} // namespace velkan::device
