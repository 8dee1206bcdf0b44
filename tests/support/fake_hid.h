// An opened HID interface that only describes itself: attributes and a collection parsed from
// a descriptor, with every transfer failing. For tests of what is read from the collection.
#pragma once

#include "platform/hid_backend.h"

#include <memory>
#include <span>
#include <vector>

namespace velkan::test {

class DescribedHidInterface : public platform::HidInterface {
public:
    DescribedHidInterface(platform::HidAttributes attributes, platform::HidCollection collection)
        : attributes_(attributes), collection_(std::move(collection)) {}

    // The first collection of the descriptor, or nullptr when it does not parse.
    static std::unique_ptr<platform::HidInterface>
    fromDescriptor(platform::HidAttributes attributes, std::span<const std::uint8_t> descriptor) {
        auto collections = platform::parseReportDescriptor(descriptor);
        if (!collections || collections->empty()) {
            return nullptr;
        }
        return std::make_unique<DescribedHidInterface>(attributes, collections->front());
    }

    const platform::HidAttributes& attributes() const override { return attributes_; }
    const platform::HidCollectionInfo& collection() const override { return collection_.info(); }
    std::vector<platform::HidUsage>
    buttonsSet(std::span<const std::uint8_t> report) const override {
        return collection_.buttonsSet(report);
    }
    platform::HidIoStatus read(std::span<std::uint8_t>, int, std::size_t&) override {
        return platform::HidIoStatus::failed;
    }
    platform::HidIoStatus write(std::span<const std::uint8_t>, int, std::size_t&) override {
        return platform::HidIoStatus::failed;
    }
    void cancel() override {}

private:
    platform::HidAttributes attributes_;
    platform::HidCollection collection_;
};

} // namespace velkan::test
