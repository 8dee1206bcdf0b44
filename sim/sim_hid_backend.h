// The HID backend that serves simulated keyboards: each plugged keyboard shows its interfaces
// under node names "sim/kbd<N>/if<i>" (N counts plugs of this backend), one path per top-level
// collection, its usage and report lengths read from the keyboard's own report descriptors.
//
// Like hidraw, every open interface has its own input queue of kSimInputQueueDepth reports
// (the oldest is dropped when it is full) and sees only the reports of its own collection.
// Reading and writing need the matching access of the open mode, as on hidraw. Unplugging fails
// blocked and later I/O on the keyboard's open interfaces at once; open interfaces stay dead when
// the keyboard is plugged in again, which gives it new paths.
#pragma once

#include "platform/hid_backend.h"
#include "sim/simulated_keyboard.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkan::sim {

inline constexpr std::size_t kSimInputQueueDepth = 64;

class SimRegistry;

class SimHidBackend final : public platform::HidBackend {
public:
    SimHidBackend();
    // Unplugs every keyboard still plugged in, so they can be plugged in elsewhere.
    ~SimHidBackend() override;

    SimHidBackend(const SimHidBackend&) = delete;
    SimHidBackend& operator=(const SimHidBackend&) = delete;

    // False when the keyboard is already plugged in (here or into another backend) or its
    // descriptors cannot be parsed.
    bool plug(std::shared_ptr<SimulatedKeyboard> keyboard);
    // False when it was not plugged in here.
    bool unplug(const std::shared_ptr<SimulatedKeyboard>& keyboard);
    // Whether the keyboard is plugged in here now (it drops off by itself in boot mode).
    bool plugged(const std::shared_ptr<SimulatedKeyboard>& keyboard) const;

    std::optional<std::vector<std::string>> enumerate() override;
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode mode) override;
    bool probe(const std::string& path) override;

private:
    std::shared_ptr<SimRegistry> registry_;
};

} // namespace velkan::sim
