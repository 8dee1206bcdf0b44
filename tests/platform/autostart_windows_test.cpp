#include "platform/autostart.h"
#include "platform/support_windows.h"

#include <gtest/gtest.h>
#include <string>

namespace velkan::platform {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::optional<std::wstring> runValue() {
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Velkan", RRF_RT_REG_SZ, nullptr, text,
                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(text);
}

// The desktop's start-up settings switching the entry on (2) or off (3).
void setDesktopSwitch(std::uint8_t state) {
    const std::uint8_t value[12] = {state};
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"Velkan", REG_BINARY, value,
                                sizeof value),
              ERROR_SUCCESS);
}

TEST(WindowsAutostartTest, TheRunValueStartsThisProgramHidden) {
    ASSERT_TRUE(setAutostart(false));
    EXPECT_FALSE(autostartEnabled());
    ASSERT_TRUE(setAutostart(true));
    EXPECT_TRUE(autostartEnabled());
    EXPECT_EQ(runValue(), L"\"" + runningExecutable().wstring() + L"\" /Start");

    setDesktopSwitch(3);
    EXPECT_FALSE(autostartEnabled());
    setDesktopSwitch(2);
    EXPECT_TRUE(autostartEnabled());

    ASSERT_TRUE(setAutostart(false));
    EXPECT_FALSE(autostartEnabled());
    EXPECT_EQ(runValue(), std::nullopt);
    EXPECT_TRUE(setAutostart(false)) << "nothing to remove is no failure";
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"Velkan");
}

TEST(WindowsAutostartTest, CommandLineQuotesAnyInstallPath) {
    const std::pair<std::filesystem::path, std::optional<std::string>> cases[] = {
        {L"C:\\Program Files\\Velkan\\velkan.exe",
         "\"C:\\Program Files\\Velkan\\velkan.exe\" /Start"},
        {L"D:\\V\u00e9lkan 100%\\velkan.exe", "\"D:\\V\xC3\xA9lkan 100%\\velkan.exe\" /Start"},
        {L"velkan.exe", std::nullopt},
        {L"\\Velkan\\velkan.exe", std::nullopt},
        {L"C:\\a\"b\\velkan.exe", std::nullopt},
        {L"C:\\a\nb\\velkan.exe", std::nullopt},
    };
    for (const auto& [program, expected] : cases) {
        EXPECT_EQ(autostartEntry(program), expected) << narrow(program.wstring());
    }
}

} // namespace
} // namespace velkan::platform
