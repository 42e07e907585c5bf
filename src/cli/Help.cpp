#include "cli/Help.h"

#include "cli/GlobalOptions.h"

#include <string>

namespace kelvra::cli {

namespace {

constexpr std::size_t kSummaryColumn = 40;

const char* const kExitStatus =
    R"(Exit status: 0 success; 1 a local failure (a file); 2 a usage error; 3 a reply that
cannot be read; 11 to 27 the terminal's codes -101 to -117; 31 to 37 the module's codes -1
to -7; 130 interrupted. See kelvractl(1).
)";

std::string CommandLine(const CommandGroup& group, const Subcommand& command) {
    std::string line = std::string(group.name);
    if (!command.name.empty()) {
        line += " " + std::string(command.name);
    }
    if (!command.synopsis.empty()) {
        line += " " + std::string(command.synopsis);
    }
    return line;
}

void PrintRow(std::ostream& out, const std::string& left, std::string_view summary) {
    out << "  " << left;
    if (left.size() + 2 < kSummaryColumn) {
        out << std::string(kSummaryColumn - left.size() - 2, ' ');
    } else {
        out << "\n" << std::string(kSummaryColumn, ' ');
    }
    out << summary << "\n";
}

} // namespace

void PrintProgramHelp(std::ostream& out) {
    out << "usage: kelvractl LINK [OPTIONS] COMMAND [ARGUMENTS]\n"
           "A Kelvra terminal from the shell. COMMAND --help tells more of each command.\n\n"
           "Commands:\n";
    for (const CommandGroup* group : AllGroups()) {
        PrintRow(out, std::string(group->name), group->summary);
    }
    out << "\n" << kGlobalOptionsHelp << "\n" << kExitStatus;
}

void PrintGroupHelp(std::ostream& out, const CommandGroup& group) {
    out << "usage: kelvractl LINK [OPTIONS] " << group.name
        << (group.subcommands.front().name.empty() ? " ..." : " COMMAND ...") << "\n"
        << group.summary << "\n\n";
    for (const Subcommand& command : group.subcommands) {
        PrintRow(out, CommandLine(group, command), command.summary);
    }
    out << "\n" << kGlobalOptionsHelp;
}

void PrintCommandHelp(std::ostream& out, const CommandGroup& group, const Subcommand& command) {
    out << "usage: kelvractl LINK [OPTIONS] " << CommandLine(group, command) << "\n"
        << command.summary << "\n\n"
        << kGlobalOptionsHelp;
}

} // namespace kelvra::cli
