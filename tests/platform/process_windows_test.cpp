#include "platform/process.h"
#include "support/test_environment.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

TEST(ProcessSearchTest, FindsProcessesByFileNameInAnyCase) {
    const std::string self = executableFileName();
    ASSERT_EQ(self, executableFile("platform_tests"));
    const std::vector<int> justThis = {test::currentProcessId()};
    EXPECT_EQ(findProcessesByExecutableName(self, false), justThis);
    EXPECT_EQ(findProcessesByExecutableName(upperCase(self), false), justThis);
    EXPECT_TRUE(findProcessesByExecutableName(self, true).empty());
    for (const char* other :
         {"platform_tests", "platform_tests.ex", "", "C:\\platform_tests.exe"}) {
        EXPECT_TRUE(findProcessesByExecutableName(other, false).empty()) << other;
    }
}

TEST(StartDetachedTest, StartsWhatCanRunWithItsArguments) {
    const auto command = findExecutableInPath("cmd");
    ASSERT_TRUE(command);
    EXPECT_EQ(upperCase(command->filename().string()), "CMD.EXE");
    const fs::path folder = fs::path(std::getenv("HOME")) / "started";
    fs::create_directories(folder);
    const fs::path marker = folder / "marker.txt";
    // An argument with blanks reaches the program as one.
    ASSERT_TRUE(startDetached(*command, {"/c", "echo started>" + marker.string()}, true));
    // The file is there before the program has written it.
    std::string text;
    for (int tries = 0; tries < 1000 && text.empty(); ++tries) {
        std::this_thread::sleep_for(10ms);
        std::ifstream in(marker);
        std::ostringstream content;
        content << in.rdbuf();
        text = content.str();
    }
    EXPECT_EQ(text.substr(0, 7), "started");

    EXPECT_FALSE(startDetached(folder / "missing.exe", {}));
    EXPECT_FALSE(startDetached(*command, {std::string("a\0b", 3)}));
    for (const char* name : {"", "C:\\cmd", "sub/cmd", "velkan-no-such-program"}) {
        EXPECT_EQ(findExecutableInPath(name), std::nullopt) << name;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
} // namespace velkan::platform
