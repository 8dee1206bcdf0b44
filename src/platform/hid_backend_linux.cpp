#include "platform/hid_backend_linux.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <linux/hid.h>
#include <linux/hidraw.h>
#include <mutex>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace velkan::platform {
namespace {

// Largest report hidraw moves in one read or write (the kernel's HID buffer).
constexpr std::size_t kMaxReportBytes = 16384;
constexpr std::size_t kMaxDescriptorBytes = HID_MAX_DESCRIPTOR_SIZE;
// Text attributes in sysfs fit one page.
constexpr std::size_t kMaxSysfsTextBytes = 4096;

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>; // none: wait for ever

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd& operator=(UniqueFd&&) = delete;
    ~UniqueFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

Deadline deadlineAfter(int timeoutMs) {
    if (timeoutMs < 0) {
        return std::nullopt;
    }
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// poll() time-out for what is left, rounded up so that a wait never ends before its deadline.
int remainingMs(const Deadline& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

void signalEventFd(int fd) {
    const std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

// Takes one count (all of them for a non-semaphore eventfd); false when there was none.
bool takeEventFd(int fd) {
    std::uint64_t value = 0;
    ssize_t n = 0;
    do {
        n = ::read(fd, &value, sizeof value);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof value);
}

template <typename Bytes>
std::optional<Bytes> readSmallFile(const std::string& path, std::size_t maxBytes) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    // One byte of room past the limit tells a file at the limit from a longer one.
    Bytes bytes(maxBytes + 1, 0);
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    if (used > maxBytes) {
        return std::nullopt;
    }
    bytes.resize(used);
    return bytes;
}

std::optional<std::uint32_t> parseNumber(std::string_view text, int base) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint16_t> parseId(std::string_view text) {
    const auto value = parseNumber(text, 16);
    if (!value || *value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

// N of a "hidrawN" node name.
std::optional<std::uint32_t> hidrawNumber(std::string_view name) {
    constexpr std::string_view kPrefix = "hidraw";
    if (!name.starts_with(kPrefix)) {
        return std::nullopt;
    }
    return parseNumber(name.substr(kPrefix.size()), 10);
}

struct DeviceIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// The HID device's uevent holds "HID_ID=bus:vendor:product", each field in hex.
std::optional<DeviceIds> readUeventIds(const std::string& path) {
    const auto text = readSmallFile<std::string>(path, kMaxSysfsTextBytes);
    if (!text) {
        return std::nullopt;
    }
    constexpr std::string_view kKey = "HID_ID=";
    std::string_view rest = *text;
    while (!rest.empty()) {
        const std::size_t lineEnd = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, lineEnd);
        rest.remove_prefix(std::min(lineEnd + 1, rest.size()));
        if (!line.starts_with(kKey)) {
            continue;
        }
        const std::string_view value = line.substr(kKey.size());
        const std::size_t first = value.find(':');
        const std::size_t second = value.find(':', first == std::string_view::npos ? 0 : first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos ||
            !parseNumber(value.substr(0, first), 16)) {
            return std::nullopt;
        }
        const auto vendor = parseId(value.substr(first + 1, second - first - 1));
        const auto product = parseId(value.substr(second + 1));
        if (!vendor || !product) {
            return std::nullopt;
        }
        return DeviceIds{*vendor, *product};
    }
    return std::nullopt;
}

struct InterfacePath {
    std::string nodeName; // "hidrawN"
    DeviceIds ids;
    std::size_t collectionIndex = 0;
};

// Reads back "<devRoot>/hidrawN#vid_xxxx&pid_xxxx[&colNN]" as makeHidInterfacePath builds it.
std::optional<InterfacePath> parseInterfacePath(std::string_view path, std::string_view devRoot) {
    if (!path.starts_with(devRoot) || path.substr(devRoot.size(), 1) != "/") {
        return std::nullopt;
    }
    const std::size_t nameStart = devRoot.size() + 1;
    const std::size_t hash = path.find('#', nameStart);
    if (hash == std::string_view::npos) {
        return std::nullopt;
    }
    InterfacePath parsed;
    parsed.nodeName = std::string(path.substr(nameStart, hash - nameStart));
    std::string_view tail = path.substr(hash + 1);
    constexpr std::string_view kVendor = "vid_";
    constexpr std::string_view kProduct = "&pid_";
    constexpr std::string_view kCollection = "&col";
    constexpr std::size_t kIdDigits = 4;
    if (!hidrawNumber(parsed.nodeName) || !tail.starts_with(kVendor) ||
        tail.size() < kVendor.size() + kIdDigits) {
        return std::nullopt;
    }
    const auto vendor = parseId(tail.substr(kVendor.size(), kIdDigits));
    tail.remove_prefix(kVendor.size() + kIdDigits);
    if (!vendor || !tail.starts_with(kProduct) || tail.size() < kProduct.size() + kIdDigits) {
        return std::nullopt;
    }
    const auto product = parseId(tail.substr(kProduct.size(), kIdDigits));
    tail.remove_prefix(kProduct.size() + kIdDigits);
    if (!product) {
        return std::nullopt;
    }
    parsed.ids = DeviceIds{*vendor, *product};
    if (!tail.empty()) {
        const auto number = tail.starts_with(kCollection)
                                ? parseNumber(tail.substr(kCollection.size()), 10)
                                : std::nullopt;
        if (!number || *number == 0) {
            return std::nullopt;
        }
        parsed.collectionIndex = *number - 1;
    }
    return parsed;
}

// One collection of an open node. Reads poll the node and the cancel eventfd together. Writes
// run on a thread of the interface's own, since a hidraw write can sit in the kernel for
// seconds whatever O_NONBLOCK says; the caller waits for it on a condition variable that
// cancel() also notifies, and leaves it behind when its time-out ends.
class HidrawInterface final : public HidInterface {
public:
    HidrawInterface(UniqueFd device, UniqueFd cancelFd, UniqueFd wakeFd, HidCollection collection,
                    HidAttributes attributes)
        : device_(std::move(device)), cancelFd_(std::move(cancelFd)), wakeFd_(std::move(wakeFd)),
          collection_(std::move(collection)), attributes_(attributes),
          readBuffer_(kMaxReportBytes + 1, 0) {}

    HidrawInterface(const HidrawInterface&) = delete;
    HidrawInterface& operator=(const HidrawInterface&) = delete;

    ~HidrawInterface() override {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        signalEventFd(wakeFd_.get());
        // A write inside the kernel cannot be interrupted, and closing the node under it would
        // not end it either, so the fd closes after the join; the USB transfer's own time-out
        // bounds the wait.
        if (writer_.joinable()) {
            writer_.join();
        }
    }

    const HidAttributes& attributes() const override { return attributes_; }
    const HidCollectionInfo& collection() const override { return collection_.info(); }
    std::vector<HidUsage> buttonsSet(std::span<const std::uint8_t> report) const override {
        return collection_.buttonsSet(report);
    }

    HidIoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                     std::size_t& transferred) override {
        transferred = 0;
        if (buffer.empty()) {
            return HidIoStatus::failed;
        }
        const Deadline deadline = deadlineAfter(timeoutMs);
        for (;;) {
            pollfd fds[] = {{cancelFd_.get(), POLLIN, 0}, {device_.get(), POLLIN, 0}};
            const int ready = ::poll(fds, 2, remainingMs(deadline));
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return HidIoStatus::failed;
            }
            if (ready == 0) {
                return HidIoStatus::timedOut;
            }
            // A cancel pending from before is seen on the first poll. Another waiter may have
            // taken the count first; then keep waiting.
            if ((fds[0].revents & POLLIN) != 0 && takeEventFd(cancelFd_.get())) {
                return HidIoStatus::cancelled;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                const std::optional<std::span<const std::uint8_t>> report = receiveReport();
                if (!report) {
                    return HidIoStatus::failed;
                }
                if (report->empty()) {
                    continue;
                }
                const std::size_t count = std::min(report->size(), buffer.size());
                std::copy_n(report->begin(), count, buffer.begin());
                transferred = count;
                return HidIoStatus::ok;
            }
            if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return HidIoStatus::failed;
            }
        }
    }

    HidIoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                      std::size_t& transferred) override {
        transferred = 0;
        if (report.empty() || report.size() > kMaxReportBytes) {
            return HidIoStatus::failed;
        }
        const Deadline deadline = deadlineAfter(timeoutMs);
        std::unique_lock lock(mutex_);
        if (!startWriter()) {
            return HidIoStatus::failed;
        }
        // A write that timed out may still be in the kernel with our buffer.
        HidIoStatus status = waitLocked(lock, deadline, [this] { return doneJob_ == lastJob_; });
        if (status != HidIoStatus::ok) {
            return status;
        }
        std::copy(report.begin(), report.end(), writeBuffer_.begin());
        writeLength_ = report.size();
        abandoned_ = false;
        const std::uint64_t job = ++lastJob_;
        changed_.notify_all();
        status = waitLocked(lock, deadline, [this, job] { return doneJob_ == job; });
        if (status != HidIoStatus::ok) {
            // The writer ends the transfer on its own copy; nobody is left to hear how.
            abandoned_ = true;
            signalEventFd(wakeFd_.get());
            return status;
        }
        if (writeStatus_ == HidIoStatus::ok) {
            transferred = writeTransferred_;
        }
        return writeStatus_;
    }

    void cancel() override {
        signalEventFd(cancelFd_.get());
        // Notifying under the lock keeps the wake-up from falling between a waiting writer's
        // look at the eventfd and its wait.
        const std::lock_guard lock(mutex_);
        changed_.notify_all();
    }

private:
    // The next report of this collection, including its id byte (a 0 put in front when the
    // device numbers none); empty when the report belonged to another collection or the read
    // found nothing after all; nullopt when the device is gone.
    std::optional<std::span<const std::uint8_t>> receiveReport() {
        const ssize_t n = ::read(device_.get(), readBuffer_.data() + 1, kMaxReportBytes);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                return std::span<const std::uint8_t>();
            }
            return std::nullopt;
        }
        if (n == 0) {
            return std::nullopt;
        }
        const auto length = static_cast<std::size_t>(n);
        if (!collection_.usesReportIds()) {
            readBuffer_[0] = 0;
            return std::span<const std::uint8_t>(readBuffer_.data(), length + 1);
        }
        if (!collection_.ownsInputReportId(readBuffer_[1])) {
            return std::span<const std::uint8_t>();
        }
        return std::span<const std::uint8_t>(readBuffer_.data() + 1, length);
    }

    bool startWriter() {
        if (writer_.joinable()) {
            return true;
        }
        writeBuffer_.resize(kMaxReportBytes);
        try {
            writer_ = std::thread([this] { writerLoop(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // ok when `done` came true; the cancel eventfd is looked at before the first wait and on
    // every wake-up, so a pending cancel ends the wait at once.
    template <typename Done>
    HidIoStatus waitLocked(std::unique_lock<std::mutex>& lock, const Deadline& deadline,
                           Done done) {
        for (;;) {
            if (done()) {
                return HidIoStatus::ok;
            }
            if (takeEventFd(cancelFd_.get())) {
                return HidIoStatus::cancelled;
            }
            if (!deadline) {
                changed_.wait(lock);
            } else if (Clock::now() >= *deadline ||
                       changed_.wait_until(lock, *deadline) == std::cv_status::timeout) {
                // Giving up without letting go of the lock first keeps a job that the writer
                // has not picked up yet from ever going out.
                return done() ? HidIoStatus::ok : HidIoStatus::timedOut;
            }
        }
    }

    void writerLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || startedJob_ != lastJob_; });
            if (stopping_) {
                return;
            }
            startedJob_ = lastJob_;
            HidIoStatus status = HidIoStatus::cancelled;
            std::size_t sent = 0;
            // A caller that already gave up must not have its report go out later.
            if (!abandoned_) {
                const std::size_t length = writeLength_;
                lock.unlock();
                status = transmit(length, sent);
                lock.lock();
            }
            doneJob_ = startedJob_;
            writeStatus_ = status;
            writeTransferred_ = sent;
            changed_.notify_all();
        }
    }

    // Runs on the writer thread, unlocked: the caller leaves writeBuffer_ alone until the job
    // is done.
    HidIoStatus transmit(std::size_t length, std::size_t& sent) {
        for (;;) {
            const ssize_t n = ::write(device_.get(), writeBuffer_.data(), length);
            if (n >= 0) {
                // hidraw sends a report whole; a part of one is not a report we can vouch for.
                if (static_cast<std::size_t>(n) != length) {
                    return HidIoStatus::failed;
                }
                sent = length;
                return HidIoStatus::ok;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return HidIoStatus::failed;
            }
            pollfd fds[] = {{device_.get(), POLLOUT, 0}, {wakeFd_.get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                return HidIoStatus::failed;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                takeEventFd(wakeFd_.get());
                if (calledOff()) {
                    return HidIoStatus::cancelled;
                }
            }
            if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return HidIoStatus::failed;
            }
        }
    }

    bool calledOff() {
        const std::lock_guard lock(mutex_);
        return abandoned_ || stopping_;
    }

    const UniqueFd device_;
    const UniqueFd cancelFd_; // semaphore: one cancel() releases one wait
    const UniqueFd wakeFd_;   // tells the writer thread that its caller has gone
    const HidCollection collection_;
    const HidAttributes attributes_;
    std::vector<std::uint8_t> readBuffer_; // [0] holds the id put in front of unnumbered reports

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread writer_;
    std::vector<std::uint8_t> writeBuffer_;
    std::size_t writeLength_ = 0;
    // Jobs are numbered; one is in hand from lastJob_'s increment until doneJob_ catches up.
    std::uint64_t lastJob_ = 0;
    std::uint64_t startedJob_ = 0;
    std::uint64_t doneJob_ = 0;
    HidIoStatus writeStatus_ = HidIoStatus::failed;
    std::size_t writeTransferred_ = 0;
    bool abandoned_ = false;
    bool stopping_ = false;
};

std::optional<HidrawNodeInfo> queryNodeByIoctl(int fd) {
    hidraw_devinfo info{};
    int descriptorSize = 0;
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0 ||
        ::ioctl(fd, HIDIOCGRDESCSIZE, &descriptorSize) < 0 || descriptorSize <= 0 ||
        static_cast<std::size_t>(descriptorSize) > kMaxDescriptorBytes) {
        return std::nullopt;
    }
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<std::uint32_t>(descriptorSize);
    if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) {
        return std::nullopt;
    }
    return HidrawNodeInfo{static_cast<std::uint16_t>(info.vendor),
                          static_cast<std::uint16_t>(info.product),
                          {descriptor.value, descriptor.value + descriptorSize}};
}

} // namespace

std::unique_ptr<HidBackend> makeSystemHidBackend() {
    return std::make_unique<LinuxHidBackend>();
}

LinuxHidBackend::LinuxHidBackend(std::string sysRoot, std::string devRoot,
                                 HidrawNodeQuery queryNode)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)),
      queryNode_(queryNode ? std::move(queryNode) : queryNodeByIoctl) {}

std::string LinuxHidBackend::classDir() const {
    return sysRoot_ + "/class/hidraw";
}

std::optional<std::vector<std::string>> LinuxHidBackend::enumerate() {
    std::error_code error;
    std::filesystem::directory_iterator entry(classDir(), error);
    if (error) {
        // No hidraw driver loaded means no devices, not a failure.
        if (error == std::errc::no_such_file_or_directory) {
            return std::vector<std::string>();
        }
        return std::nullopt;
    }
    std::vector<std::pair<std::uint32_t, std::string>> nodes;
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::string name = entry->path().filename().string();
        if (const auto number = hidrawNumber(name)) {
            nodes.emplace_back(*number, std::move(name));
        }
    }
    if (error) {
        return std::nullopt;
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<std::string> paths;
    for (const auto& [number, name] : nodes) {
        const std::string deviceDir = classDir() + "/" + name + "/device";
        const auto ids = readUeventIds(deviceDir + "/uevent");
        const auto descriptor = readSmallFile<std::vector<std::uint8_t>>(
            deviceDir + "/report_descriptor", kMaxDescriptorBytes);
        if (!ids || !descriptor) {
            continue;
        }
        const auto collections = parseReportDescriptor(*descriptor);
        if (!collections) {
            continue;
        }
        for (std::size_t i = 0; i < collections->size(); ++i) {
            paths.push_back(makeHidInterfacePath(devRoot_ + "/" + name, ids->vendorId,
                                                 ids->productId, i, collections->size()));
        }
    }
    return paths;
}

std::unique_ptr<HidInterface> LinuxHidBackend::open(const std::string& path, HidOpenMode mode) {
    const auto parsed = parseInterfacePath(path, devRoot_);
    if (!parsed || (!mode.read && !mode.write)) {
        return nullptr;
    }
    const int access = mode.read && mode.write ? O_RDWR : (mode.read ? O_RDONLY : O_WRONLY);
    const std::string node = devRoot_ + "/" + parsed->nodeName;
    UniqueFd fd(::open(node.c_str(), access | O_CLOEXEC | O_NONBLOCK));
    notePermission(path, !fd.valid() && (errno == EACCES || errno == EPERM));
    if (!fd.valid()) {
        return nullptr;
    }
    const std::optional<HidrawNodeInfo> info = queryNode_(fd.get());
    if (!info) {
        return nullptr;
    }
    auto collections = parseReportDescriptor(info->descriptor);
    if (!collections || parsed->collectionIndex >= collections->size()) {
        return nullptr;
    }
    HidAttributes attributes;
    attributes.vendorId = info->vendorId;
    attributes.productId = info->productId;
    // The node number may have passed to another device, or the device may now be laid out
    // differently from when the path was listed.
    if (makeHidInterfacePath(node, attributes.vendorId, attributes.productId,
                             parsed->collectionIndex, collections->size()) != path) {
        return nullptr;
    }
    // bcdDevice sits on the USB device, two levels above the HID device.
    const auto version = readSmallFile<std::string>(
        classDir() + "/" + parsed->nodeName + "/device/../../bcdDevice", kMaxSysfsTextBytes);
    if (version) {
        const std::string_view text = *version;
        attributes.versionNumber =
            parseId(text.substr(0, text.find_last_not_of(" \n") + 1)).value_or(0);
    }
    return wrapDescriptor(fd.release(), std::move((*collections)[parsed->collectionIndex]),
                          attributes);
}

bool LinuxHidBackend::permissionDenied(const std::string& path) const {
    const std::lock_guard lock(deniedMutex_);
    return denied_.contains(path);
}

void LinuxHidBackend::notePermission(const std::string& path, bool denied) {
    const std::lock_guard lock(deniedMutex_);
    if (denied) {
        denied_.insert(path);
    } else {
        denied_.erase(path);
    }
}

bool LinuxHidBackend::probe(const std::string& path) {
    const auto parsed = parseInterfacePath(path, devRoot_);
    if (!parsed) {
        return false;
    }
    struct stat node {};
    if (::stat((devRoot_ + "/" + parsed->nodeName).c_str(), &node) != 0) {
        return false;
    }
    const auto ids = readUeventIds(classDir() + "/" + parsed->nodeName + "/device/uevent");
    return ids && ids->vendorId == parsed->ids.vendorId && ids->productId == parsed->ids.productId;
}

std::unique_ptr<HidInterface> LinuxHidBackend::wrapDescriptor(int fd, HidCollection collection,
                                                              HidAttributes attributes) {
    UniqueFd device(fd);
    UniqueFd cancelFd(::eventfd(0, EFD_SEMAPHORE | EFD_CLOEXEC | EFD_NONBLOCK));
    UniqueFd wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!device.valid() || !cancelFd.valid() || !wakeFd.valid()) {
        return nullptr;
    }
    // Reads and writes must never block the calling thread outside poll(), whatever the caller
    // handed over.
    const int flags = ::fcntl(device.get(), F_GETFL);
    if (flags < 0 || ::fcntl(device.get(), F_SETFL, flags | O_NONBLOCK) < 0) {
        return nullptr;
    }
    return std::make_unique<HidrawInterface>(std::move(device), std::move(cancelFd),
                                             std::move(wakeFd), std::move(collection), attributes);
}

} // namespace velkan::platform
