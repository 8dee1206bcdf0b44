#include "platform/hid_backend_windows.h"
#include "platform/support_windows.h"
#include "support/test_environment.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace velkan::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// A collection whose reports travel through a message-mode pipe, which keeps report
// boundaries as a HID interface does: the interface holds one end, the test plays the
// keyboard at the other.
class PipeHidTest : public testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        const std::wstring name = L"\\\\.\\pipe\\velkan-hid-test-" +
                                  std::to_wstring(test::currentProcessId()) + L"-" +
                                  std::to_wstring(++count);
        const HANDLE device = ::CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        keyboard_.reset(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(keyboard_.valid());
        DWORD mode = PIPE_READMODE_MESSAGE;
        ASSERT_TRUE(::SetNamedPipeHandleState(keyboard_.get(), &mode, nullptr, nullptr));
        HidCollectionInfo collection;
        collection.usagePage = 0xFF00;
        collection.usage = 1;
        collection.inputReportLength = 65;
        collection.outputReportLength = 8;
        hid_ = WindowsHidBackend::wrapHandle(device, collection, HidAttributes{0x0C45, 0x5004, 1});
        ASSERT_NE(hid_, nullptr);
    }

    void keyboardSends(const Bytes& report) {
        DWORD moved = 0;
        ASSERT_TRUE(::WriteFile(keyboard_.get(), report.data(), static_cast<DWORD>(report.size()),
                                &moved, nullptr));
    }
    Bytes keyboardReceives() {
        Bytes report(256);
        DWORD moved = 0;
        if (!::ReadFile(keyboard_.get(), report.data(), static_cast<DWORD>(report.size()), &moved,
                        nullptr)) {
            return {};
        }
        report.resize(moved);
        return report;
    }
    // Bytes waiting at the keyboard's end, without taking them.
    DWORD keyboardWaiting() {
        DWORD available = 0;
        ::PeekNamedPipe(keyboard_.get(), nullptr, 0, nullptr, &available, nullptr);
        return available;
    }

    UniqueHandle keyboard_;
    std::unique_ptr<HidInterface> hid_;
};

TEST_F(PipeHidTest, ReadDeliversWholeReportsAndTimesOutWithoutLosingOne) {
    Bytes buffer(64, 0xEE);
    std::size_t got = 1;
    // Nothing there: the wait lasts about the time asked and leaves nothing behind.
    for (const int timeoutMs : {0, 50, 200}) {
        const auto start = Clock::now();
        EXPECT_EQ(hid_->read(buffer, timeoutMs, got), HidIoStatus::timedOut) << timeoutMs;
        EXPECT_EQ(got, 0u);
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(timeoutMs));
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(timeoutMs) + 2s);
    }
    // The report that comes after a given-up read goes to the next read, whole.
    const Bytes report = {4, 1, 2, 3, 4, 5, 6, 7, 8};
    keyboardSends(report);
    ASSERT_EQ(hid_->read(buffer, 1000, got), HidIoStatus::ok);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got)), report);

    // A report longer than the buffer is cut to it.
    keyboardSends(report);
    Bytes small(4);
    ASSERT_EQ(hid_->read(small, 1000, got), HidIoStatus::ok);
    EXPECT_EQ(small, Bytes(report.begin(), report.begin() + 4));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(hid_->read({}, 1000, got), HidIoStatus::failed);
}

TEST_F(PipeHidTest, WritesGoOutWholeAtTheCollectionsOutputLength) {
    std::size_t sent = 0;
    ASSERT_EQ(hid_->write(Bytes{4, 9, 8, 7, 6}, 1000, sent), HidIoStatus::ok);
    EXPECT_EQ(sent, 5u);
    EXPECT_EQ(keyboardReceives(), (Bytes{4, 9, 8, 7, 6, 0, 0, 0}));
    const Bytes longer(12, 0x55);
    ASSERT_EQ(hid_->write(longer, 1000, sent), HidIoStatus::ok);
    EXPECT_EQ(keyboardReceives(), longer);
    EXPECT_EQ(hid_->write({}, 1000, sent), HidIoStatus::failed);
    EXPECT_EQ(sent, 0u);
}

TEST_F(PipeHidTest, EndlessWaitEndsOnCancelOrUnplug) {
    Bytes buffer(64);
    std::size_t got = 0;
    HidIoStatus status = HidIoStatus::ok;
    std::thread reader([&] { status = hid_->read(buffer, kHidInfiniteTimeout, got); });
    std::this_thread::sleep_for(100ms);
    const auto cancelled = Clock::now();
    hid_->cancel();
    reader.join();
    EXPECT_EQ(status, HidIoStatus::cancelled);
    EXPECT_LT(Clock::now() - cancelled, 1s);
    // The cancelled read is over: a report sent now is the next read's.
    keyboardSends(Bytes{4, 42});
    ASSERT_EQ(hid_->read(buffer, 1000, got), HidIoStatus::ok);
    EXPECT_EQ(buffer[1], 42);

    std::thread unplugged([&] { status = hid_->read(buffer, kHidInfiniteTimeout, got); });
    std::this_thread::sleep_for(100ms);
    keyboard_.reset();
    unplugged.join();
    EXPECT_EQ(status, HidIoStatus::failed);
    EXPECT_EQ(hid_->write(Bytes{4, 1}, 1000, got), HidIoStatus::failed);
}

TEST_F(PipeHidTest, PendingCancelsEachEndOneOperation) {
    hid_->cancel();
    hid_->cancel();
    Bytes buffer(64);
    std::size_t moved = 0;
    keyboardSends(Bytes{4, 1});
    EXPECT_EQ(hid_->read(buffer, 1000, moved), HidIoStatus::cancelled);
    EXPECT_EQ(hid_->write(Bytes{4, 2}, 1000, moved), HidIoStatus::cancelled);
    EXPECT_EQ(keyboardWaiting(), 0u) << "a cancelled write sends nothing";
    // Both cancels are used up: the report sent before them is still there.
    ASSERT_EQ(hid_->read(buffer, 1000, moved), HidIoStatus::ok);
    EXPECT_EQ(buffer[1], 1);
}

TEST(WindowsHidBackendTest, RefusesWhatIsNoHidInterface) {
    WindowsHidBackend backend;
    const std::string missing = "\\\\?\\hid#vid_0c45&pid_5004&col01#9&1&0#{00000000-0000-0000}";
    for (const std::string& path : {std::string(), missing, std::string("C:\\windows")}) {
        EXPECT_EQ(backend.open(path, {true, true}), nullptr) << path;
        EXPECT_EQ(backend.open(path, {}), nullptr) << path;
    }
    EXPECT_FALSE(backend.probe(missing));
    EXPECT_FALSE(backend.probe(""));
}

// Wine lists a virtual mouse and keyboard of its own; Windows whatever is attached.
TEST(WindowsHidBackendTest, ListsAndOpensTheInterfacesPresent) {
    WindowsHidBackend backend;
    const auto paths = backend.enumerate();
    ASSERT_TRUE(paths.has_value());
    std::size_t opened = 0;
    for (const std::string& path : *paths) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(backend.probe(path));
        EXPECT_NE(path.find("vid_"), std::string::npos);
        // Keyboards and mice the OS keeps for itself refuse read access; others open.
        const auto hid = backend.open(path, {true, true});
        if (hid == nullptr) {
            continue;
        }
        ++opened;
        const HidCollectionInfo& collection = hid->collection();
        EXPECT_NE(collection.usagePage, 0);
        ASSERT_GT(collection.inputReportLength, 0);
        // The parser's answers for reports of the collection's length, and none for others.
        const Bytes quiet(collection.inputReportLength, 0);
        EXPECT_TRUE(hid->buttonsSet(quiet).empty());
        EXPECT_TRUE(hid->buttonsSet(Bytes(collection.inputReportLength - 1u, 0xFF)).empty());
        const auto pressed = hid->buttonsSet(Bytes(collection.inputReportLength, 0xFF));
        for (std::size_t i = 0; i < pressed.size(); ++i) {
            EXPECT_NE(pressed[i].page, 0);
            EXPECT_EQ(std::count(pressed.begin(), pressed.end(), pressed[i]), 1);
        }
        // Nothing is typed or moved here: reads end by time or by cancel, and are over.
        Bytes buffer(collection.inputReportLength);
        std::size_t got = 0;
        EXPECT_EQ(hid->read(buffer, 50, got), HidIoStatus::timedOut);
        hid->cancel();
        EXPECT_EQ(hid->read(buffer, kHidInfiniteTimeout, got), HidIoStatus::cancelled);
    }
    if (opened == 0) {
        GTEST_SKIP() << "needs a HID device this user may open; none is listed here";
    }
}

} // namespace
} // namespace velkan::platform
