#include "platform/paths.h"
#include "platform/process.h"
#include "platform/single_instance.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <span>
#include <string>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kSendTimeout = std::chrono::seconds(5);
// A sender that connects and then stalls holds up the ones behind it for at most this long.
constexpr auto kFrameTimeout = std::chrono::seconds(1);
constexpr auto kConnectRetryPause = std::chrono::milliseconds(10);
constexpr auto kAcceptErrorPause = std::chrono::milliseconds(100);
constexpr int kListenBacklog = 16;
// Lock names become file names; this leaves room for the prefix and suffix under NAME_MAX.
constexpr std::size_t kMaxLockNameBytes = 200;

std::optional<fs::path> channelPath(int processId) {
    auto folder = userRuntimeFolder();
    if (!folder) {
        return std::nullopt;
    }
    return *folder / ("velkan-" + std::to_string(processId) + ".sock");
}

std::optional<sockaddr_un> socketAddress(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::copy(text.begin(), text.end(), address.sun_path);
    return address;
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

// Waits for `events` on `fd`. False on time-out, on a failed wait, and as soon as `stopFd`
// (ignored when negative) becomes readable; an error or hang-up on `fd` counts as ready so
// that the next call on it reports it.
bool waitFor(int fd, short events, int stopFd, Clock::time_point deadline) {
    for (;;) {
        std::array<pollfd, 2> fds{{{fd, events, 0}, {stopFd, POLLIN, 0}}};
        const int ready = ::poll(fds.data(), fds.size(), millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0 && fds[1].revents == 0 && fds[0].revents != 0;
    }
}

// One connected, non-blocking stream socket; closed with the object.
class StreamConnection {
public:
    explicit StreamConnection(int fd) : fd_(fd) {}
    ~StreamConnection() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    bool valid() const { return fd_ >= 0; }

    // A full backlog on the other side is waited out until the deadline.
    bool connectTo(const sockaddr_un& address, Clock::time_point deadline) {
        for (;;) {
            if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                return true;
            }
            if (errno != EAGAIN && errno != EINTR) {
                return false;
            }
            if (Clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(kConnectRetryPause);
        }
    }

    // Effective user id of the other end, as the kernel recorded it at connect or listen.
    std::optional<uid_t> peerUid() const {
        ucred credentials{};
        socklen_t length = sizeof credentials;
        if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
            length != sizeof credentials) {
            return std::nullopt;
        }
        return credentials.uid;
    }

    bool sendAll(std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
        while (!bytes.empty()) {
            // No SIGPIPE when the other end has gone: that is an ordinary failure here.
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0) {
                bytes = bytes.subspan(static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                if (!waitFor(fd_, POLLOUT, -1, deadline)) {
                    return false;
                }
            } else {
                return false;
            }
        }
        return true;
    }

    // False when the other end closes, the deadline passes or `stopFd` fires before `bytes`
    // is full.
    bool receiveExact(std::span<std::uint8_t> bytes, Clock::time_point deadline, int stopFd) {
        while (!bytes.empty()) {
            const ssize_t n = ::recv(fd_, bytes.data(), bytes.size(), 0);
            if (n > 0) {
                bytes = bytes.subspan(static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                if (!waitFor(fd_, POLLIN, stopFd, deadline)) {
                    return false;
                }
            } else {
                return false;
            }
        }
        return true;
    }

private:
    int fd_;
};

class SocketInstanceChannel final : public InstanceChannel {
public:
    explicit SocketInstanceChannel(Handler handler) : handler_(std::move(handler)) {}
    SocketInstanceChannel(const SocketInstanceChannel&) = delete;
    SocketInstanceChannel& operator=(const SocketInstanceChannel&) = delete;

    ~SocketInstanceChannel() override {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            while (::write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) {
            }
            thread_.join();
        }
        if (bound_) {
            unlinkOwnSocket();
        }
        for (const int fd : {listenFd_, stopFd_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    // Whatever this opened before a failure is released by the destructor.
    bool open() {
        const auto path = channelPath(::getpid());
        const auto address = path ? socketAddress(*path) : std::nullopt;
        if (!address) {
            return false;
        }
        path_ = *path;
        stopFd_ = ::eventfd(0, EFD_CLOEXEC);
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (stopFd_ < 0 || listenFd_ < 0) {
            return false;
        }
        // A file under our process id can only be left over from an earlier process.
        ::unlink(path_.c_str());
        if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
            return false;
        }
        struct stat info {};
        if (::lstat(path_.c_str(), &info) != 0) {
            return false;
        }
        bound_ = true;
        socketDevice_ = info.st_dev;
        socketInode_ = info.st_ino;
        // Nobody can connect before listen(), so the mode is right before anyone could try.
        if (::chmod(path_.c_str(), S_IRUSR | S_IWUSR) != 0 ||
            ::listen(listenFd_, kListenBacklog) != 0) {
            return false;
        }
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

private:
    void run() {
        for (;;) {
            std::array<pollfd, 2> fds{{{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}}};
            const int ready = ::poll(fds.data(), fds.size(), -1);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready < 0 || fds[1].revents != 0) {
                return;
            }
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                StreamConnection connection(fd);
                serve(connection);
            } else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
                // Out of descriptors or memory: the connection stays queued, so pause
                // instead of spinning, but keep listening for the stop request.
                pollfd stop{stopFd_, POLLIN, 0};
                if (::poll(&stop, 1, static_cast<int>(kAcceptErrorPause.count())) > 0) {
                    return;
                }
            }
        }
    }

    void serve(StreamConnection& connection) {
        if (connection.peerUid() != ::geteuid()) {
            return;
        }
        std::array<std::uint8_t, kInstanceFrameBytes> frame{};
        const auto deadline = Clock::now() + kFrameTimeout;
        if (!connection.receiveExact(frame, deadline, stopFd_)) {
            return;
        }
        const auto message = decodeInstanceFrame(frame);
        if (!message) {
            return;
        }
        handler_(*message);
        const std::array<std::uint8_t, 1> ack{kInstanceAck};
        connection.sendAll(ack, Clock::now() + kFrameTimeout);
    }

    // A later channel of this process may have replaced the file; that one is left alone.
    void unlinkOwnSocket() const {
        struct stat info {};
        if (::lstat(path_.c_str(), &info) == 0 && info.st_dev == socketDevice_ &&
            info.st_ino == socketInode_) {
            ::unlink(path_.c_str());
        }
    }

    Handler handler_;
    fs::path path_;
    int listenFd_ = -1;
    int stopFd_ = -1;
    bool bound_ = false;
    dev_t socketDevice_ = 0;
    ino_t socketInode_ = 0;
    std::thread thread_;
};

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxLockNameBytes &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

} // namespace

InstanceLock InstanceLock::acquire(std::string_view name) {
    InstanceLock lock;
    if (!isPlainFileName(name)) {
        return lock;
    }
    const auto folder = userRuntimeFolder();
    if (!folder) {
        return lock;
    }
    const fs::path file = *folder / ("velkan-" + std::string(name) + ".lock");
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return lock;
    }
    // The kernel drops the lock with the last descriptor, so a killed holder frees it; the
    // file itself stays, as removing it would race with a process that has just opened it.
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        lock.heldElsewhere_ = errno == EWOULDBLOCK;
        ::close(fd);
        return lock;
    }
    lock.handle_ = fd;
    return lock;
}

void InstanceLock::close() {
    if (handle_ != kNoHandle) {
        ::close(static_cast<int>(std::exchange(handle_, kNoHandle)));
    }
}

std::unique_ptr<InstanceChannel> InstanceChannel::listen(Handler handler) {
    if (!handler) {
        return nullptr;
    }
    auto channel = std::make_unique<SocketInstanceChannel>(std::move(handler));
    if (!channel->open()) {
        return nullptr;
    }
    return channel;
}

bool sendToInstance(int processId, const InstanceMessage& message) {
    if (processId <= 0) {
        return false;
    }
    const auto path = channelPath(processId);
    const auto address = path ? socketAddress(*path) : std::nullopt;
    if (!address) {
        return false;
    }
    StreamConnection connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const auto deadline = Clock::now() + kSendTimeout;
    // A socket file left by a dead process refuses the connection at once.
    if (!connection.valid() || !connection.connectTo(*address, deadline) ||
        connection.peerUid() != ::geteuid() ||
        !connection.sendAll(encodeInstanceFrame(message), deadline)) {
        return false;
    }
    std::array<std::uint8_t, 1> ack{};
    return connection.receiveExact(ack, deadline, -1) && ack[0] == kInstanceAck;
}

} // namespace velkan::platform
