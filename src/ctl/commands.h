// The commands of velkanctl on top of the program's own sequences: each finds the keyboard,
// reads what every arrival reads, runs its sequence and reports how it went.
#pragma once

#include "ctl/command_line.h"

#include <ostream>

namespace velkan::ctl {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Results go to `out`, messages to `err`; returns the exit status.
int runInvocation(const Invocation& invocation, std::ostream& out, std::ostream& err);

} // namespace velkan::ctl
