#include "platform/support_windows.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <sddl.h>
#include <vector>

namespace velkan::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Paths may be longer than MAX_PATH.
constexpr std::size_t kLongestPath = 32768;

std::optional<std::wstring> tokenUserSid(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(size);
    wchar_t* text = nullptr;
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) ||
        !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return std::nullopt;
    }
    std::wstring sid(text);
    ::LocalFree(text);
    return sid;
}

// Names of the mutexes held by objects of this process, with the handle each holds.
struct HeldHere {
    std::mutex mutex;
    std::condition_variable released;
    std::map<std::wstring, HANDLE> names;
};

HeldHere& heldHere() {
    static HeldHere held;
    return held;
}

} // namespace

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units);
    return wide;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int length = static_cast<int>(utf16.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, text.data(), bytes, nullptr, nullptr);
    return text;
}

std::filesystem::path runningExecutable() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        // A full buffer means the name was cut.
        if (length < name.size() || name.size() >= kLongestPath) {
            name.resize(length < name.size() ? length : 0);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 2);
    }
}

std::optional<std::wstring> currentUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return std::nullopt;
    }
    const UniqueHandle owned(token);
    return tokenUserSid(token);
}

std::optional<std::wstring> processUserSid(DWORD processId) {
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    HANDLE token = nullptr;
    if (!process.valid() || !::OpenProcessToken(process.get(), TOKEN_QUERY, &token)) {
        return std::nullopt;
    }
    const UniqueHandle owned(token);
    return tokenUserSid(token);
}

MutexWait acquireNamedMutex(const std::wstring& name, std::chrono::milliseconds timeout,
                            UniqueHandle& handle) {
    const bool forever = timeout < std::chrono::milliseconds::zero();
    const auto deadline = Clock::now() + (forever ? std::chrono::milliseconds::zero() : timeout);
    HeldHere& held = heldHere();
    std::unique_lock lock(held.mutex);
    const auto freeHere = [&] { return !held.names.contains(name); };
    if (forever) {
        held.released.wait(lock, freeHere);
    } else if (!held.released.wait_until(lock, deadline, freeHere)) {
        return MutexWait::heldElsewhere;
    }
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex.valid()) {
        return MutexWait::failed;
    }
    // Other takers of this process wait for the slot, not for the OS, until this one is done.
    held.names.emplace(name, mutex.get());
    lock.unlock();
    DWORD waitMs = INFINITE;
    if (!forever) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        waitMs = static_cast<DWORD>(std::max<long long>(left.count(), 0));
    }
    const DWORD result = ::WaitForSingleObject(mutex.get(), waitMs);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        handle = std::move(mutex);
        return MutexWait::acquired;
    }
    lock.lock();
    held.names.erase(name);
    held.released.notify_all();
    return result == WAIT_TIMEOUT ? MutexWait::heldElsewhere : MutexWait::failed;
}

void releaseNamedMutex(UniqueHandle& handle) {
    if (!handle.valid()) {
        return;
    }
    ::ReleaseMutex(handle.get());
    HeldHere& held = heldHere();
    const std::lock_guard lock(held.mutex);
    std::erase_if(held.names, [&](const auto& entry) { return entry.second == handle.get(); });
    handle.reset();
    held.released.notify_all();
}

} // namespace velkan::platform
