#include "ctl/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace velkan::ctl {

namespace {

constexpr int kMaxDirection = 3;
// Modes are numbered in one byte; 0 ends the keyboard's list and is never one.
constexpr int kMaxMode = 255;
constexpr int kMaxProfile = 2;
constexpr std::size_t kColourDigits = 6;

struct CommandName {
    std::string_view name;
    Command command;
};

constexpr std::array<CommandName, 11> kCommandNames = {{
    {"help", Command::help},
    {"list", Command::list},
    {"info", Command::info},
    {"backup", Command::backup},
    {"check", Command::check},
    {"new", Command::newFile},
    {"import", Command::import},
    {"profile", Command::profile},
    {"lighting", Command::lighting},
    {"defaults", Command::defaults},
    {"boot", Command::boot},
}};

bool takesFile(Command command) {
    return command == Command::backup || command == Command::check || command == Command::newFile ||
           command == Command::import;
}

// A whole decimal number within [low, high]; signs, blanks and trailing text are refused.
std::optional<int> parseNumber(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "RRGGBB", exactly six hexadecimal digits.
std::optional<model::ColourRef> parseColour(std::string_view text) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
    if (text.size() != kColourDigits || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return model::colourRef(static_cast<std::uint8_t>(value >> 16),
                            static_cast<std::uint8_t>(value >> 8),
                            static_cast<std::uint8_t>(value));
}

std::optional<bool> parseSwitch(std::string_view text) {
    if (text == "on") {
        return true;
    }
    if (text == "off") {
        return false;
    }
    return std::nullopt;
}

// "--name" or "--name=value".
struct Option {
    std::string_view name;
    std::optional<std::string_view> value;
};

Option splitOption(std::string_view argument) {
    const auto equals = argument.find('=');
    if (equals == std::string_view::npos) {
        return {argument, std::nullopt};
    }
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

bool isOption(std::string_view argument) {
    return argument.starts_with("--");
}

class Parser {
public:
    explicit Parser(std::span<const std::string_view> args) : args_(args) {}

    ParsedCommandLine run() {
        if (parse()) {
            return {std::move(invocation_), {}};
        }
        return {std::nullopt, std::move(error_)};
    }

private:
    bool parse() {
        while (!atEnd() && (isOption(peek()) || peek() == "-h")) {
            const Option option = splitOption(take());
            if (option.name == "--help" || option.name == "-h") {
                // Whatever else was asked for, the answer is the usage.
                invocation_ = Invocation{};
                return true;
            }
            if (!globalOption(option)) {
                return false;
            }
        }
        if (atEnd()) {
            return fail("no command given");
        }
        if (!command(take())) {
            return false;
        }
        if (!atEnd()) {
            return fail("unexpected argument '" + std::string(peek()) + "'");
        }
        if (invocation_.simState && !invocation_.simulate) {
            return fail("--sim-state needs --simulate");
        }
        return true;
    }

    bool globalOption(const Option& option) {
        if (option.name == "--simulate") {
            if (invocation_.simulate) {
                return twice(option);
            }
            const std::string_view keys = option.value.value_or("126");
            if (keys == "126") {
                invocation_.simulate = sim::KeyboardModel::keys126;
            } else if (keys == "128") {
                invocation_.simulate = sim::KeyboardModel::keys128;
            } else {
                return fail("--simulate takes 126 or 128");
            }
            return true;
        }
        if (option.name == "--sim-state") {
            return pathOption(option, invocation_.simState);
        }
        if (option.name == "--wire-log") {
            return pathOption(option, invocation_.wireLog);
        }
        return fail("unknown option '" + std::string(option.name) + "'");
    }

    bool pathOption(const Option& option, std::optional<std::filesystem::path>& target) {
        if (target) {
            return twice(option);
        }
        const auto value = valueOf(option);
        if (!value) {
            return false;
        }
        target = std::filesystem::path(*value);
        return true;
    }

    bool command(std::string_view name) {
        const auto* found =
            std::find_if(kCommandNames.begin(), kCommandNames.end(),
                         [name](const CommandName& entry) { return entry.name == name; });
        if (found == kCommandNames.end()) {
            return fail("unknown command '" + std::string(name) + "'");
        }
        invocation_.command = found->command;
        if (takesFile(found->command)) {
            if (atEnd() || peek().empty()) {
                return fail("'" + std::string(name) + "' needs a FILE");
            }
            invocation_.file = std::filesystem::path(take());
        } else if (found->command == Command::profile) {
            const auto profile = atEnd() ? std::nullopt : parseNumber(take(), 0, kMaxProfile);
            if (!profile) {
                return fail("'profile' takes a profile number 0-2");
            }
            invocation_.profile = *profile;
        } else if (found->command == Command::lighting) {
            return lightingOptions();
        }
        return true;
    }

    bool lightingOptions() {
        LightingRequest& request = invocation_.lighting;
        if (atEnd()) {
            return fail("'lighting' needs at least one option");
        }
        while (!atEnd()) {
            const Option option = splitOption(take());
            bool ok = false;
            if (option.name == "--page") {
                ok = numberOption(option, request.page, 0, kMaxProfile);
            } else if (option.name == "--mode") {
                ok = numberOption(option, request.mode, 1, kMaxMode);
            } else if (option.name == "--brightness") {
                ok = numberOption(option, request.brightness, 0, model::kMaxBrightness);
            } else if (option.name == "--speed") {
                ok = numberOption(option, request.speed, 0, model::kMaxSpeedPosition);
            } else if (option.name == "--direction") {
                ok = numberOption(option, request.direction, 0, kMaxDirection);
            } else if (option.name == "--colour") {
                ok = parsedOption(option, request.colour, parseColour, "RRGGBB");
            } else if (option.name == "--light") {
                ok = parsedOption(option, request.lightOn, parseSwitch, "on or off");
            } else {
                return fail("unknown lighting option '" + std::string(option.name) + "'");
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    }

    bool numberOption(const Option& option, std::optional<int>& target, int low, int high) {
        const auto read = [low, high](std::string_view text) {
            return parseNumber(text, low, high);
        };
        return parsedOption(option, target, read, std::to_string(low) + "-" + std::to_string(high));
    }

    template <typename Value, typename Parse>
    bool parsedOption(const Option& option, std::optional<Value>& target, Parse read,
                      const std::string& expected) {
        if (target) {
            return twice(option);
        }
        const auto text = valueOf(option);
        if (!text) {
            return false;
        }
        target = read(*text);
        if (!target) {
            return fail(std::string(option.name) + " takes " + expected);
        }
        return true;
    }

    // The option's value: after "=", else the next argument.
    std::optional<std::string_view> valueOf(const Option& option) {
        if (option.value) {
            return option.value;
        }
        if (atEnd() || isOption(peek())) {
            fail(std::string(option.name) + " needs a value");
            return std::nullopt;
        }
        return take();
    }

    bool twice(const Option& option) { return fail(std::string(option.name) + " given twice"); }

    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool atEnd() const { return next_ >= args_.size(); }
    std::string_view peek() const { return args_[next_]; }
    std::string_view take() { return args_[next_++]; }

    std::span<const std::string_view> args_;
    std::size_t next_ = 0;
    Invocation invocation_;
    std::string error_;
};

} // namespace

ParsedCommandLine parseCommandLine(std::span<const std::string_view> args) {
    return Parser(args).run();
}

} // namespace velkan::ctl
