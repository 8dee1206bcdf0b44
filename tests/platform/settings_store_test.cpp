#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "support/test_environment.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;

fs::path testFolder() {
    return fs::path(std::getenv("HOME")) /
           testing::UnitTest::GetInstance()->current_test_info()->name();
}

class SettingsStoreTest : public testing::Test {
protected:
    void TearDown() override { fs::remove_all(testFolder()); }

    const fs::path file_ = testFolder() / "config" / "settings.ini";
};

TEST_F(SettingsStoreTest, TypedValuesRoundTripBetweenStores) {
    struct Case {
        const char* keyPath;
        const char* name;
        std::variant<std::uint32_t, std::string> value;
    };
    const Case cases[] = {
        {"Software\\Halvory ", "dwLanguageId", 0x409u},
        {"Software\\Halvory", "dwLanguageId", 2057u}, // not the same key without the blank
        {"Software\\Halvory ", "Largest", 0xFFFFFFFFu},
        {"Software\\Halvory ", "Zero", 0u},
        {"", "at the root", 7u},
        {"Velkan\\PROFILES", "Flip", std::string("1")},
        {"Velkan\\PROFILES", "Empty", std::string()},
        {"Velkan\\PROFILES", "", std::string("unnamed value")},
        {"Velkan\\PROFILES", "@", std::string("not the unnamed value")},
        {" [odd];path= ", " name=with;all[the]@ ", std::string(" one\r\ntwo\n%41 = sz:x \t")},
        {"Velkan\\Gr\xC3\xBC\xC3\x9F"
         "e",
         "\xE2\x82\xAC", std::string("\xE2\x82\xAC 5 \"quoted\"")},
    };
    SettingsStore writer(file_);
    for (const Case& c : cases) {
        if (const auto* number = std::get_if<std::uint32_t>(&c.value)) {
            ASSERT_TRUE(writer.writeDword(c.keyPath, c.name, *number));
        } else {
            ASSERT_TRUE(writer.writeString(c.keyPath, c.name, std::get<std::string>(c.value)));
        }
    }
    SettingsStore reader(file_);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.keyPath) + " / " + c.name);
        if (const auto* number = std::get_if<std::uint32_t>(&c.value)) {
            EXPECT_EQ(reader.readDword(c.keyPath, c.name), *number);
            EXPECT_EQ(reader.readString(c.keyPath, c.name), std::nullopt);
        } else {
            EXPECT_EQ(reader.readString(c.keyPath, c.name), std::get<std::string>(c.value));
            EXPECT_EQ(reader.readDword(c.keyPath, c.name), std::nullopt);
        }
    }
    EXPECT_EQ(reader.readDword("SOFTWARE\\halvory ", "DWLANGUAGEID"), 0x409u);
    EXPECT_EQ(reader.readDword("Software\\Halvory ", "missing"), std::nullopt);

    // A value written again changes in place, and may change its type.
    ASSERT_TRUE(reader.writeString("Software\\Halvory ", "dwLanguageId", "1033"));
    EXPECT_EQ(writer.readDword("Software\\Halvory ", "dwLanguageId"), std::nullopt);
    EXPECT_EQ(writer.readDword("Software\\Halvory", "dwLanguageId"), 2057u);
}

#ifndef _WIN32
// The file of the Linux store.
TEST_F(SettingsStoreTest, DamagedFilesAreReadAroundAndKeptOnRewrite) {
    const std::vector<std::string> lines = {
        "a line that means nothing",
        "\x01\x02\xFF\xFE bytes",
        "[Software\\Halvory%20]",
        "bad=dword:zz",
        "overflow=dword:123456789",
        "negative=dword:-1",
        "cut=sz:100%",
        "notHex=sz:%zz",
        "short=dword:40A",
        "quoted=sz:say \"hi\"",
    };
    std::string content;
    for (const std::string& line : lines) {
        content += line + "\n";
    }
    fs::create_directories(file_.parent_path());
    ASSERT_TRUE(
        writeFileAtomically(file_, std::vector<std::uint8_t>(content.begin(), content.end())));

    SettingsStore store(file_);
    const char* key = "Software\\Halvory ";
    for (const char* name : {"bad", "overflow", "negative", "cut", "notHex"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(store.readDword(key, name), std::nullopt);
        EXPECT_EQ(store.readString(key, name), std::nullopt);
    }
    EXPECT_EQ(store.readDword(key, "short"), 0x40Au);
    EXPECT_EQ(store.readString(key, "quoted"), "say \"hi\"");

    ASSERT_TRUE(store.writeDword(key, "dwLanguageId", 1033));
    EXPECT_EQ(store.readDword(key, "dwLanguageId"), 1033u);
    const auto after = readWholeFile(file_);
    ASSERT_TRUE(after);
    const std::string text(after->begin(), after->end());
    for (const std::string& line : lines) {
        EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << line;
    }

    SettingsStore onAFolder(file_.parent_path());
    EXPECT_FALSE(onAFolder.writeDword(key, "x", 1));
    EXPECT_EQ(onAFolder.readDword(key, "x"), std::nullopt);
    EXPECT_TRUE(fs::is_directory(file_.parent_path()));
}

#endif

TEST_F(SettingsStoreTest, WritersOnOneFileLoseNoValue) {
    constexpr int kThreads = 4;
    constexpr int kValues = 25;
    SettingsStore first(file_);
    SettingsStore second(file_);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            SettingsStore& store = t % 2 == 0 ? first : second;
            for (int i = 0; i < kValues; ++i) {
                store.writeDword("Velkan", std::to_string(t * kValues + i),
                                 static_cast<std::uint32_t>(t * kValues + i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int n = 0; n < kThreads * kValues; ++n) {
        EXPECT_EQ(first.readDword("Velkan", std::to_string(n)), static_cast<std::uint32_t>(n));
    }
}

#ifdef _WIN32
TEST_F(SettingsStoreTest, TheUsersStoreIsTheUsersRegistry) {
    ASSERT_TRUE(
        SettingsStore::currentUser().writeDword("Software\\Halvory ", "dwLanguageId", 1033));
    ASSERT_TRUE(SettingsStore::currentUser().writeString("Software\\Halvory ", "Title", "x y"));
    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Halvory ", L"dwLanguageId",
                             RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1033u);
    wchar_t text[8] = {};
    size = sizeof text;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Halvory ", L"Title", RRF_RT_REG_SZ,
                             nullptr, text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(text), L"x y");
    // A store on a file of its own does not see the user's values.
    EXPECT_EQ(SettingsStore(file_).readDword("Software\\Halvory ", "dwLanguageId"), std::nullopt);
}

TEST(PathsTest, DataFoldersLiveInTheRoamingApplicationData) {
    const auto base = userDataFolder();
    ASSERT_TRUE(base);
    const auto expected = fs::path(std::getenv("APPDATA"));
    EXPECT_TRUE(fs::equivalent(*base, expected)) << base->string();
    EXPECT_EQ(userDataFolder("Halvory"), *base / "Halvory");
    EXPECT_TRUE(fs::is_directory(*base / "Halvory"));
    for (const char* rooted : {"C:\\Windows", "\\Windows", "C:x"}) {
        EXPECT_EQ(userDataFolder(rooted), std::nullopt) << rooted;
    }
    fs::remove_all(*base / "Halvory");
}
#else
TEST_F(SettingsStoreTest, TheUsersStoreLivesInTheConfigFolder) {
    SettingsStore& store = SettingsStore::currentUser();
    EXPECT_EQ(store.file(), fs::path(std::getenv("XDG_CONFIG_HOME")) / "velkan" / "settings.ini");
    ASSERT_TRUE(store.writeDword("Software\\Halvory ", "dwLanguageId", 1033));
    EXPECT_EQ(SettingsStore(store.file()).readDword("Software\\Halvory ", "dwLanguageId"), 1033u);
}

// Sets an environment variable for one scope, restoring it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            saved_ = old;
        }
        set(value);
    }
    ~ScopedVariable() { set(saved_); }

private:
    void set(const std::optional<std::string>& value) { test::setEnvironment(name_, value); }
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(PathsTest, FoldersFollowTheBaseDirectoryVariables) {
    const fs::path home = testFolder();
    fs::create_directories(home);
    const ScopedVariable homeVariable("HOME", home.string());
    struct Case {
        const char* name;
        std::optional<std::string> xdg; // for both variables, "config" / "data" appended
        fs::path config;
        fs::path data;
    };
    const Case cases[] = {
        {"absolute", (home / "xdg").string(), home / "xdg" / "config", home / "xdg" / "data"},
        {"unset", std::nullopt, home / ".config", home / ".local" / "share"},
        {"relative", "xdg", home / ".config", home / ".local" / "share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto suffixed = [&](const char* sub) {
            return c.xdg ? std::optional(*c.xdg + "/" + sub) : std::nullopt;
        };
        const ScopedVariable config("XDG_CONFIG_HOME", suffixed("config"));
        const ScopedVariable data("XDG_DATA_HOME", suffixed("data"));
        EXPECT_EQ(userConfigFolder(), c.config);
        EXPECT_EQ(userDataFolder(), c.data);
        EXPECT_EQ(userDataFolder("Halvory"), c.data / "Halvory");
        EXPECT_TRUE(fs::is_directory(c.data / "Halvory"));
    }

    EXPECT_EQ(userDataFolder("/etc"), std::nullopt);
    ASSERT_TRUE(writeFileAtomically(home / "plain", {}));
    const ScopedVariable blocked("XDG_DATA_HOME", (home / "plain").string());
    EXPECT_EQ(userDataFolder("Halvory"), std::nullopt);
    fs::remove_all(home);
}

#endif

TEST(PathsTest, TheProgramFolderHoldsTheRunningProgram) {
    EXPECT_TRUE(fs::exists(programFolder() / executableFile("platform_tests")));
}

} // namespace
} // namespace velkan::platform
