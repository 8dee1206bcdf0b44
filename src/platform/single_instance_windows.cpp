#include "platform/single_instance.h"
#include "platform/support_windows.h"

#include <array>
#include <chrono>
#include <sddl.h>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace velkan::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kSendTimeout = std::chrono::seconds(5);
// A sender that connects and then stalls holds up the ones behind it for at most this long.
constexpr auto kFrameTimeout = std::chrono::seconds(1);
constexpr DWORD kAcceptErrorPauseMs = 100;
constexpr DWORD kPipeBufferBytes = 64;
// Kernel object names end at MAX_PATH; this leaves room for a namespace prefix.
constexpr std::size_t kMaxLockNameUnits = 200;

// The user's SID in the name keeps users apart; the pipe's access list enforces it.
std::wstring pipeName(const std::wstring& userSid, DWORD processId) {
    return L"\\\\.\\pipe\\velkan-" + userSid + L"-" + std::to_wstring(processId);
}

DWORD millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<DWORD>(left.count());
}

// Moves all of `bytes` through an overlapped pipe. False when the other end closes, the
// deadline passes or `stop` (may be null) fires first; a transfer given up on is cancelled and
// over before this returns.
bool transferAll(HANDLE pipe, bool write, std::span<std::uint8_t> bytes, HANDLE event, HANDLE stop,
                 Clock::time_point deadline) {
    while (!bytes.empty()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        ::ResetEvent(event);
        const auto length = static_cast<DWORD>(bytes.size());
        const BOOL started = write ? ::WriteFile(pipe, bytes.data(), length, nullptr, &overlapped)
                                   : ::ReadFile(pipe, bytes.data(), length, nullptr, &overlapped);
        if (!started && ::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        const HANDLE waits[] = {event, stop};
        const DWORD waited = ::WaitForMultipleObjects(stop != nullptr ? 2 : 1, waits, FALSE,
                                                      millisecondsUntil(deadline));
        if (waited != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe, &overlapped);
        }
        DWORD moved = 0;
        if (!::GetOverlappedResult(pipe, &overlapped, &moved, TRUE) || moved == 0 ||
            waited != WAIT_OBJECT_0) {
            return false;
        }
        bytes = bytes.subspan(moved);
    }
    return true;
}

class PipeInstanceChannel final : public InstanceChannel {
public:
    explicit PipeInstanceChannel(Handler handler) : handler_(std::move(handler)) {}
    PipeInstanceChannel(const PipeInstanceChannel&) = delete;
    PipeInstanceChannel& operator=(const PipeInstanceChannel&) = delete;

    ~PipeInstanceChannel() override {
        if (thread_.joinable()) {
            ::SetEvent(stop_.get());
            thread_.join();
        }
        ::LocalFree(security_);
    }

    // Whatever this opened before a failure is released by the destructor.
    bool open() {
        const auto sid = currentUserSid();
        if (!sid) {
            return false;
        }
        userSid_ = *sid;
        name_ = pipeName(userSid_, ::GetCurrentProcessId());
        // Protected access list: this user alone, whatever the folder of pipes would grant.
        const std::wstring descriptor = L"D:P(A;;GA;;;" + userSid_ + L")";
        stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!stop_.valid() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                  descriptor.c_str(), SDDL_REVISION_1, &security_, nullptr)) {
            return false;
        }
        // The first instance claims the name: a pipe of that name made by anyone else first
        // makes the channel fail instead of sharing it.
        listening_ = createInstance(true);
        if (!listening_.valid()) {
            return false;
        }
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

private:
    UniqueHandle createInstance(bool first) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, security_, FALSE};
        const DWORD open =
            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        return UniqueHandle(::CreateNamedPipeW(
            name_.c_str(), open,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes, 0, &attributes));
    }

    void run() {
        const UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event.valid()) {
            return;
        }
        for (;;) {
            if (!listening_.valid()) {
                listening_ = createInstance(false);
                if (!listening_.valid()) {
                    // Out of handles or memory: pause instead of spinning, but keep
                    // listening for the stop request.
                    if (::WaitForSingleObject(stop_.get(), kAcceptErrorPauseMs) == WAIT_OBJECT_0) {
                        return;
                    }
                    continue;
                }
            }
            OVERLAPPED overlapped{};
            overlapped.hEvent = event.get();
            ::ResetEvent(event.get());
            bool connected = ::ConnectNamedPipe(listening_.get(), &overlapped) != FALSE;
            const DWORD error = ::GetLastError();
            connected = connected || error == ERROR_PIPE_CONNECTED;
            if (!connected && error == ERROR_IO_PENDING) {
                const HANDLE waits[] = {stop_.get(), event.get()};
                const DWORD waited = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
                DWORD ignored = 0;
                if (waited != WAIT_OBJECT_0 + 1) {
                    ::CancelIoEx(listening_.get(), &overlapped);
                    ::GetOverlappedResult(listening_.get(), &overlapped, &ignored, TRUE);
                    return;
                }
                connected = ::GetOverlappedResult(listening_.get(), &overlapped, &ignored, FALSE);
            }
            const UniqueHandle client = std::move(listening_);
            // The next instance waits before this one is served, so that a sender never finds
            // the name gone.
            listening_ = createInstance(false);
            if (connected) {
                serve(client.get(), event.get());
            }
            ::DisconnectNamedPipe(client.get());
        }
    }

    void serve(HANDLE pipe, HANDLE event) {
        ULONG clientId = 0;
        if (!::GetNamedPipeClientProcessId(pipe, &clientId) ||
            processUserSid(clientId) != userSid_) {
            return;
        }
        std::array<std::uint8_t, kInstanceFrameBytes> frame{};
        if (!transferAll(pipe, false, frame, event, stop_.get(), Clock::now() + kFrameTimeout)) {
            return;
        }
        const auto message = decodeInstanceFrame(frame);
        if (!message) {
            return;
        }
        handler_(*message);
        std::array<std::uint8_t, 1> ack{kInstanceAck};
        if (!transferAll(pipe, true, ack, event, stop_.get(), Clock::now() + kFrameTimeout)) {
            return;
        }
        // Disconnecting drops what the sender has not read yet: wait until it hangs up.
        std::array<std::uint8_t, 1> rest{};
        transferAll(pipe, false, rest, event, stop_.get(), Clock::now() + kFrameTimeout);
    }

    Handler handler_;
    std::wstring userSid_;
    std::wstring name_;
    PSECURITY_DESCRIPTOR security_ = nullptr;
    UniqueHandle stop_;
    UniqueHandle listening_;
    std::thread thread_;
};

} // namespace

InstanceLock InstanceLock::acquire(std::string_view name) {
    InstanceLock lock;
    // A backslash would name another namespace.
    if (name.empty() || name.size() > kMaxLockNameUnits ||
        name.find_first_of(std::string_view("\\\0", 2)) != std::string_view::npos) {
        return lock;
    }
    UniqueHandle mutex;
    switch (acquireNamedMutex(widen(name), std::chrono::milliseconds::zero(), mutex)) {
    case MutexWait::acquired:
        lock.handle_ = valueOf(mutex.release());
        break;
    case MutexWait::heldElsewhere:
        lock.heldElsewhere_ = true;
        break;
    case MutexWait::failed:
        break;
    }
    return lock;
}

void InstanceLock::close() {
    if (handle_ != kNoHandle) {
        UniqueHandle mutex(handleOf(std::exchange(handle_, kNoHandle)));
        releaseNamedMutex(mutex);
    }
}

std::unique_ptr<InstanceChannel> InstanceChannel::listen(Handler handler) {
    if (!handler) {
        return nullptr;
    }
    auto channel = std::make_unique<PipeInstanceChannel>(std::move(handler));
    if (!channel->open()) {
        return nullptr;
    }
    return channel;
}

bool sendToInstance(int processId, const InstanceMessage& message) {
    const auto sid = currentUserSid();
    if (processId <= 0 || !sid) {
        return false;
    }
    const std::wstring name = pipeName(*sid, static_cast<DWORD>(processId));
    const auto deadline = Clock::now() + kSendTimeout;
    UniqueHandle pipe;
    for (;;) {
        // The receiver may identify this process but never act as it.
        pipe.reset(::CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe.valid()) {
            break;
        }
        // No pipe of that name: the process has no channel, which a wait does not change.
        if (::GetLastError() != ERROR_PIPE_BUSY || Clock::now() >= deadline) {
            return false;
        }
        ::WaitNamedPipeW(name.c_str(), std::max<DWORD>(millisecondsUntil(deadline), 1));
    }
    ULONG serverId = 0;
    const UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.valid() || !::GetNamedPipeServerProcessId(pipe.get(), &serverId) ||
        processUserSid(serverId) != sid) {
        return false;
    }
    auto frame = encodeInstanceFrame(message);
    std::array<std::uint8_t, 1> ack{};
    return transferAll(pipe.get(), true, frame, event.get(), nullptr, deadline) &&
           transferAll(pipe.get(), false, ack, event.get(), nullptr, deadline) &&
           ack[0] == kInstanceAck;
}

} // namespace velkan::platform
