#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/settings_store.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velkan::platform {

namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kTextPrefix = "sz:";
constexpr std::uintmax_t kMaxSettingsBytes = 1u << 20;
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// Percent-escapes what the INI form would lose or misread: '%' itself, control characters
// (line breaks among them), blanks at either end (trimmed on reading) and, in names, the
// characters that delimit sections, keys and comments. Only ASCII is ever escaped, so names
// still compare without regard to case and the text stays UTF-8.
std::string escape(std::string_view text, bool isName) {
    if (isName && text.empty()) {
        return "@"; // the key's unnamed value, as registry exports write it
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool atEdge = i == 0 || i + 1 == text.size();
        const bool special = c == '%' || c < 0x20 || c == 0x7F || (atEdge && c == ' ') ||
                             (isName && (c == '=' || c == '[' || c == ']' || c == ';' || c == '@'));
        if (special) {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        const char* first = text.data() + i + 1;
        if (text.size() - i < 3 || std::from_chars(first, first + 2, value, 16).ptr != first + 2 ||
            value >= 0x80) {
            return std::nullopt; // not something this store wrote: a hand edit gone wrong
        }
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

// Serializes read-modify-write cycles between stores and processes on the same file; the
// file itself cannot carry the lock because each write replaces it.
class WriteLock {
public:
    explicit WriteLock(const std::filesystem::path& file)
        : fd_(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~WriteLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    int fd_;
};

// nullopt when the file exists but cannot be read: it must then not be replaced.
std::optional<IniDocument> load(const std::filesystem::path& file) {
    if (auto bytes = readWholeFile(file, kMaxSettingsBytes)) {
        return IniDocument::parse(*bytes);
    }
    std::error_code error;
    if (std::filesystem::status(file, error).type() == std::filesystem::file_type::not_found) {
        return IniDocument::parse({});
    }
    return std::nullopt;
}

std::optional<std::string> readRaw(const std::filesystem::path& file, std::string_view keyPath,
                                   std::string_view name, std::string_view typePrefix) {
    const auto document = load(file);
    if (!document) {
        return std::nullopt;
    }
    auto value = document->value(escape(keyPath, true), escape(name, true));
    if (!value || !value->starts_with(typePrefix)) {
        return std::nullopt;
    }
    return value->substr(typePrefix.size());
}

bool writeRaw(const std::filesystem::path& file, std::string_view keyPath, std::string_view name,
              const std::string& typedValue) {
    std::error_code error;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) {
            return false;
        }
    }
    const WriteLock lock(file);
    auto document = load(file);
    if (!document) {
        return false;
    }
    document->setValue(escape(keyPath, true), escape(name, true), typedValue);
    return writeFileAtomically(file, document->serialize());
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

SettingsStore& SettingsStore::currentUser() {
    static SettingsStore store(userConfigFolder() / "velkan" / "settings.ini");
    return store;
}

std::optional<std::uint32_t> SettingsStore::readDword(std::string_view keyPath,
                                                      std::string_view name) {
    const std::lock_guard lock(mutex_);
    const auto digits = readRaw(file_, keyPath, name, kDwordPrefix);
    if (!digits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const char* end = digits->data() + digits->size();
    const auto [stop, error] = std::from_chars(digits->data(), end, value, 16);
    if (digits->empty() || stop != end || error != std::errc{}) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> SettingsStore::readString(std::string_view keyPath,
                                                     std::string_view name) {
    const std::lock_guard lock(mutex_);
    const auto text = readRaw(file_, keyPath, name, kTextPrefix);
    return text ? unescape(*text) : std::nullopt;
}

bool SettingsStore::writeDword(std::string_view keyPath, std::string_view name,
                               std::uint32_t value) {
    const std::lock_guard lock(mutex_);
    char digits[9] = {};
    std::snprintf(digits, sizeof digits, "%08x", value);
    return writeRaw(file_, keyPath, name, std::string(kDwordPrefix) + digits);
}

bool SettingsStore::writeString(std::string_view keyPath, std::string_view name,
                                std::string_view value) {
    const std::lock_guard lock(mutex_);
    return writeRaw(file_, keyPath, name, std::string(kTextPrefix) + escape(value, false));
}

} // namespace velkan::platform
