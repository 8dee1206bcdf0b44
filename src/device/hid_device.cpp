#include "device/hid_device.h"

namespace velkan::device {

using platform::HidIoStatus;

HidDevice::HidDevice(platform::HidBackend& backend) : backend_(backend) {}

HidDevice::~HidDevice() {
    close();
}

bool HidDevice::enumerate() {
    pathList_.clear();
    pathCursor_ = 0;
    auto paths = backend_.enumerate();
    if (!paths) {
        return false;
    }
    pathList_ = std::move(*paths);
    return true;
}

std::optional<std::string> HidDevice::nextPath() {
    if (pathCursor_ >= pathList_.size()) {
        return std::nullopt;
    }
    return pathList_[pathCursor_++];
}

bool HidDevice::open(std::string_view path, platform::HidOpenMode mode) {
    close();
    path_.assign(path);
    auto opened = backend_.open(path_, mode);
    if (!opened) {
        return false;
    }
    attributes_ = opened->attributes();
    collection_ = opened->collection();
    std::lock_guard lock(ioMutex_);
    interface_ = std::move(opened);
    return true;
}

bool HidDevice::close() {
    std::unique_lock lock(ioMutex_);
    if (!interface_) {
        return false;
    }
    // One cancel releases one waiting transfer; a read and a write may both be waiting.
    for (int i = 0; i < pendingIo_; ++i) {
        interface_->cancel();
    }
    ioIdle_.wait(lock, [this] { return pendingIo_ == 0; });
    interface_.reset();
    collection_ = {};
    attributes_ = {};
    return true;
}

void HidDevice::cancel() {
    std::lock_guard lock(ioMutex_);
    if (interface_) {
        interface_->cancel();
    }
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

bool HidDevice::read(std::span<std::uint8_t> buffer, std::size_t* transferred, int timeoutMs) {
    return runIo(transferred, [&](platform::HidInterface& hid, std::size_t& count) {
        return hid.read(buffer, timeoutMs, count);
    });
}

bool HidDevice::write(std::span<const std::uint8_t> report, std::size_t* transferred,
                      int timeoutMs) {
    return runIo(transferred, [&](platform::HidInterface& hid, std::size_t& count) {
        return hid.write(report, timeoutMs, count);
    });
}

std::vector<platform::HidUsage> HidDevice::buttonsSet(std::span<const std::uint8_t> report) const {
    // Reading needs the collection, which lives as long as the interface is open.
    std::lock_guard lock(ioMutex_);
    return interface_ ? interface_->buttonsSet(report) : std::vector<platform::HidUsage>{};
}

} // namespace velkan::device
