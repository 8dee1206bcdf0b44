#include "platform/settings_store.h"
#include "platform/support_windows.h"

#include <algorithm>
#include <vector>

namespace velkan::platform {

namespace {

// Stores given a file of their own keep their keys apart under this key, one subkey per file.
constexpr std::wstring_view kFileStoresKey = L"Software\\velkan\\Stores\\";

// Registry key names cannot hold a backslash; a file's path keeps its folders apart with '/'.
std::wstring fullKey(const std::filesystem::path& file, std::string_view keyPath) {
    std::wstring key;
    if (!file.empty()) {
        std::wstring name = file.wstring();
        std::replace(name.begin(), name.end(), L'\\', L'/');
        key = std::wstring(kFileStoresKey) + name;
        if (!keyPath.empty()) {
            key += L'\\';
        }
    }
    return key + widen(keyPath);
}

bool setValue(const std::filesystem::path& file, std::string_view keyPath, std::string_view name,
              DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, fullKey(file, keyPath).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result =
        ::RegSetValueExW(key, widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

SettingsStore& SettingsStore::currentUser() {
    static SettingsStore store{std::filesystem::path()};
    return store;
}

std::optional<std::uint32_t> SettingsStore::readDword(std::string_view keyPath,
                                                      std::string_view name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, fullKey(file_, keyPath).c_str(), widen(name).c_str(),
                       RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> SettingsStore::readString(std::string_view keyPath,
                                                     std::string_view name) {
    const std::wstring key = fullKey(file_, keyPath);
    const std::wstring valueName = widen(name);
    // The value may grow between asking for its size and reading it: ask again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), valueName.c_str(), RRF_RT_REG_SZ,
                           nullptr, nullptr, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LONG result = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), valueName.c_str(),
                                           RRF_RT_REG_SZ, nullptr, text.data(), &size);
        if (result == ERROR_SUCCESS) {
            return narrow(std::wstring_view(text.data()));
        }
        if (result != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool SettingsStore::writeDword(std::string_view keyPath, std::string_view name,
                               std::uint32_t value) {
    const DWORD data = value;
    return setValue(file_, keyPath, name, REG_DWORD, &data, sizeof data);
}

bool SettingsStore::writeString(std::string_view keyPath, std::string_view name,
                                std::string_view value) {
    const std::wstring text = widen(value);
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return setValue(file_, keyPath, name, REG_SZ, text.c_str(), bytes);
}

} // namespace velkan::platform
