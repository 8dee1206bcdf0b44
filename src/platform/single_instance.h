// One running program per user: a named lock, and an instance channel that carries a window
// message (message, wParam, lParam) to the main window of the running instance. Only processes
// of the same user can reach the channel.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace velkan::platform {

// The named lock of a running instance. A lock left by a process that was killed is free again:
// the next start takes it.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the per-user lock `name`; when a running process holds it, `heldElsewhere()` is
    // true and this object does not own it.
    static InstanceLock acquire(std::string_view name);

    bool heldElsewhere() const { return heldElsewhere_; }
    bool owned() const { return handle_ != kNoHandle; }
    // Lets the lock go (the exit routine's "close the handle").
    void close();

private:
    // The backend's lock: a file descriptor or an OS handle.
    static constexpr std::intptr_t kNoHandle = -1;
    std::intptr_t handle_ = kNoHandle;
    bool heldElsewhere_ = false;
};

struct InstanceMessage {
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;

    friend bool operator==(const InstanceMessage&, const InstanceMessage&) = default;
};

// From velkanctl after it changed the keyboard: read the keyboard back into the window.
inline constexpr InstanceMessage kReadBackRequest{0x5242, 0x4241434B, 0};

// The receiving end, one per process, found by the process id. The handler runs on the
// channel's own thread, once per message; the sender waits until it has returned. Destroying
// the channel waits for a running handler, so it must not happen inside the handler or on a
// thread the handler waits for.
class InstanceChannel {
public:
    using Handler = std::function<void(const InstanceMessage&)>;
    // nullptr when the channel cannot be opened.
    static std::unique_ptr<InstanceChannel> listen(Handler handler);
    virtual ~InstanceChannel() = default;
};

// Sends `message` to the channel of process `processId` and waits (at most a few seconds) until
// it was handled. False when that process has no channel or did not answer.
bool sendToInstance(int processId, const InstanceMessage& message);

enum class InstanceDelivery {
    noneRunning, // no other process of that name runs
    delivered,
    notAnswered, // some run, but none has a channel that handled the message
};

// Sends `message` to the running instance of the program `executableName` ("velkan"): the
// first of the user's processes of that name, other than this one, whose channel handles it.
InstanceDelivery sendToRunningInstance(std::string_view executableName,
                                       const InstanceMessage& message);

// One message as the channel carries it between processes: magic "VLKN", message, wParam,
// lParam, all little-endian; the receiver answers kInstanceAck once it has handled it.
inline constexpr std::size_t kInstanceFrameBytes = 24;
inline constexpr std::uint8_t kInstanceAck = 0x06;
std::array<std::uint8_t, kInstanceFrameBytes> encodeInstanceFrame(const InstanceMessage& message);
std::optional<InstanceMessage> decodeInstanceFrame(std::span<const std::uint8_t> frame);

} // namespace velkan::platform
