#include "platform/process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;

// What the kernel appends to the link of a program whose file was replaced while it ran.
constexpr std::string_view kDeletedSuffix = " (deleted)";
// The kernel keeps this many characters of a program's name as its command name.
constexpr std::size_t kCommandNameLength = 15;
// Used when PATH is not set at all.
constexpr std::string_view kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";
constexpr std::array<std::string_view, 4> kOnScreenKeyboards = {"onboard", "florence",
                                                                "matchbox-keyboard", "squeekboard"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

// File name of the program behind an /proc/<pid>/exe link; empty when it cannot be read,
// which is the case for other users' processes.
std::string programFileName(const fs::path& exeLink) {
    std::error_code error;
    std::string target = fs::read_symlink(exeLink, error).native();
    if (error) {
        return {};
    }
    if (target.ends_with(kDeletedSuffix)) {
        target.resize(target.size() - kDeletedSuffix.size());
    }
    return fs::path(target).filename().native();
}

// The command name of a process: its program's name, or for a script the script's name
// while the executable is the interpreter.
std::string commandName(const fs::path& processFolder) {
    const int fd = ::open((processFolder / "comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::array<char, 64> buffer{};
    ssize_t n = 0;
    do {
        n = ::read(fd, buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0) {
        return {};
    }
    std::string_view text(buffer.data(), static_cast<std::size_t>(n));
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::optional<int> processIdFromName(const std::string& name) {
    int id = 0;
    const char* end = name.data() + name.size();
    const auto [next, error] = std::from_chars(name.data(), end, id);
    if (error != std::errc() || next != end || id <= 0) {
        return std::nullopt;
    }
    return id;
}

// The ids, lowest first, of this user's processes for which `matches(/proc/<pid>)` holds.
template <typename Matches>
std::vector<int> matchingProcesses(const Matches& matches, bool excludeSelf) {
    const int self = ::getpid();
    const uid_t user = ::geteuid();
    std::vector<int> found;
    std::error_code error;
    // Processes come and go during the walk; one that has gone simply does not match.
    for (fs::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const auto id = processIdFromName(entry->path().filename().native());
        if (!id || (excludeSelf && *id == self)) {
            continue;
        }
        struct stat info {};
        if (::stat(entry->path().c_str(), &info) != 0 || info.st_uid != user) {
            continue;
        }
        if (matches(entry->path())) {
            found.push_back(*id);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool isExecutableFile(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

// Everything the started program's side needs, prepared before fork(): after it, only
// async-signal-safe calls may run, as another thread may hold the allocator's lock.
struct ExecPlan {
    const char* path = nullptr;
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    int descriptorLimit = 0;
    sigset_t signalMask{};
    struct sigaction defaultAction {};
};

int descriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return INT_MAX;
    }
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, INT_MAX));
}

[[noreturn]] void reportAndExit(int statusFd, int error) {
    while (::write(statusFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

[[noreturn]] void execDetached(const ExecPlan& plan, int statusFd) {
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0) {
        reportAndExit(statusFd, errno);
    }
    for (int stream = 0; stream <= 2; ++stream) {
        if (::dup2(null, stream) < 0) {
            reportAndExit(statusFd, errno);
        }
    }
    if (null > 2) {
        ::close(null);
    }
    // Descriptors other parts of the program opened without O_CLOEXEC must not leak into
    // the started program. Kernels before 5.11 lack the flag: mark them one by one.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < plan.descriptorLimit; ++fd) {
            const int flags = ::fcntl(fd, F_GETFD);
            if (flags >= 0) {
                ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
            }
        }
    }
    // Blocked and ignored signals survive exec; the started program gets a clean slate.
    ::sigprocmask(SIG_SETMASK, &plan.signalMask, nullptr);
    for (int number = 1; number < NSIG; ++number) {
        ::sigaction(number, &plan.defaultAction, nullptr);
    }
    ::execve(plan.path, plan.argv, plan.envp);
    reportAndExit(statusFd, errno);
}

bool anyOnScreenKeyboardRunning() {
    const auto isKeyboard = [](const fs::path& processFolder) {
        // A process that has exited but was not reaped yet keeps its command name but has
        // no program any more.
        const std::string program = programFileName(processFolder / "exe");
        if (program.empty()) {
            return false;
        }
        const std::string command = commandName(processFolder);
        return std::any_of(
            kOnScreenKeyboards.begin(), kOnScreenKeyboards.end(), [&](std::string_view name) {
                return equalsIgnoringCase(program, name) ||
                       equalsIgnoringCase(command, name.substr(0, kCommandNameLength));
            });
    };
    return !matchingProcesses(isKeyboard, false).empty();
}

// Starts the plan's program in a session of its own, orphaned to init; true once it runs.
bool runDetached(const ExecPlan& plan) {
    // Stays open on the program's side until exec() closes it: end of file means started,
    // an errno value means it was not.
    std::array<int, 2> status{};
    if (::pipe2(status.data(), O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(status[0]);
        ::close(status[1]);
        return false;
    }
    if (child == 0) {
        // A session of its own and a parent that exits at once: no terminal, and init
        // rather than this program reaps it.
        if (::setsid() < 0) {
            reportAndExit(status[1], errno);
        }
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            reportAndExit(status[1], errno);
        }
        if (grandchild > 0) {
            ::_exit(0);
        }
        execDetached(plan, status[1]);
    }
    ::close(status[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = 0;
    do {
        n = ::read(status[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(status[0]);
    return n == 0;
}

} // namespace

std::string executableFileName() {
    return programFileName("/proc/self/exe");
}

std::string executableFile(std::string_view name) {
    return std::string(name);
}

std::vector<int> findProcessesByExecutableName(std::string_view fileName, bool excludeSelf) {
    if (fileName.empty()) {
        return {};
    }
    return matchingProcesses(
        [fileName](const fs::path& processFolder) {
            return equalsIgnoringCase(programFileName(processFolder / "exe"), fileName);
        },
        excludeSelf);
}

bool startDetached(const fs::path& program, const std::vector<std::string>& arguments,
                   bool /*hidden*/) {
    // execve() takes C strings: an embedded NUL would silently cut an argument short.
    const auto hasNul = [](const std::string& text) {
        return text.find('\0') != std::string::npos;
    };
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.push_back(program.native());
    words.insert(words.end(), arguments.begin(), arguments.end());
    if (program.empty() || std::any_of(words.begin(), words.end(), hasNul)) {
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    ExecPlan plan;
    plan.path = words.front().c_str();
    plan.argv = argv.data();
    plan.envp = environ;
    plan.descriptorLimit = descriptorLimit();
    sigemptyset(&plan.signalMask);
    plan.defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&plan.defaultAction.sa_mask);

    return runDetached(plan);
}

bool openWithDesktop(std::string_view documentOrAddress) {
    if (documentOrAddress.empty()) {
        return false;
    }
    const auto opener = findExecutableInPath("xdg-open");
    return opener && startDetached(*opener, {std::string(documentOrAddress)});
}

std::optional<fs::path> findExecutableInPath(std::string_view name) {
    if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        return std::nullopt;
    }
    const char* value = std::getenv("PATH");
    std::string_view folders = value != nullptr ? std::string_view(value) : kDefaultSearchPath;
    while (true) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        // Relative entries would run whatever the current folder holds.
        if (folder.starts_with('/')) {
            fs::path candidate = fs::path(folder) / name;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        folders.remove_prefix(colon + 1);
    }
}

bool startOnScreenKeyboard() {
    if (anyOnScreenKeyboardRunning()) {
        return true;
    }
    for (const std::string_view name : kOnScreenKeyboards) {
        if (const auto program = findExecutableInPath(name)) {
            return startDetached(*program, {});
        }
    }
    return false;
}

} // namespace velkan::platform
