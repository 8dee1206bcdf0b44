#include "device/hid_device.h"

#include <algorithm>

namespace velkan::device {

using platform::HidIoStatus;
using platform::HidReportType;

namespace {

constexpr HidReportType kReportTypes[] = {HidReportType::input, HidReportType::output,
                                          HidReportType::feature};
constexpr std::size_t kInitialPathCapacity = 8;

std::size_t typeIndex(HidReportType type) {
    return static_cast<std::size_t>(type);
}

std::uint16_t reportByteLength(const platform::HidCaps& caps, HidReportType type) {
    switch (type) {
    case HidReportType::input:
        return caps.inputReportByteLength;
    case HidReportType::output:
        return caps.outputReportByteLength;
    case HidReportType::feature:
        return caps.featureReportByteLength;
    }
    return 0;
}

} // namespace

HidDevice::HidDevice(platform::HidBackend& backend) : backend_(backend) {}

HidDevice::~HidDevice() {
    CloseHid();
}

bool HidDevice::EnumerateHidInterfaces() {
    FreeHidPathList();
    auto paths = backend_.enumerate();
    if (!paths) {
        return false;
    }
    pathList_.reserve(std::max(kInitialPathCapacity, paths->size()));
    for (auto& path : *paths) {
        // A path the path field cannot hold is never handed out.
        if (path.size() <= kMaxHidPathLength) {
            pathList_.push_back(std::move(path));
        }
    }
    return true;
}

std::optional<std::string> HidDevice::NextHidPath() {
    if (pathCursor_ >= pathList_.size()) {
        return std::nullopt;
    }
    return pathList_[pathCursor_++];
}

void HidDevice::FreeHidPathList() {
    pathList_.clear();
    pathList_.shrink_to_fit();
    pathCursor_ = 0;
}

bool HidDevice::OpenHid(std::string_view path, bool wantRead, bool wantWrite, bool overlapped,
                        bool exclusive) {
    CloseHid();
    wantRead_ = wantRead;
    wantWrite_ = wantWrite;
    overlapped_ = overlapped;
    exclusive_ = exclusive;
    if (path.size() > kMaxHidPathLength) {
        path_.clear();
        return false;
    }
    path_.assign(path);

    auto opened =
        backend_.open(path_, {.read = wantRead, .write = wantWrite, .exclusive = exclusive});
    if (!opened) {
        return false;
    }
    attributes_ = opened->attributes();
    caps_ = opened->collection().caps();
    for (HidReportType type : kReportTypes) {
        reportBuffers_[typeIndex(type)].assign(reportByteLength(caps_, type), 0);
    }
    buildDataItems(opened->collection());

    std::lock_guard lock(ioMutex_);
    interface_ = std::move(opened);
    return true;
}

void HidDevice::buildDataItems(const platform::HidCollection& collection) {
    for (HidReportType type : kReportTypes) {
        auto& items = dataItems_[typeIndex(type)];
        items.clear();
        const auto& buttons = collection.buttonCaps(type);
        const auto& values = collection.valueCaps(type);
        std::size_t valueUsages = 0;
        for (const auto& value : values) {
            valueUsages += static_cast<std::size_t>(value.usageMax - value.usageMin) + 1;
        }
        items.reserve(buttons.size() + valueUsages);

        for (const auto& button : buttons) {
            HidDataItem item;
            item.isButtonData = true;
            item.usagePage = button.usagePage;
            item.reportId = button.reportId;
            item.usageMin = button.usageMin;
            item.usageMax = button.usageMax;
            item.maxUsageLength = collection.maxUsageListLength(type, button.usagePage);
            item.usages.assign(item.maxUsageLength, 0);
            items.push_back(std::move(item));
        }
        for (const auto& value : values) {
            for (std::uint32_t usage = value.usageMin; usage <= value.usageMax; ++usage) {
                HidDataItem item;
                item.usagePage = value.usagePage;
                item.reportId = value.reportId;
                item.usage = static_cast<std::uint16_t>(usage);
                items.push_back(std::move(item));
            }
        }
    }
}

bool HidDevice::CloseHid() {
    std::unique_lock lock(ioMutex_);
    if (!interface_) {
        return false;
    }
    // One cancel releases one waiting transfer; a read and a write may both be waiting.
    for (int i = 0; i < pendingIo_; ++i) {
        interface_->cancel();
    }
    ioIdle_.wait(lock, [this] { return pendingIo_ == 0; });
    releaseOpenState();
    return true;
}

void HidDevice::CancelIo() {
    std::lock_guard lock(ioMutex_);
    if (interface_) {
        interface_->cancel();
    }
}

void HidDevice::releaseOpenState() {
    interface_.reset();
    for (HidReportType type : kReportTypes) {
        reportBuffers_[typeIndex(type)] = {};
        dataItems_[typeIndex(type)] = {};
    }
    caps_ = {};
    attributes_ = {};
}

bool HidDevice::isOpen() const {
    std::lock_guard lock(ioMutex_);
    return interface_ != nullptr;
}

platform::HidInterface* HidDevice::beginIo() {
    std::lock_guard lock(ioMutex_);
    if (!interface_) {
        return nullptr;
    }
    ++pendingIo_;
    return interface_.get();
}

void HidDevice::endIo() {
    {
        std::lock_guard lock(ioMutex_);
        --pendingIo_;
    }
    ioIdle_.notify_all();
}

template <typename Transfer> bool HidDevice::runIo(std::size_t* transferred, Transfer transfer) {
    if (transferred) {
        *transferred = 0;
    }
    platform::HidInterface* hid = beginIo();
    if (!hid) {
        return false;
    }
    std::size_t count = 0;
    const bool ok = transfer(*hid, count) == HidIoStatus::ok;
    endIo();
    if (ok && transferred) {
        *transferred = count;
    }
    return ok;
}

bool HidDevice::ReadReport(std::span<std::uint8_t> buffer, std::size_t* transferred,
                           int timeoutMs) {
    return runIo(transferred, [&](platform::HidInterface& hid, std::size_t& count) {
        return hid.read(buffer, timeoutMs, count);
    });
}

bool HidDevice::WriteReport(std::span<const std::uint8_t> report, std::size_t* transferred,
                            int timeoutMs) {
    return runIo(transferred, [&](platform::HidInterface& hid, std::size_t& count) {
        return hid.write(report, timeoutMs, count);
    });
}

bool HidDevice::UnpackInputReport(std::span<const std::uint8_t> report) {
    if (report.empty()) {
        return false;
    }
    // Parsing needs the collection, which lives as long as the interface is open.
    std::lock_guard lock(ioMutex_);
    if (!interface_) {
        return false;
    }
    const platform::HidCollection& collection = interface_->collection();
    const std::uint32_t reportId = report[0];
    for (HidDataItem& item : dataItems_[typeIndex(HidReportType::input)]) {
        if (item.reportId != reportId) {
            continue;
        }
        if (item.isButtonData) {
            std::uint32_t found = 0;
            item.status = collection.getUsages(HidReportType::input, item.usagePage, report,
                                               item.usages, found);
            if (item.status != platform::kHidStatusSuccess &&
                item.status != platform::kHidStatusBufferTooSmall) {
                found = 0;
            }
            // The page may hold other capabilities' usages: keep this item's range only.
            const auto outOfRange = [&item](std::uint16_t usage) {
                return usage < item.usageMin || usage > item.usageMax;
            };
            const auto foundEnd = item.usages.begin() + static_cast<std::ptrdiff_t>(found);
            const auto keptEnd = std::remove_if(item.usages.begin(), foundEnd, outOfRange);
            const auto kept = static_cast<std::size_t>(keptEnd - item.usages.begin());
            if (kept < item.usages.size()) {
                item.usages[kept] = 0;
            }
        } else {
            item.status = collection.getUsageValue(HidReportType::input, item.usagePage, item.usage,
                                                   report, item.value);
            if (item.status != platform::kHidStatusSuccess) {
                return false;
            }
            item.status = collection.getScaledUsageValue(HidReportType::input, item.usagePage,
                                                         item.usage, report, item.scaledValue);
        }
        item.isDataSet = true;
    }
    return true;
}

std::span<std::uint8_t> HidDevice::reportBuffer(HidReportType type) {
    return reportBuffers_[typeIndex(type)];
}

const std::vector<HidDataItem>& HidDevice::dataItems(HidReportType type) const {
    return dataItems_[typeIndex(type)];
}

} // namespace velkan::device
