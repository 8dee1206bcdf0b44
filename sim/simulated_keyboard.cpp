#include "sim/simulated_keyboard.h"

#include "platform/little_endian.h"
#include "sim/sim_descriptors.h"
#include "sim/sim_state_file.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace velkan::sim {

using platform::loadLe16;
using platform::rangeFits;

namespace {

constexpr std::size_t kChecksumOffset = 1;
constexpr std::size_t kCommandOffset = 3;
constexpr std::size_t kLengthOffset = 4;
constexpr std::size_t kAddressOffset = 5;
constexpr std::size_t kStatusOffset = 7;
constexpr std::size_t kPayloadOffset = 8;

constexpr std::uint8_t kCmdBegin = 0x01;
constexpr std::uint8_t kCmdEnd = 0x02;
constexpr std::uint8_t kCmdBootMode = 0xEE;
constexpr std::uint8_t kBootModeLength = 0xEE;

constexpr std::uint16_t kEventLightingChanged = 0x0401;
constexpr std::uint16_t kEventReset = 0x0402;

constexpr unsigned kMaxBracketDepth = 255;

struct RegionCommand {
    std::uint8_t command;
    SimRegion region;
    bool write;
};

constexpr RegionCommand kRegionCommands[] = {
    {0x03, SimRegion::deviceInfo, false},      {0x04, SimRegion::deviceInfo, true},
    {0x05, SimRegion::params, false},          {0x06, SimRegion::params, true},
    {0x07, SimRegion::keyTables, false},       {0x08, SimRegion::keyTables, true},
    {0x09, SimRegion::macros, false},          {0x0A, SimRegion::macros, true},
    {0x0F, SimRegion::defaultKeyTable, false}, {0x11, SimRegion::keyColours, true},
};

std::uint16_t frameChecksum(std::span<const std::uint8_t> frame) {
    unsigned sum = 0;
    for (std::size_t i = kCommandOffset; i < frame.size(); ++i) {
        sum += frame[i];
    }
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

template <typename Memory> auto regionOf(Memory& memory, SimRegion which) {
    using Byte = std::conditional_t<std::is_const_v<Memory>, const std::uint8_t, std::uint8_t>;
    switch (which) {
    case SimRegion::deviceInfo:
        return std::span<Byte>(memory.deviceInfo);
    case SimRegion::params:
        return std::span<Byte>(memory.params);
    case SimRegion::keyTables:
        return std::span<Byte>(memory.keyTables);
    case SimRegion::defaultKeyTable:
        return std::span<Byte>(memory.defaultKeyTable);
    case SimRegion::macros:
        return std::span<Byte>(memory.macros);
    case SimRegion::keyColours:
        return std::span<Byte>(memory.keyColours);
    }
    return std::span<Byte>();
}

} // namespace

SimulatedKeyboard::SimulatedKeyboard(KeyboardModel model, SimKeyboardOptions options)
    : info_(modelInfo(model)), options_(std::move(options)),
      memory_(makeFactoryMemory(info_, options_)) {}

bool SimulatedKeyboard::attach(const std::shared_ptr<SimHostLink>& link) {
    std::lock_guard lock(mutex_);
    if (!link || link_.lock()) {
        return false;
    }
    link_ = link;
    // Powered up again: whatever the firmware was doing is forgotten.
    bootMode_ = false;
    bracketDepth_ = 0;
    return true;
}

void SimulatedKeyboard::detach(const SimHostLink* link) {
    std::lock_guard lock(mutex_);
    if (link_.lock().get() == link) {
        link_.reset();
    }
}

bool SimulatedKeyboard::receiveReport(const SimHostLink* link, std::size_t interfaceNumber,
                                      std::span<const std::uint8_t> report,
                                      SimClock::time_point arrival) {
    Outbox out;
    {
        std::lock_guard lock(mutex_);
        out.link = link_.lock();
        if (!out.link || out.link.get() != link) {
            return false;
        }
        if (interfaceNumber != kVendorInterface) {
            // Keyboard LED state: nothing of the configuration depends on it.
            log(WireDirection::hostToDevice, SimCollection::bootKeyboard, report, arrival);
            return true;
        }
        log(WireDirection::hostToDevice, SimCollection::command, report, arrival);
        ++framesSinceFaults_;
        if (faults_.removeAfterFrames != 0 && framesSinceFaults_ == faults_.removeAfterFrames) {
            dropOffBus(out);
        } else {
            handleCommandFrame(report, arrival, out);
        }
    }
    flush(out);
    return true;
}

void SimulatedKeyboard::handleCommandFrame(std::span<const std::uint8_t> frame,
                                           SimClock::time_point arrival, Outbox& out) {
    if (frame.size() != kFrameBytes || frame[0] != kCommandReportId) {
        return;
    }
    if (frame[kCommandOffset] == kCmdBootMode && frame[kLengthOffset] == kBootModeLength) {
        bootMode_ = true;
        dropOffBus(out);
        return;
    }
    if (faults_.silent ||
        (faults_.silentAfterFrames != 0 && framesSinceFaults_ >= faults_.silentAfterFrames)) {
        return;
    }
    if (faults_.answerCopy > 1) {
        if (std::equal(frame.begin(), frame.end(), lastRequest_.begin(), lastRequest_.end())) {
            ++copiesSeen_;
        } else {
            lastRequest_.assign(frame.begin(), frame.end());
            copiesSeen_ = 1;
        }
        if (copiesSeen_ < faults_.answerCopy) {
            return;
        }
        lastRequest_.clear();
        copiesSeen_ = 0;
    }
    std::vector<std::uint8_t> reply(kFrameBytes, 0);
    std::copy_n(frame.begin(), kStatusOffset, reply.begin());
    reply[kStatusOffset] = faults_.forcedStatus ? *faults_.forcedStatus : execute(frame, reply);
    emitReport(SimCollection::command, std::move(reply), arrival + faults_.latency, out);
}

std::uint8_t SimulatedKeyboard::execute(std::span<const std::uint8_t> frame,
                                        std::span<std::uint8_t> reply) {
    if (loadLe16(frame, kChecksumOffset) != frameChecksum(frame)) {
        return kStatusRefused;
    }
    const std::uint8_t command = frame[kCommandOffset];
    if (command == kCmdBegin) {
        bracketDepth_ = std::min(bracketDepth_ + 1, kMaxBracketDepth);
        return kStatusOk;
    }
    if (command == kCmdEnd) {
        // An end without a begin is harmless; the host closes what it opened.
        bracketDepth_ = bracketDepth_ > 0 ? bracketDepth_ - 1 : 0;
        return kStatusOk;
    }
    const auto* found =
        std::find_if(std::begin(kRegionCommands), std::end(kRegionCommands),
                     [command](const RegionCommand& entry) { return entry.command == command; });
    if (found == std::end(kRegionCommands)) {
        return kStatusRefused;
    }
    const std::size_t length = frame[kLengthOffset];
    const std::size_t address = loadLe16(frame, kAddressOffset);
    const std::span<std::uint8_t> target = regionOf(memory_, found->region);
    if (length > kMaxPayload || !rangeFits(target.size(), address, length)) {
        return kStatusOutOfRange;
    }
    const auto payload = frame.subspan(kPayloadOffset, length);
    if (!found->write) {
        std::copy_n(target.begin() + static_cast<std::ptrdiff_t>(address), length,
                    reply.begin() + kPayloadOffset);
    } else if (found->region != SimRegion::deviceInfo) {
        std::copy(payload.begin(), payload.end(),
                  target.begin() + static_cast<std::ptrdiff_t>(address));
    } else if (address <= kActiveProfileOffset && kActiveProfileOffset < address + length &&
               payload[kActiveProfileOffset - address] < kProfileCount) {
        memory_.deviceInfo[kActiveProfileOffset] = payload[kActiveProfileOffset - address];
    }
    return kStatusOk;
}

void SimulatedKeyboard::changeLightingOnKeyboard() {
    Outbox out;
    {
        std::lock_guard lock(mutex_);
        const auto modes = std::span(memory_.deviceInfo).subspan(kModeListOffset);
        const auto end = std::find(modes.begin(), modes.end(), std::uint8_t{0});
        if (modes.begin() != end) {
            const std::size_t page =
                std::size_t{memory_.deviceInfo[kActiveProfileOffset]} * kLightingPageBytes;
            std::uint8_t& mode = memory_.params[page];
            auto current = std::find(modes.begin(), end, mode);
            mode = (current == end || current + 1 == end) ? *modes.begin() : *(current + 1);
        }
        out.link = link_.lock();
        queueEvent(kEventLightingChanged, out);
    }
    flush(out);
}

void SimulatedKeyboard::factoryReset() {
    Outbox out;
    {
        std::lock_guard lock(mutex_);
        memory_ = makeFactoryMemory(info_, options_);
        bracketDepth_ = 0;
        out.link = link_.lock();
        queueEvent(kEventReset, out);
    }
    flush(out);
}

void SimulatedKeyboard::sendEvent(std::uint16_t code) {
    Outbox out;
    {
        std::lock_guard lock(mutex_);
        out.link = link_.lock();
        queueEvent(code, out);
    }
    flush(out);
}

void SimulatedKeyboard::queueEvent(std::uint16_t code, Outbox& out) {
    if (!out.link) {
        return; // off the bus: nobody hears it
    }
    const auto now = SimClock::now();
    emitReport(SimCollection::consumer,
               {kConsumerReportId, static_cast<std::uint8_t>(code & 0xFF),
                static_cast<std::uint8_t>(code >> 8)},
               now, out);
    emitReport(SimCollection::consumer, {kConsumerReportId, 0, 0}, now, out);
}

void SimulatedKeyboard::emitReport(SimCollection collection, std::vector<std::uint8_t> bytes,
                                   SimClock::time_point readyAt, Outbox& out) {
    log(WireDirection::deviceToHost, collection, bytes, readyAt);
    out.reports.push_back({std::move(bytes), readyAt});
}

void SimulatedKeyboard::log(WireDirection direction, SimCollection collection,
                            std::span<const std::uint8_t> bytes, SimClock::time_point time) {
    if (wireLog_.size() == kWireLogCapacity) {
        wireLog_.pop_front();
    }
    wireLog_.push_back({direction, collection, time, {bytes.begin(), bytes.end()}});
}

void SimulatedKeyboard::dropOffBus(Outbox& out) {
    out.dropOff = true;
    link_.reset();
}

void SimulatedKeyboard::flush(Outbox& out) {
    if (!out.link) {
        return;
    }
    for (const auto& report : out.reports) {
        out.link->deliverInput(kVendorInterface, report.bytes, report.readyAt);
    }
    if (out.dropOff) {
        out.link->dropOff();
    }
}

void SimulatedKeyboard::setFaults(const SimFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    framesSinceFaults_ = 0;
    lastRequest_.clear();
    copiesSeen_ = 0;
}

SimFaults SimulatedKeyboard::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

std::uint8_t SimulatedKeyboard::activeProfile() const {
    std::lock_guard lock(mutex_);
    return memory_.deviceInfo[kActiveProfileOffset];
}

bool SimulatedKeyboard::inBootMode() const {
    std::lock_guard lock(mutex_);
    return bootMode_;
}

unsigned SimulatedKeyboard::bracketDepth() const {
    std::lock_guard lock(mutex_);
    return bracketDepth_;
}

std::vector<std::uint8_t> SimulatedKeyboard::memory(SimRegion which) const {
    std::lock_guard lock(mutex_);
    const auto bytes = regionOf(memory_, which);
    return {bytes.begin(), bytes.end()};
}

bool SimulatedKeyboard::setMemory(SimRegion which, std::size_t offset,
                                  std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    const auto target = regionOf(memory_, which);
    if (!rangeFits(target.size(), offset, bytes.size())) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), target.begin() + static_cast<std::ptrdiff_t>(offset));
    if (which == SimRegion::deviceInfo) {
        memory_.macros.resize(std::size_t{memory_.deviceInfo[kMacroUnitsOffset]} * kMacroUnitBytes,
                              0);
    }
    return true;
}

std::vector<WireFrame> SimulatedKeyboard::wireLog() const {
    std::lock_guard lock(mutex_);
    return {wireLog_.begin(), wireLog_.end()};
}

void SimulatedKeyboard::clearWireLog() {
    std::lock_guard lock(mutex_);
    wireLog_.clear();
}

bool SimulatedKeyboard::saveState(const std::filesystem::path& path) const {
    SimMemory copy;
    {
        std::lock_guard lock(mutex_);
        copy = memory_;
    }
    return writeStateFile(path, info_.model, copy);
}

bool SimulatedKeyboard::loadState(const std::filesystem::path& path) {
    auto loaded = readStateFile(path, info_.model);
    if (!loaded) {
        return false;
    }
    std::lock_guard lock(mutex_);
    memory_ = std::move(*loaded);
    return true;
}

} // namespace velkan::sim
