// The simulated keyboard: an emulation of the firmware of both keyboard models, answering the
// configuration commands from its own memories the way the hardware does on the wire.
//
// Frames: a request is 64 bytes, report id 4, a 16-bit checksum of bytes 3..63 in bytes 1-2,
// command, length and address in bytes 3..6, payload from byte 8 (at most 56 bytes). The reply
// echoes bytes 0..6, carries a status in byte 7 and read data from byte 8. Statuses:
//   kStatusOk         the command was carried out;
//   kStatusRefused    unknown command or bad checksum;
//   kStatusOutOfRange length above 56, or address + length outside the addressed memory.
// A report that is not a 64-byte frame with id 4 is dropped unanswered.
// Writing the device information changes only the active profile (byte 10, taken when it is
// 0..2): the firmware owns its identification, the macro capacity and the mode list.
// The boot-mode request (0xEE, length 0xEE, no checksum) gets no reply: the keyboard drops off
// the bus and stays in boot mode until it is plugged in again.
//
// Faults change how requests are answered; a request that a fault swallows is not carried out.
// Everything here is safe to call from any thread.
#pragma once

#include "sim/sim_memory.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace velkan::sim {

using SimClock = std::chrono::steady_clock;

inline constexpr std::size_t kFrameBytes = 64;
inline constexpr std::size_t kMaxPayload = 56;
inline constexpr std::uint8_t kStatusOk = 0x00;
inline constexpr std::uint8_t kStatusRefused = 0xFF;
inline constexpr std::uint8_t kStatusOutOfRange = 0xFE;

// The keyboard's full-speed interrupt endpoints move at most one report per 1 ms frame in each
// direction; a request and its reply therefore take at least two of them.
inline constexpr std::chrono::microseconds kReportInterval{1000};

// The least time `frames` reports (counted in both directions) can take on the wire.
constexpr std::chrono::microseconds wireMinimum(std::size_t frames) {
    return kReportInterval * static_cast<std::chrono::microseconds::rep>(frames);
}

// Frames kept in the wire log; older ones are dropped.
inline constexpr std::size_t kWireLogCapacity = 65536;

enum class SimCollection : std::uint8_t { bootKeyboard, command, consumer };
enum class WireDirection : std::uint8_t { hostToDevice, deviceToHost };

struct WireFrame {
    WireDirection direction = WireDirection::hostToDevice;
    SimCollection collection = SimCollection::command;
    // When the frame was on the wire: a reply delayed by latency is logged when it is readable.
    SimClock::time_point time;
    std::vector<std::uint8_t> bytes;
};

struct SimFaults {
    bool silent = false; // takes every request, answers none
    // Only every Nth identical copy of a request is answered (and carried out); the copies
    // before it are lost. 0 and 1 answer every request.
    unsigned answerCopy = 0;
    // Every answer carries this status and the request is not carried out.
    std::optional<std::uint8_t> forcedStatus{};
    bool failWrites = false;                 // the host's writes fail; nothing reaches the keyboard
    std::chrono::milliseconds latency{0};    // a reply is readable this long after its request
    std::chrono::milliseconds writeStall{0}; // each host write blocks this long
    // The keyboard drops off the bus right after taking the Nth host frame counted from when
    // the faults were set, before carrying it out. 0: never.
    unsigned removeAfterFrames = 0;
    // From the Nth host frame counted from when the faults were set on, the keyboard takes
    // every request and answers none, as with `silent`. 0: never.
    unsigned silentAfterFrames = 0;
};

enum class SimRegion : std::uint8_t {
    deviceInfo,
    params,
    keyTables,
    defaultKeyTable,
    macros,
    keyColours
};

// The keyboard's side of its USB connection, given by the HID backend it is plugged into.
class SimHostLink {
public:
    virtual ~SimHostLink() = default;
    // An input report on one of the keyboard's interfaces; the host may read it from readyAt.
    virtual void deliverInput(std::size_t interfaceNumber, std::span<const std::uint8_t> report,
                              SimClock::time_point readyAt) = 0;
    // The keyboard has dropped off the bus by itself.
    virtual void dropOff() = 0;
};

class SimulatedKeyboard {
public:
    explicit SimulatedKeyboard(KeyboardModel model, SimKeyboardOptions options = {});

    SimulatedKeyboard(const SimulatedKeyboard&) = delete;
    SimulatedKeyboard& operator=(const SimulatedKeyboard&) = delete;

    const SimModelInfo& info() const { return info_; }

    // --- the USB connection, for the HID backend ---
    // False while another link is still attached.
    bool attach(const std::shared_ptr<SimHostLink>& link);
    void detach(const SimHostLink* link);
    // A host-to-device report on an interface. False when `link` is not the attached one (the
    // keyboard is not on that bus), so the host's write fails.
    bool receiveReport(const SimHostLink* link, std::size_t interfaceNumber,
                       std::span<const std::uint8_t> report, SimClock::time_point arrival);

    // --- the user at the keyboard ---
    // Fn-key lighting change: the active profile's page moves to the next offered mode, then
    // the keyboard reports it.
    void changeLightingOnKeyboard();
    // Restores every memory to its factory content, profile 0 active, then reports it.
    void factoryReset();
    // Sends one event code on the consumer collection, followed by its release.
    void sendEvent(std::uint16_t code);

    void setFaults(const SimFaults& faults);
    SimFaults faults() const;

    // --- inspection for tests ---
    std::uint8_t activeProfile() const;
    bool inBootMode() const;
    unsigned bracketDepth() const;
    std::vector<std::uint8_t> memory(SimRegion region) const;
    // Overwrites bytes of a region; false when they do not fit. Changing the capacity byte of
    // the device information resizes the macro memory.
    bool setMemory(SimRegion region, std::size_t offset, std::span<const std::uint8_t> bytes);
    std::vector<WireFrame> wireLog() const;
    void clearWireLog();

    // Keeps all memories (the active profile with them) across runs. Loading refuses a file of
    // another model, version or shape and leaves the keyboard as it was.
    bool saveState(const std::filesystem::path& path) const;
    bool loadState(const std::filesystem::path& path);

private:
    // Reports decided under the lock, handed to the link after it is released.
    struct Outbox {
        struct Report {
            std::vector<std::uint8_t> bytes;
            SimClock::time_point readyAt;
        };
        std::shared_ptr<SimHostLink> link;
        std::vector<Report> reports;
        bool dropOff = false;
    };

    void handleCommandFrame(std::span<const std::uint8_t> frame, SimClock::time_point arrival,
                            Outbox& out);
    std::uint8_t execute(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply);
    void queueEvent(std::uint16_t code, Outbox& out);
    void emitReport(SimCollection collection, std::vector<std::uint8_t> bytes,
                    SimClock::time_point readyAt, Outbox& out);
    void log(WireDirection direction, SimCollection collection, std::span<const std::uint8_t> bytes,
             SimClock::time_point time);
    void dropOffBus(Outbox& out);
    static void flush(Outbox& out);

    const SimModelInfo& info_;
    const SimKeyboardOptions options_;

    mutable std::mutex mutex_;
    std::weak_ptr<SimHostLink> link_;
    SimMemory memory_;
    SimFaults faults_;
    unsigned framesSinceFaults_ = 0;
    std::vector<std::uint8_t> lastRequest_; // for answerCopy
    unsigned copiesSeen_ = 0;
    unsigned bracketDepth_ = 0;
    bool bootMode_ = false;
    std::deque<WireFrame> wireLog_;
};

} // namespace velkan::sim
