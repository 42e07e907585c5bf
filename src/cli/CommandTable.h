#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace kelvra::cli {

class Arguments;
class Session;

// One thing the program does: "time set", or "echo" for a group that is a single command.
struct Subcommand {
    std::string_view name;     // empty: the group itself is the command
    std::string_view synopsis; // what follows the name on the command line
    std::string_view summary;  // one line for the lists
    void (*run)(Session& session, Arguments& arguments);
};

// A group of commands: the word after the program's name.
struct CommandGroup {
    std::string_view name;
    std::string_view summary;
    std::span<const Subcommand> subcommands;
    // The module group talks to the interface module, not to the terminal.
    bool needsTerminal = true;
};

// The groups, by concern; one source file each.
std::span<const CommandGroup> LinkCommands();    // echo, poll, raw, login, logout, status
std::span<const CommandGroup> ClockCommands();   // time, date, machno, machname, dateformat
std::span<const CommandGroup> ItemCommands();    // items, item
std::span<const CommandGroup> TableCommands();   // table
std::span<const CommandGroup> BellCommands();    // bells
std::span<const CommandGroup> RecordCommands();  // records
std::span<const CommandGroup> MonitorCommands(); // monitor, extended
std::span<const CommandGroup> DeviceCommands();  // display, relay, punch-times
std::span<const CommandGroup> ModuleCommands();  // module

// Every group, in the order the help lists them.
std::vector<const CommandGroup*> AllGroups();
const CommandGroup* FindGroup(std::string_view name);
const Subcommand* FindSubcommand(const CommandGroup& group, std::string_view name);

} // namespace kelvra::cli
