#include "platform/process.h"
#include "platform/support_windows.h"

#include <algorithm>
#include <shellapi.h>
#include <tlhelp32.h>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::wstring_view kOnScreenKeyboard = L"osk.exe";

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// One argument as the C runtime's command-line parser reads it back: quoted when it holds
// blanks or quotes, a quote escaped with a backslash, and backslashes doubled where a quote
// follows them.
std::wstring quoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

bool shellOpen(const std::wstring& target, const std::wstring& parameters, int show) {
    // Results above 32 mean started.
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", target.c_str(),
                        parameters.empty() ? nullptr : parameters.c_str(), nullptr, show));
    return result > 32;
}

// A 32-bit process on 64-bit Windows sees the 32-bit system folder in place of the real one,
// which holds no on-screen keyboard; the redirection is off while this object lives. Where
// there is no redirection the switch does nothing.
class FileSystemRedirectionOff {
public:
    FileSystemRedirectionOff() {
        BOOL wow64 = FALSE;
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        if (kernel == nullptr || !::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) {
            return;
        }
        disable_ = reinterpret_cast<Disable>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        revert_ = reinterpret_cast<Revert>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
        off_ = disable_ != nullptr && revert_ != nullptr && disable_(&previous_);
    }
    ~FileSystemRedirectionOff() {
        if (off_) {
            revert_(previous_);
        }
    }
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

private:
    using Disable = BOOL(WINAPI*)(PVOID*);
    using Revert = BOOL(WINAPI*)(PVOID);
    Disable disable_ = nullptr;
    Revert revert_ = nullptr;
    PVOID previous_ = nullptr;
    bool off_ = false;
};

} // namespace

std::string executableFileName() {
    return narrow(runningExecutable().filename().wstring());
}

std::string executableFile(std::string_view name) {
    return std::string(name) + ".exe";
}

std::vector<int> findProcessesByExecutableName(std::string_view fileName, bool excludeSelf) {
    const auto user = currentUserSid();
    const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (fileName.empty() || !user || !snapshot.valid()) {
        return {};
    }
    const std::wstring wanted = widen(fileName);
    const DWORD self = ::GetCurrentProcessId();
    std::vector<int> found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        const std::wstring_view name(entry.szExeFile,
                                     std::wstring_view(entry.szExeFile, MAX_PATH).find(L'\0'));
        if ((excludeSelf && entry.th32ProcessID == self) || !equalsIgnoringCase(name, wanted) ||
            processUserSid(entry.th32ProcessID) != user) {
            continue;
        }
        found.push_back(static_cast<int>(entry.th32ProcessID));
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool startDetached(const fs::path& program, const std::vector<std::string>& arguments,
                   bool hidden) {
    std::error_code error;
    if (program.empty() || !fs::is_regular_file(program, error)) {
        return false;
    }
    std::wstring parameters;
    for (const std::string& argument : arguments) {
        if (argument.find('\0') != std::string::npos) {
            return false;
        }
        parameters += (parameters.empty() ? L"" : L" ") + quoteArgument(widen(argument));
    }
    return shellOpen(program.wstring(), parameters, hidden ? SW_HIDE : SW_SHOWNORMAL);
}

bool openWithDesktop(std::string_view documentOrAddress) {
    if (documentOrAddress.empty() || documentOrAddress.find('\0') != std::string_view::npos) {
        return false;
    }
    return shellOpen(widen(documentOrAddress), {}, SW_SHOWNORMAL);
}

std::optional<fs::path> findExecutableInPath(std::string_view name) {
    if (name.empty() ||
        name.find_first_of(std::string_view("/\\:\0", 4)) != std::string_view::npos) {
        return std::nullopt;
    }
    const std::wstring wide = widen(name);
    std::wstring found(MAX_PATH, L'\0');
    DWORD length = ::SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(found.size()),
                                 found.data(), nullptr);
    if (length >= found.size()) {
        found.resize(length);
        length = ::SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(found.size()),
                               found.data(), nullptr);
    }
    if (length == 0 || length >= found.size()) {
        return std::nullopt;
    }
    found.resize(length);
    return fs::path(found);
}

bool startOnScreenKeyboard() {
    if (!findProcessesByExecutableName(narrow(kOnScreenKeyboard), false).empty()) {
        return true;
    }
    const FileSystemRedirectionOff redirectionOff;
    return shellOpen(std::wstring(kOnScreenKeyboard), {}, SW_SHOWNORMAL);
}

} // namespace velkan::platform
