#include "platform/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace velkan::platform {

namespace {

// Keeps the temporary name inside the file-name limit however long the target's name is.
constexpr std::size_t kMaxStemBytes = 200;
constexpr int kNameAttempts = 100;

std::atomic<FileSyncStep> syncStep{::fsync};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // close() can report a failed delayed write, so a writer must see its result.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// A symbolic link is written through, so a settings file linked from elsewhere stays linked.
std::filesystem::path resolveTarget(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_symlink(file, error)) {
        const auto resolved = std::filesystem::weakly_canonical(file, error);
        if (!error) {
            return resolved;
        }
    }
    return file;
}

std::string temporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = target.filename().string().substr(0, kMaxStemBytes);
    return "." + stem + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Created with O_EXCL so an existing file of that name is never touched.
int createTemporary(const std::filesystem::path& target, mode_t mode, std::string& name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (target.parent_path() / temporaryName(target)).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Makes the rename itself durable. Best effort: the new file is in place either way.
void syncFolder(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        syncStep.load()(fd);
        ::close(fd);
    }
}

} // namespace

FileSyncStep replaceFileSyncStep(FileSyncStep step) {
    return syncStep.exchange(step != nullptr ? step : ::fsync);
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& file,
                                                       std::uintmax_t maxBytes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; regular files ignore it.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    // The file may change size while it is read: read until end of file, but never past the
    // limit (one byte more proves that it has grown beyond it).
    while (true) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes) {
                return std::nullopt;
            }
            bytes.resize(bytes.size() + std::min<std::uintmax_t>(maxBytes - bytes.size() + 1,
                                                                 std::uintmax_t{64} << 10));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

bool writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
    const std::filesystem::path target = resolveTarget(file);
    if (target.filename().empty()) {
        return false;
    }
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    const mode_t mode = replacing ? (existing.st_mode & 07777) : 0644;

    std::string temporary;
    FileDescriptor fd(createTemporary(target, mode, temporary));
    if (fd.get() < 0) {
        return false;
    }
    // The umask narrowed the new file's mode; a replaced file keeps exactly the mode it had.
    bool ok = (!replacing || ::fchmod(fd.get(), mode) == 0) && writeAll(fd.get(), bytes) &&
              syncStep.load()(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(target.parent_path());
    return true;
}

} // namespace velkan::platform
