// Message boxes on a terminal: every text goes to the error stream, and a Yes/No question is
// answered with its default (No, or Cancel), so a script never waits on standard input.
#pragma once

#include "lang/prompts.h"

#include <ostream>

namespace velkan::ctl {

class ConsolePrompts final : public lang::Prompts {
public:
    explicit ConsolePrompts(std::ostream& stream) : stream_(stream) {}

    void message(std::string_view text, bool topMost = false) override;
    bool askYesNo(std::string_view text) override;
    std::optional<bool> askYesNoCancel(std::string_view text) override;

private:
    std::ostream& stream_;
};

} // namespace velkan::ctl
