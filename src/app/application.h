// The application object: reads the command line, keeps the program to one instance per
// user, starts the companion process, builds the main window and runs the program's event
// loop until the exit routine ends it.
#pragma once

#include "sim/sim_memory.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkan::app {

struct CommandLine {
    bool startHidden = false; // "/Start"
    bool kill = false;        // "/Kill"
    // "--simulate[=126|128]": run on a simulated keyboard of that model.
    std::optional<sim::KeyboardModel> simulate;
    // "--screenshot FILE": write the main window to FILE once it is shown, then end.
    std::optional<std::filesystem::path> screenshot;
    std::vector<std::string> errors; // arguments that could not be understood
};

// The switches are compared case-insensitively; anything else the program does not know is
// reported and ignored.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

class Application {
public:
    // Runs the program; the process's exit code.
    int run(int argc, char** argv);
};

} // namespace velkan::app
