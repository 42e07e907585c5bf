#pragma once

#include "cli/CommandTable.h"

#include <ostream>

namespace kelvra::cli {

// The help pages: the program's, a group's and a command's. Each ends with the options every
// command takes.
void PrintProgramHelp(std::ostream& out);
void PrintGroupHelp(std::ostream& out, const CommandGroup& group);
void PrintCommandHelp(std::ostream& out, const CommandGroup& group, const Subcommand& command);

} // namespace kelvra::cli
