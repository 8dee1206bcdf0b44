#include "platform/atomic_file.h"
#include "platform/autostart.h"
#include "platform/paths.h"
#include "platform/process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& file) {
    const auto bytes = readWholeFile(file);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// The Exec line of an entry, without "Exec=".
std::optional<std::string> execLine(const std::string& entry) {
    const auto start = entry.find("\nExec=");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const auto from = start + 6;
    return entry.substr(from, entry.find('\n', from) - from);
}

// Points XDG_CONFIG_HOME at a folder of its own for one test and puts the old value back.
class AutostartTest : public testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            saved_ = old;
        }
        config_ = fs::path(std::getenv("HOME")) /
                  testing::UnitTest::GetInstance()->current_test_info()->name() / "config";
        fs::create_directories(config_);
        ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(config_.parent_path());
    }

    fs::path entry() const { return config_ / "autostart" / "velkan.desktop"; }

    fs::path config_;
    std::optional<std::string> saved_;
};

TEST_F(AutostartTest, SwitchingOnAndOffWritesAndRemovesTheEntry) {
    EXPECT_FALSE(autostartEnabled());
    EXPECT_TRUE(setAutostart(false)) << "switching off what is off is no failure";

    ASSERT_TRUE(setAutostart(true));
    EXPECT_TRUE(autostartEnabled());
    const std::string text = readText(entry());
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n")) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
    // This very executable, started hidden.
    EXPECT_EQ(execLine(text), (programFolder() / executableFileName()).string() + " /Start");

    // Switching on again rewrites the entry in place and leaves no temporary file beside it.
    ASSERT_TRUE(setAutostart(true));
    EXPECT_EQ(readText(entry()), text);
    const std::vector<fs::directory_entry> files(fs::directory_iterator(entry().parent_path()),
                                                 fs::directory_iterator{});
    EXPECT_EQ(files.size(), 1u);

    ASSERT_TRUE(setAutostart(false));
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(autostartEnabled());
}

TEST_F(AutostartTest, EntriesSwitchedOffOrDamagedElsewhereCountAsOff) {
    struct Case {
        const char* name;
        const char* text;
        bool enabled;
    };
    const Case cases[] = {
        {"plain", "[Desktop Entry]\nType=Application\nExec=/opt/velkan /Start\n", true},
        {"hidden false", "[Desktop Entry]\nExec=velkan\nHidden=false\n", true},
        {"deleted by the user", "[Desktop Entry]\nExec=velkan\nHidden=true\n", false},
        {"switched off in GNOME", "[Desktop Entry]\nExec=velkan\nX-GNOME-Autostart-enabled=false\n",
         false},
        {"no Exec", "[Desktop Entry]\nType=Application\nName=Velkan\n", false},
        {"Exec in another group", "[Desktop Action x]\nExec=velkan\n", false},
        {"empty file", "", false},
        {"not text", "\x89PNG\r\n\x1a\n", false},
    };
    fs::create_directories(entry().parent_path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(entry(), std::ios::binary | std::ios::trunc) << c.text;
        EXPECT_EQ(autostartEnabled(), c.enabled);
    }

    // Ticking the menu item again brings back an entry the desktop had switched off.
    std::ofstream(entry(), std::ios::binary | std::ios::trunc)
        << "[Desktop Entry]\nExec=velkan\nHidden=true\n";
    ASSERT_TRUE(setAutostart(true));
    EXPECT_TRUE(autostartEnabled());
}

TEST_F(AutostartTest, FailsWhereTheEntryCannotBeWrittenOrRemoved) {
    // The configuration folder is a file: no folder can be made below it.
    const fs::path blocker = config_ / "not a folder";
    std::ofstream(blocker) << "x";
    ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    EXPECT_FALSE(setAutostart(true));
    EXPECT_FALSE(autostartEnabled());
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);

    // A folder in the entry's place with something in it is not removed.
    fs::create_directories(entry() / "inside");
    EXPECT_FALSE(setAutostart(false));
    EXPECT_FALSE(setAutostart(true));
    EXPECT_TRUE(fs::is_directory(entry() / "inside"));
    EXPECT_FALSE(autostartEnabled());
}

TEST(AutostartEntryTest, ExecLineCarriesAnyInstallPath) {
    struct Case {
        const char* program;
        const char* exec; // nullptr: refused
    };
    const Case cases[] = {
        {"/usr/lib/velkan/velkan", "/usr/lib/velkan/velkan /Start"},
        {"/opt/Velkan 2/velkan", "\"/opt/Velkan 2/velkan\" /Start"},
        {"/home/jos\xC3\xA9/velkan", "/home/jos\xC3\xA9/velkan /Start"},
        {"/opt/it's/velkan", "\"/opt/it's/velkan\" /Start"},
        {"/opt/\"$HOME\"/`x`/velkan", "\"/opt/\\\"\\$HOME\\\"/\\`x\\`/velkan\" /Start"},
        // Quoting doubles the backslash and the value's own escapes double both again.
        {"/opt/back\\slash/velkan", "\"/opt/back\\\\\\\\slash/velkan\" /Start"},
        {"/opt/a;b|c&d(e)#~*?<>/velkan", "\"/opt/a;b|c&d(e)#~*?<>/velkan\" /Start"},
        {"/opt/line\nbreak/velkan", nullptr},
        {"/opt/key=value/velkan", nullptr},
        {"/opt/100%/velkan", nullptr},
        {"velkan", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const auto entry = autostartEntry(c.program);
        if (c.exec == nullptr) {
            EXPECT_EQ(entry, std::nullopt);
            continue;
        }
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(execLine(*entry), c.exec);
        EXPECT_TRUE(entry->ends_with("\n"));
    }
}

} // namespace
} // namespace velkan::platform
