#include "ctl/wire_log.h"

#include "device/keyboard_scan.h"

#include <algorithm>
#include <utility>

namespace velkan::ctl {

namespace {

class WireLoggingInterface final : public platform::HidInterface {
public:
    WireLoggingInterface(std::unique_ptr<platform::HidInterface> inner,
                         std::shared_ptr<WireLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    const platform::HidAttributes& attributes() const override { return inner_->attributes(); }
    const platform::HidCollectionInfo& collection() const override { return inner_->collection(); }
    std::vector<platform::HidUsage>
    buttonsSet(std::span<const std::uint8_t> report) const override {
        return inner_->buttonsSet(report);
    }

    platform::HidIoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                               std::size_t& transferred) override {
        const auto status = inner_->read(buffer, timeoutMs, transferred);
        if (status == platform::HidIoStatus::ok) {
            log_->record(WireDirection::fromKeyboard,
                         buffer.first(std::min(transferred, buffer.size())));
        }
        return status;
    }

    platform::HidIoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                                std::size_t& transferred) override {
        const auto status = inner_->write(report, timeoutMs, transferred);
        if (status == platform::HidIoStatus::ok) {
            log_->record(WireDirection::toKeyboard, report);
        }
        return status;
    }

    void cancel() override { inner_->cancel(); }

private:
    std::unique_ptr<platform::HidInterface> inner_;
    std::shared_ptr<WireLog> log_;
};

bool isCommandCollection(const platform::HidInterface& hid) {
    const auto& collection = hid.collection();
    return collection.usagePage == device::kCommandCollection.usagePage &&
           collection.usage == device::kCommandCollection.usage;
}

} // namespace

std::string formatWireLine(WireDirection direction, std::span<const std::uint8_t> report) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string line = direction == WireDirection::toKeyboard ? ">" : "<";
    line.reserve(2 + 3 * report.size());
    for (const std::uint8_t byte : report) {
        line += ' ';
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0x0F];
    }
    return line;
}

std::shared_ptr<WireLog> WireLog::open(const std::filesystem::path& file) {
    std::ofstream stream(file, std::ios::out | std::ios::app);
    if (!stream.is_open()) {
        return nullptr;
    }
    return std::shared_ptr<WireLog>(new WireLog(std::move(stream)));
}

void WireLog::record(WireDirection direction, std::span<const std::uint8_t> report) {
    const std::string line = formatWireLine(direction, report);
    std::lock_guard lock(mutex_);
    // Flushed line by line: the log is most wanted when a run ends badly.
    stream_ << line << '\n' << std::flush;
}

bool WireLog::intact() const {
    std::lock_guard lock(mutex_);
    return stream_.good();
}

WireLoggingBackend::WireLoggingBackend(platform::HidBackend& inner, std::shared_ptr<WireLog> log)
    : inner_(inner), log_(std::move(log)) {}

std::optional<std::vector<std::string>> WireLoggingBackend::enumerate() {
    return inner_.enumerate();
}

std::unique_ptr<platform::HidInterface> WireLoggingBackend::open(const std::string& path,
                                                                 platform::HidOpenMode mode) {
    auto hid = inner_.open(path, mode);
    if (!hid || !isCommandCollection(*hid)) {
        return hid;
    }
    return std::make_unique<WireLoggingInterface>(std::move(hid), log_);
}

bool WireLoggingBackend::probe(const std::string& path) {
    return inner_.probe(path);
}

bool WireLoggingBackend::permissionDenied(const std::string& path) const {
    return inner_.permissionDenied(path);
}

} // namespace velkan::ctl
