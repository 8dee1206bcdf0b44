#include "platform/atomic_file.h"
#include "platform/support_windows.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>

namespace velkan::platform {

namespace {

// Keeps the temporary name inside the file-name limit however long the target's name is.
constexpr std::size_t kMaxStemUnits = 200;
constexpr int kNameAttempts = 100;
constexpr std::size_t kReadChunkBytes = 64u << 10;

// _commit flushes the file's data and metadata to disk, as fsync does.
std::atomic<FileSyncStep> syncStep{::_commit};

std::wstring temporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const std::wstring stem = target.filename().wstring().substr(0, kMaxStemUnits);
    return L"." + stem + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L".tmp";
}

// Created exclusively so an existing file of that name is never touched.
int createTemporary(const std::filesystem::path& target, std::wstring& name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (target.parent_path() / temporaryName(target)).wstring();
        const int fd = ::_wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int written = ::_write(fd, bytes.data(), chunk);
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

FileSyncStep replaceFileSyncStep(FileSyncStep step) {
    return syncStep.exchange(step != nullptr ? step : ::_commit);
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& file,
                                                       std::uintmax_t maxBytes) {
    const UniqueHandle handle(::CreateFileW(file.wstring().c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.valid() || ::GetFileType(handle.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handle.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    const std::uintmax_t size = (std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > maxBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    // The file may change size while it is read: read until end of file, but never past the
    // limit.
    std::vector<std::uint8_t> chunk(kReadChunkBytes);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(handle.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                        nullptr)) {
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        if (got > maxBytes - bytes.size()) {
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
}

bool writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
    if (file.filename().empty()) {
        return false;
    }
    std::wstring temporary;
    const int fd = createTemporary(file, temporary);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes) && syncStep.load()(fd) == 0;
    ok = ::_close(fd) == 0 && ok;
    // Write-through: the call returns once the rename itself is on disk.
    ok = ok && ::MoveFileExW(temporary.c_str(), file.wstring().c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        ::_wunlink(temporary.c_str());
    }
    return ok;
}

} // namespace velkan::platform
