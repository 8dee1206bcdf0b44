#include "sim/sim_hid_backend.h"

#include "platform/hid_descriptor.h"
#include "sim/sim_descriptors.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace velkan::sim {

using platform::HidIoStatus;

namespace {

struct QueuedReport {
    std::vector<std::uint8_t> bytes;
    SimClock::time_point readyAt;
};

// What one open interface shares with the connection that feeds it.
struct InterfaceChannel {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QueuedReport> queue;
    bool gone = false;
    bool cancelSignal = false; // an auto-reset event: one signal ends one wait
};

bool takeCancel(InterfaceChannel& channel) {
    return std::exchange(channel.cancelSignal, false);
}

struct CollectionEntry {
    std::string path;
    std::size_t interfaceNumber = 0;
    platform::HidCollection collection;
};

} // namespace

class SimConnection;

class SimRegistry {
public:
    std::mutex mutex;
    std::vector<std::shared_ptr<SimConnection>> connections;
    unsigned nextNumber = 0;

    // nullptr when the connection was not plugged in (any more).
    std::shared_ptr<SimConnection> remove(const SimConnection* connection) {
        std::lock_guard lock(mutex);
        const auto found =
            std::find_if(connections.begin(), connections.end(),
                         [connection](const auto& c) { return c.get() == connection; });
        if (found == connections.end()) {
            return nullptr;
        }
        auto taken = std::move(*found);
        connections.erase(found);
        return taken;
    }
};

// One keyboard plugged into one backend, from plug to unplug.
class SimConnection final : public SimHostLink {
public:
    SimConnection(std::shared_ptr<SimulatedKeyboard> keyboard, std::weak_ptr<SimRegistry> registry,
                  std::vector<CollectionEntry> entries)
        : keyboard_(std::move(keyboard)), registry_(std::move(registry)),
          entries_(std::move(entries)) {}

    const std::shared_ptr<SimulatedKeyboard>& keyboard() const { return keyboard_; }
    const std::vector<CollectionEntry>& entries() const { return entries_; }

    // nullptr once the keyboard is gone.
    std::shared_ptr<InterfaceChannel> openChannel(std::size_t entry) {
        std::lock_guard lock(mutex_);
        if (!alive_) {
            return nullptr;
        }
        std::erase_if(channels_, [](const auto& open) { return open.second.expired(); });
        auto channel = std::make_shared<InterfaceChannel>();
        channels_.emplace_back(entry, channel);
        return channel;
    }

    void deliverInput(std::size_t interfaceNumber, std::span<const std::uint8_t> report,
                      SimClock::time_point readyAt) override {
        if (report.empty()) {
            return;
        }
        std::lock_guard lock(mutex_);
        for (const auto& [entry, weak] : channels_) {
            const auto channel = weak.lock();
            const CollectionEntry& target = entries_[entry];
            if (!channel || target.interfaceNumber != interfaceNumber ||
                !target.collection.ownsInputReportId(report[0])) {
                continue;
            }
            std::lock_guard channelLock(channel->mutex);
            if (channel->queue.size() == kSimInputQueueDepth) {
                channel->queue.pop_front();
            }
            channel->queue.push_back({{report.begin(), report.end()}, readyAt});
            channel->changed.notify_all();
        }
    }

    void dropOff() override {
        if (const auto registry = registry_.lock()) {
            registry->remove(this);
        }
        close();
    }

    // Fails every open interface of the keyboard, now and from now on.
    void close() {
        std::lock_guard lock(mutex_);
        alive_ = false;
        for (const auto& open : channels_) {
            if (const auto channel = open.second.lock()) {
                std::lock_guard channelLock(channel->mutex);
                channel->gone = true;
                channel->changed.notify_all();
            }
        }
        channels_.clear();
    }

    void unplug() {
        keyboard_->detach(this);
        close();
    }

private:
    const std::shared_ptr<SimulatedKeyboard> keyboard_;
    const std::weak_ptr<SimRegistry> registry_;
    const std::vector<CollectionEntry> entries_;

    std::mutex mutex_;
    bool alive_ = true;
    std::vector<std::pair<std::size_t, std::weak_ptr<InterfaceChannel>>> channels_;
};

namespace {

class SimHidInterface final : public platform::HidInterface {
public:
    SimHidInterface(std::shared_ptr<SimConnection> connection, std::size_t entry,
                    std::shared_ptr<InterfaceChannel> channel, platform::HidOpenMode mode)
        : connection_(std::move(connection)), entry_(connection_->entries()[entry]),
          channel_(std::move(channel)), mode_(mode) {
        const SimModelInfo& info = connection_->keyboard()->info();
        attributes_ = {info.vendorId, info.productId, info.versionNumber};
    }

    const platform::HidAttributes& attributes() const override { return attributes_; }
    const platform::HidCollectionInfo& collection() const override {
        return entry_.collection.info();
    }
    std::vector<platform::HidUsage>
    buttonsSet(std::span<const std::uint8_t> report) const override {
        return entry_.collection.buttonsSet(report);
    }

    HidIoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                     std::size_t& transferred) override {
        transferred = 0;
        std::unique_lock lock(channel_->mutex);
        if (takeCancel(*channel_)) {
            return HidIoStatus::cancelled;
        }
        if (!mode_.read) {
            return HidIoStatus::failed;
        }
        std::optional<SimClock::time_point> deadline;
        if (timeoutMs >= 0) {
            deadline = SimClock::now() + std::chrono::milliseconds(timeoutMs);
        }
        auto& queue = channel_->queue;
        for (;;) {
            if (channel_->gone) {
                return HidIoStatus::failed;
            }
            if (takeCancel(*channel_)) {
                return HidIoStatus::cancelled;
            }
            const auto now = SimClock::now();
            if (!queue.empty() && queue.front().readyAt <= now) {
                const auto& bytes = queue.front().bytes;
                transferred = std::min(bytes.size(), buffer.size());
                std::copy_n(bytes.begin(), transferred, buffer.begin());
                queue.pop_front();
                return HidIoStatus::ok;
            }
            if (deadline && now >= *deadline) {
                return HidIoStatus::timedOut;
            }
            // A queued report that is not readable yet wakes us when it becomes so.
            std::optional<SimClock::time_point> wake = deadline;
            if (!queue.empty() && (!wake || queue.front().readyAt < *wake)) {
                wake = queue.front().readyAt;
            }
            if (wake) {
                channel_->changed.wait_until(lock, *wake);
            } else {
                channel_->changed.wait(lock);
            }
        }
    }

    HidIoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                      std::size_t& transferred) override {
        transferred = 0;
        const auto start = SimClock::now();
        {
            std::lock_guard lock(channel_->mutex);
            if (takeCancel(*channel_)) {
                return HidIoStatus::cancelled;
            }
            if (channel_->gone) {
                return HidIoStatus::failed;
            }
        }
        const std::size_t outputBytes = entry_.collection.info().outputReportLength;
        if (!mode_.write || outputBytes == 0 || report.size() != outputBytes) {
            return HidIoStatus::failed;
        }
        const SimFaults faults = connection_->keyboard()->faults();
        if (faults.failWrites) {
            return HidIoStatus::failed;
        }
        HidIoStatus status = HidIoStatus::ok;
        auto arrival = start;
        if (faults.writeStall.count() > 0) {
            arrival = start + faults.writeStall;
            auto deadline = arrival;
            if (timeoutMs >= 0) {
                deadline = std::min(deadline, start + std::chrono::milliseconds(timeoutMs));
            }
            std::unique_lock lock(channel_->mutex);
            channel_->changed.wait_until(
                lock, deadline, [this] { return channel_->cancelSignal || channel_->gone; });
            if (channel_->gone) {
                return HidIoStatus::failed;
            }
            if (takeCancel(*channel_)) {
                status = HidIoStatus::cancelled;
            } else if (deadline < arrival) {
                status = HidIoStatus::timedOut;
            } else {
                arrival = SimClock::now();
            }
        }
        // A transfer we stopped waiting for still completes, as it would inside the kernel;
        // the keyboard takes it when the stall ends.
        const bool taken = connection_->keyboard()->receiveReport(
            connection_.get(), entry_.interfaceNumber, report, arrival);
        if (status != HidIoStatus::ok) {
            return status;
        }
        if (!taken) {
            return HidIoStatus::failed;
        }
        transferred = report.size();
        return HidIoStatus::ok;
    }

    void cancel() override {
        std::lock_guard lock(channel_->mutex);
        channel_->cancelSignal = true;
        channel_->changed.notify_all();
    }

private:
    const std::shared_ptr<SimConnection> connection_;
    const CollectionEntry& entry_;
    const std::shared_ptr<InterfaceChannel> channel_;
    const platform::HidOpenMode mode_;
    platform::HidAttributes attributes_;
};

} // namespace

SimHidBackend::SimHidBackend() : registry_(std::make_shared<SimRegistry>()) {}

SimHidBackend::~SimHidBackend() {
    std::vector<std::shared_ptr<SimConnection>> connections;
    {
        std::lock_guard lock(registry_->mutex);
        connections.swap(registry_->connections);
    }
    for (const auto& connection : connections) {
        connection->unplug();
    }
}

bool SimHidBackend::plug(std::shared_ptr<SimulatedKeyboard> keyboard) {
    if (!keyboard) {
        return false;
    }
    std::vector<platform::HidCollection> parsed[kSimInterfaceCount];
    for (std::size_t i = 0; i < kSimInterfaceCount; ++i) {
        auto collections = platform::parseReportDescriptor(reportDescriptor(i));
        if (!collections) {
            return false;
        }
        parsed[i] = std::move(*collections);
    }
    const SimModelInfo& info = keyboard->info();
    std::lock_guard lock(registry_->mutex);
    const std::string prefix = "sim/kbd" + std::to_string(registry_->nextNumber) + "/if";
    std::vector<CollectionEntry> entries;
    for (std::size_t i = 0; i < kSimInterfaceCount; ++i) {
        for (std::size_t c = 0; c < parsed[i].size(); ++c) {
            entries.push_back(
                {platform::makeHidInterfacePath(prefix + std::to_string(i), info.vendorId,
                                                info.productId, c, parsed[i].size()),
                 i, std::move(parsed[i][c])});
        }
    }
    auto connection = std::make_shared<SimConnection>(keyboard, registry_, std::move(entries));
    if (!keyboard->attach(connection)) {
        return false;
    }
    ++registry_->nextNumber;
    registry_->connections.push_back(std::move(connection));
    return true;
}

bool SimHidBackend::plugged(const std::shared_ptr<SimulatedKeyboard>& keyboard) const {
    std::lock_guard lock(registry_->mutex);
    return std::any_of(registry_->connections.begin(), registry_->connections.end(),
                       [&keyboard](const auto& c) { return c->keyboard() == keyboard; });
}

bool SimHidBackend::unplug(const std::shared_ptr<SimulatedKeyboard>& keyboard) {
    std::shared_ptr<SimConnection> connection;
    {
        std::lock_guard lock(registry_->mutex);
        const auto found =
            std::find_if(registry_->connections.begin(), registry_->connections.end(),
                         [&keyboard](const auto& c) { return c->keyboard() == keyboard; });
        if (found == registry_->connections.end()) {
            return false;
        }
        connection = std::move(*found);
        registry_->connections.erase(found);
    }
    connection->unplug();
    return true;
}

std::optional<std::vector<std::string>> SimHidBackend::enumerate() {
    std::lock_guard lock(registry_->mutex);
    std::vector<std::string> paths;
    for (const auto& connection : registry_->connections) {
        for (const auto& entry : connection->entries()) {
            paths.push_back(entry.path);
        }
    }
    return paths;
}

std::unique_ptr<platform::HidInterface> SimHidBackend::open(const std::string& path,
                                                            platform::HidOpenMode mode) {
    std::shared_ptr<SimConnection> connection;
    std::size_t entry = 0;
    {
        std::lock_guard lock(registry_->mutex);
        for (const auto& candidate : registry_->connections) {
            const auto& entries = candidate->entries();
            const auto found = std::find_if(entries.begin(), entries.end(),
                                            [&path](const auto& e) { return e.path == path; });
            if (found != entries.end()) {
                connection = candidate;
                entry = static_cast<std::size_t>(found - entries.begin());
                break;
            }
        }
    }
    if (!connection) {
        return nullptr;
    }
    auto channel = connection->openChannel(entry);
    if (!channel) {
        return nullptr;
    }
    return std::make_unique<SimHidInterface>(std::move(connection), entry, std::move(channel),
                                             mode);
}

bool SimHidBackend::probe(const std::string& path) {
    std::lock_guard lock(registry_->mutex);
    return std::any_of(registry_->connections.begin(), registry_->connections.end(),
                       [&path](const auto& connection) {
                           const auto& entries = connection->entries();
                           return std::any_of(entries.begin(), entries.end(),
                                              [&path](const auto& e) { return e.path == path; });
                       });
}

} // namespace velkan::sim
