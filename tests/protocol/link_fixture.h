// A device link whose command channel is open on a simulated keyboard, with a count of the
// writes the channel attempted (failed writes never reach the keyboard's wire log).
#pragma once

#include "device/device_link.h"
#include "device/keyboard_scan.h"
#include "sim/sim_hid_backend.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace velkan::protocol::test {

// Counts write attempts on every interface it opens.
class CountingBackend : public platform::HidBackend {
public:
    explicit CountingBackend(platform::HidBackend& inner) : inner_(inner) {}

    std::optional<std::vector<std::string>> enumerate() override { return inner_.enumerate(); }
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode mode) override {
        auto opened = inner_.open(path, mode);
        if (!opened) {
            return nullptr;
        }
        return std::make_unique<Counting>(std::move(opened), writes);
    }
    bool probe(const std::string& path) override { return inner_.probe(path); }

    std::atomic<int> writes{0};

private:
    class Counting : public platform::HidInterface {
    public:
        Counting(std::unique_ptr<platform::HidInterface> inner, std::atomic<int>& writes)
            : inner_(std::move(inner)), writes_(writes) {}
        const platform::HidAttributes& attributes() const override { return inner_->attributes(); }
        const platform::HidCollectionInfo& collection() const override {
            return inner_->collection();
        }
        std::vector<platform::HidUsage>
        buttonsSet(std::span<const std::uint8_t> report) const override {
            return inner_->buttonsSet(report);
        }
        platform::HidIoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                                   std::size_t& transferred) override {
            return inner_->read(buffer, timeoutMs, transferred);
        }
        platform::HidIoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                                    std::size_t& transferred) override {
            ++writes_;
            return inner_->write(report, timeoutMs, transferred);
        }
        void cancel() override { inner_->cancel(); }

    private:
        std::unique_ptr<platform::HidInterface> inner_;
        std::atomic<int>& writes_;
    };

    platform::HidBackend& inner_;
};

struct LinkFixture : testing::Test {
    // Plugs a keyboard of the model and opens the command channel on it, as the presence
    // monitor does when it recognises the keyboard.
    void connect(sim::KeyboardModel model = sim::KeyboardModel::keys126,
                 sim::SimKeyboardOptions options = {}) {
        keyboard = std::make_shared<sim::SimulatedKeyboard>(model, std::move(options));
        ASSERT_TRUE(simBackend.plug(keyboard));
        ASSERT_TRUE(link.commandChannel.enumerate());
        ASSERT_TRUE(
            device::scanForKeyboardCollection(link.commandChannel, device::kCommandCollection));
        link.setModel(*device::keyboardModelFor(link.commandChannel.vendorId(),
                                                link.commandChannel.productId()));
        link.devicePresent = true;
        keyboard->clearWireLog();
    }

    // Frames the host sent on the command collection since the last clear.
    std::vector<std::vector<std::uint8_t>> sentFrames() const {
        std::vector<std::vector<std::uint8_t>> frames;
        for (const auto& frame : keyboard->wireLog()) {
            if (frame.direction == sim::WireDirection::hostToDevice &&
                frame.collection == sim::SimCollection::command) {
                frames.push_back(frame.bytes);
            }
        }
        return frames;
    }

    sim::SimHidBackend simBackend;
    CountingBackend backend{simBackend};
    device::DeviceLink link{backend};
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
};

} // namespace velkan::protocol::test
