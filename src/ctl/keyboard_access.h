// How velkanctl reaches the keyboard: the HID backend (hidraw, or a simulated keyboard that a
// state file keeps between runs), the wire log around it, and the device link on the first
// supported keyboard's command collection with the mirrors its arrival fills. From connect() to
// finish() it holds the keyboard's lock, so a running desktop program never interleaves with it.
#pragma once

#include "ctl/command_line.h"
#include "ctl/wire_log.h"
#include "device/device_link.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "platform/keyboard_lock.h"
#include "protocol/device_mirrors.h"
#include "sim/simulated_keyboard.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velkan::ctl {

// How long connect() waits for another program to finish with the keyboard.
inline constexpr std::chrono::seconds kKeyboardBusyWait{5};

enum class Connection {
    connected,
    noKeyboard,
    busy, // another program kept the keyboard's lock; nothing was sent
};

struct FoundKeyboard {
    std::string path; // of the command collection
    device::KeyboardModel model;
};

class KeyboardAccess {
public:
    // nullptr, after saying why on `err`, when the simulated keyboard's state file cannot be
    // loaded (it is then left as it is) or the wire log cannot be opened.
    static std::unique_ptr<KeyboardAccess> open(const Invocation& invocation, std::ostream& err);

    KeyboardAccess(const KeyboardAccess&) = delete;
    KeyboardAccess& operator=(const KeyboardAccess&) = delete;

    // The command collection of every supported keyboard present; nullopt when the HID
    // devices cannot be listed at all.
    std::optional<std::vector<FoundKeyboard>> findAll();

    // Opens the first supported keyboard's command collection, takes its lock (waiting up to
    // kKeyboardBusyWait), then reads the factory key table and the macro capacity as on every
    // arrival.
    [[nodiscard]] Connection connect(lang::Prompts& prompts, const lang::TextLookup& texts);
    bool connected() const { return connected_; }

    // Whether findAll() or connect() passed over a supported keyboard that this user may not
    // open.
    bool permissionDenied() const { return permissionDenied_; }

    const device::KeyboardModel& model() const { return model_; }
    device::DeviceLink& link() { return link_; }
    protocol::DeviceMirrors& mirrors() { return mirrors_; }

    // Keeps the simulated keyboard's state when this run used it, lets the keyboard go for other
    // programs and checks the wire log; false, after saying why on `err`, when saving or logging
    // failed.
    bool finish(std::ostream& err);

private:
    KeyboardAccess(std::unique_ptr<platform::HidBackend> hardware,
                   std::shared_ptr<sim::SimulatedKeyboard> simulated,
                   std::optional<std::filesystem::path> simState, std::shared_ptr<WireLog> log);

    std::unique_ptr<platform::HidBackend> hardware_;
    std::shared_ptr<sim::SimulatedKeyboard> simulated_;
    std::optional<std::filesystem::path> simState_;
    std::shared_ptr<WireLog> log_;
    std::unique_ptr<WireLoggingBackend> logging_;
    device::DeviceLink link_;
    protocol::DeviceMirrors mirrors_;
    device::KeyboardModel model_ = device::kKeyboard126;
    bool permissionDenied_ = false;
    std::optional<platform::KeyboardLock> lock_;
    bool connected_ = false;
};

} // namespace velkan::ctl
