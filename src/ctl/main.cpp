// velkanctl: the keyboard configurator for scripts and machines without a display.
#include "ctl/command_line.h"
#include "ctl/commands.h"

#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    using namespace velkan::ctl;
    try {
        std::vector<std::string_view> args;
        for (int i = 1; i < argc; ++i) {
            args.emplace_back(argv[i]);
        }
        const ParsedCommandLine parsed = parseCommandLine(args);
        if (!parsed.invocation) {
            std::cerr << "velkanctl: " << parsed.error << '\n'
                      << kSynopsis << "Run 'velkanctl help' for the commands.\n";
            return kExitUsage;
        }
        return runInvocation(*parsed.invocation, std::cout, std::cerr);
    } catch (const std::exception& error) {
        // Only running out of memory gets here: the layers below report failure by value.
        std::cerr << "velkanctl: " << error.what() << '\n';
        return kExitFailure;
    }
}
