#include "platform/autostart.h"
#include "platform/support_windows.h"

#include <algorithm>
#include <vector>

namespace velkan::platform {

namespace {

namespace fs = std::filesystem;

// The user's own Run key, and the switches the desktop's start-up settings keep beside it.
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t kValueName[] = L"Velkan";
// In a start-up switch, the first byte's lowest bit set means switched off.
constexpr std::uint8_t kSwitchedOffBit = 0x01;

bool isControlCharacter(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

std::optional<std::wstring> runValue() {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, nullptr,
                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, text.data(),
                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(text.data());
}

bool switchedOffByTheDesktop() {
    std::uint8_t state[12] = {};
    DWORD size = sizeof state;
    return ::RegGetValueW(HKEY_CURRENT_USER, kApprovedKey, kValueName, RRF_RT_REG_BINARY, nullptr,
                          state, &size) == ERROR_SUCCESS &&
           size > 0 && (state[0] & kSwitchedOffBit) != 0;
}

} // namespace

std::optional<std::string> autostartEntry(const fs::path& program) {
    const std::wstring path = program.wstring();
    // A relative name would be looked up wherever the session starts; a quote cannot stand
    // inside the quoted path, and no control character belongs in a command line.
    if (!program.is_absolute() || path.find(L'"') != std::wstring::npos ||
        std::any_of(path.begin(), path.end(), isControlCharacter)) {
        return std::nullopt;
    }
    return narrow(L"\"" + path + L"\" /Start");
}

bool autostartEnabled() {
    const auto command = runValue();
    return command && !command->empty() && !switchedOffByTheDesktop();
}

bool setAutostart(bool on) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = ERROR_SUCCESS;
    if (!on) {
        result = ::RegDeleteValueW(key, kValueName);
        if (result == ERROR_FILE_NOT_FOUND) {
            result = ERROR_SUCCESS;
        }
    } else {
        const auto command = autostartEntry(runningExecutable());
        if (command) {
            const std::wstring text = widen(*command);
            result = ::RegSetValueExW(key, kValueName, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        } else {
            result = ERROR_INVALID_NAME;
        }
    }
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace velkan::platform
