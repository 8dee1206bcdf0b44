// A simulated keyboard plugged into its own backend, with its command and consumer collections
// open, and a request builder that checksums frames independently of the program's framing.
#pragma once

#include "sim/sim_hid_backend.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace velkan::sim::test {

using Frame = std::array<std::uint8_t, 64>;

inline Frame makeFrame(std::uint8_t command, std::uint8_t length, std::uint16_t address,
                       std::span<const std::uint8_t> payload = {}) {
    Frame frame{};
    frame[0] = 4;
    frame[3] = command;
    frame[4] = length;
    frame[5] = static_cast<std::uint8_t>(address & 0xFF);
    frame[6] = static_cast<std::uint8_t>(address >> 8);
    for (std::size_t i = 0; i < payload.size() && i < 56; ++i) {
        frame[8 + i] = payload[i];
    }
    unsigned sum = 0;
    for (std::size_t i = 3; i < frame.size(); ++i) {
        sum += frame[i];
    }
    frame[1] = static_cast<std::uint8_t>(sum & 0xFF);
    frame[2] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    return frame;
}

inline std::unique_ptr<platform::HidInterface>
openByUsage(platform::HidBackend& backend, std::uint16_t usagePage, platform::HidOpenMode mode) {
    for (const auto& path : backend.enumerate().value_or(std::vector<std::string>{})) {
        auto hid = backend.open(path, mode);
        if (hid && hid->collection().usagePage == usagePage) {
            return hid;
        }
    }
    return nullptr;
}

struct PluggedKeyboard {
    explicit PluggedKeyboard(KeyboardModel model = KeyboardModel::keys126,
                             SimKeyboardOptions options = {})
        : keyboard(std::make_shared<SimulatedKeyboard>(model, std::move(options))) {
        EXPECT_TRUE(backend.plug(keyboard));
        command = openByUsage(backend, 0xFF1C, {.read = true, .write = true});
        consumer = openByUsage(backend, 0x000C, {.read = true});
        EXPECT_TRUE(command && consumer);
    }

    platform::HidIoStatus send(const Frame& request, int timeoutMs = 1000) {
        std::size_t written = 0;
        return command->write(request, timeoutMs, written);
    }

    std::optional<Frame> readReply(int timeoutMs = 300) {
        Frame reply{};
        std::size_t got = 0;
        if (command->read(reply, timeoutMs, got) != platform::HidIoStatus::ok || got != 64) {
            return std::nullopt;
        }
        return reply;
    }

    std::optional<Frame> transact(const Frame& request, int replyTimeoutMs = 300) {
        if (send(request) != platform::HidIoStatus::ok) {
            return std::nullopt;
        }
        return readReply(replyTimeoutMs);
    }

    SimHidBackend backend;
    std::shared_ptr<SimulatedKeyboard> keyboard;
    std::unique_ptr<platform::HidInterface> command;
    std::unique_ptr<platform::HidInterface> consumer;
};

} // namespace velkan::sim::test
