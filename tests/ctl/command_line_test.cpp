// The command line: what each accepted form asks for, and the reason each malformed one gives.
#include "ctl/command_line.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace velkan::ctl {
namespace {

ParsedCommandLine parse(const std::vector<std::string_view>& args) {
    return parseCommandLine(args);
}

TEST(CommandLineTest, ReadsEveryAcceptedForm) {
    Invocation simulatedInfo;
    simulatedInfo.simulate = sim::KeyboardModel::keys126;
    simulatedInfo.command = Command::info;

    Invocation profileWithFiles;
    profileWithFiles.simulate = sim::KeyboardModel::keys128;
    profileWithFiles.simState = "state";
    profileWithFiles.wireLog = "wire.log";
    profileWithFiles.command = Command::profile;
    profileWithFiles.profile = 2;

    Invocation everyLightingChange;
    everyLightingChange.command = Command::lighting;
    everyLightingChange.lighting = {.page = 1,
                                    .mode = 20,
                                    .brightness = 25,
                                    .speed = 0,
                                    .colour = model::colourRef(0xA1, 0xB2, 0xC3),
                                    .direction = 3,
                                    .lightOn = false};

    Invocation newFile;
    newFile.command = Command::newFile;
    newFile.file = "fresh.fwc";

    Invocation help;
    help.command = Command::help;

    const std::pair<std::vector<std::string_view>, Invocation> cases[] = {
        {{"--simulate", "info"}, simulatedInfo},
        {{"--simulate=128", "--sim-state", "state", "--wire-log=wire.log", "profile", "2"},
         profileWithFiles},
        {{"lighting", "--page", "1", "--mode=20", "--brightness", "25", "--speed", "0", "--colour",
          "A1b2C3", "--direction", "3", "--light", "off"},
         everyLightingChange},
        {{"new", "fresh.fwc"}, newFile},
        {{"help"}, help},
        {{"--simulate", "-h", "bogus"}, help},
    };
    for (const auto& [args, expected] : cases) {
        const auto parsed = parse(args);
        ASSERT_TRUE(parsed.invocation) << args.front() << ": " << parsed.error;
        EXPECT_EQ(*parsed.invocation, expected) << args.front();
    }
}

TEST(CommandLineTest, RefusesMalformedArgumentsWithTheirReason) {
    const std::pair<std::vector<std::string_view>, std::string_view> cases[] = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"--verbose", "info"}, "unknown option '--verbose'"},
        {{"--simulate=127", "info"}, "--simulate takes 126 or 128"},
        {{"--simulate", "--simulate=128", "info"}, "--simulate given twice"},
        {{"--sim-state", "state", "info"}, "--sim-state needs --simulate"},
        {{"info", "--simulate"}, "unexpected argument '--simulate'"},
        {{"backup"}, "'backup' needs a FILE"},
        {{"import", ""}, "'import' needs a FILE"},
        {{"profile", "3"}, "profile number 0-2"},
        {{"profile", "1x"}, "profile number 0-2"},
        {{"profile", "99999999999999999999"}, "profile number 0-2"},
        {{"lighting"}, "at least one option"},
        {{"lighting", "--brightness", "26"}, "--brightness takes 0-25"},
        {{"lighting", "--mode", "256"}, "--mode takes 1-255"},
        {{"lighting", "--colour", "12345g"}, "--colour takes RRGGBB"},
        {{"lighting", "--colour", "1234567"}, "--colour takes RRGGBB"},
        {{"lighting", "--light", "dim"}, "--light takes on or off"},
        {{"lighting", "--page", "1", "--page", "2"}, "--page given twice"},
        {{"lighting", "--mode", "--brightness", "3"}, "--mode needs a value"},
        {{"lighting", "--glow", "1"}, "unknown lighting option '--glow'"},
    };
    for (const auto& [args, reason] : cases) {
        const auto parsed = parse(args);
        EXPECT_FALSE(parsed.invocation) << reason;
        EXPECT_NE(parsed.error.find(reason), std::string::npos)
            << "expected \"" << reason << "\", got \"" << parsed.error << '"';
    }
}

} // namespace
} // namespace velkan::ctl
