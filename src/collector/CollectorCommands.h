#pragma once

#include "cli/Arguments.h"

#include <ostream>

namespace kelvra::collector {

inline constexpr const char* kDefaultListen = "127.0.0.1:9477";

// The program's three commands; each takes its options from `arguments` and returns the exit
// status. Failures throw (cli::UsageError for the command line).
int RunCollector(cli::Arguments& arguments);
int PrintStatus(cli::Arguments& arguments, std::ostream& out);
int ExportPunches(cli::Arguments& arguments);

} // namespace kelvra::collector
