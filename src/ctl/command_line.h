// The command line of velkanctl: global options, one command and its arguments, read without
// exceptions. Anything malformed gives a short reason to print above the usage.
#pragma once

#include "model/lighting.h"
#include "sim/sim_memory.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velkan::ctl {

inline constexpr std::string_view kSynopsis =
    "usage: velkanctl [--simulate[=126|128]] [--sim-state FILE] [--wire-log FILE] COMMAND [ARGS]\n";
inline constexpr std::string_view kCommandSummary =
    "commands:\n"
    "  list                 supported keyboards found: path and model; status 1 if none\n"
    "  info                 model, active profile, macro capacity, lighting modes offered\n"
    "  backup FILE          the keyboard's key tables and macros into a profile file\n"
    "  check FILE           validate a profile file\n"
    "  new FILE             write a fresh profile file\n"
    "  import FILE          load a profile file and write all three profiles to the keyboard\n"
    "  profile N            make profile N (0-2) the keyboard's active profile\n"
    "  lighting [--page P] [--mode N] [--brightness 0-25] [--speed 0-5] [--colour RRGGBB]\n"
    "           [--direction 0-3] [--light on|off]\n"
    "                       change the lighting of page P (default: the active profile),\n"
    "                       one change per option, in this order\n"
    "  defaults             restore the factory state of all three profiles\n"
    "  boot                 switch the keyboard into its boot mode\n"
    "  help                 this text\n";

enum class Command {
    help,
    list,
    info,
    backup,
    check,
    newFile,
    import,
    profile,
    lighting,
    defaults,
    boot,
};

// Each change is made once, in the order of these members.
struct LightingRequest {
    std::optional<int> page;
    std::optional<int> mode;
    std::optional<int> brightness;
    std::optional<int> speed;
    std::optional<model::ColourRef> colour;
    std::optional<int> direction;
    std::optional<bool> lightOn;

    friend bool operator==(const LightingRequest&, const LightingRequest&) = default;
};

struct Invocation {
    // The simulated keyboard of this model instead of the real HID devices.
    std::optional<sim::KeyboardModel> simulate;
    std::optional<std::filesystem::path> simState;
    std::optional<std::filesystem::path> wireLog;

    Command command = Command::help;
    std::filesystem::path file; // backup, check, new, import
    int profile = 0;            // profile
    LightingRequest lighting;

    friend bool operator==(const Invocation&, const Invocation&) = default;
};

struct ParsedCommandLine {
    std::optional<Invocation> invocation;
    std::string error; // why there is none
};

// `args` are the arguments after the program name.
ParsedCommandLine parseCommandLine(std::span<const std::string_view> args);

} // namespace velkan::ctl
