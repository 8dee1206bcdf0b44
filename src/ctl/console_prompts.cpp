#include "ctl/console_prompts.h"

namespace velkan::ctl {

void ConsolePrompts::message(std::string_view text, bool) {
    stream_ << text << '\n';
}

bool ConsolePrompts::askYesNo(std::string_view text) {
    stream_ << text << " [No]\n";
    return false;
}

std::optional<bool> ConsolePrompts::askYesNoCancel(std::string_view text) {
    stream_ << text << " [Cancel]\n";
    return std::nullopt;
}

} // namespace velkan::ctl
