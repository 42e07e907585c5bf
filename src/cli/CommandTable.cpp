#include "cli/CommandTable.h"

namespace kelvra::cli {

std::vector<const CommandGroup*> AllGroups() {
    std::vector<const CommandGroup*> groups;
    for (const auto& list :
         {LinkCommands(), ClockCommands(), ItemCommands(), TableCommands(), BellCommands(),
          RecordCommands(), MonitorCommands(), DeviceCommands(), ModuleCommands()}) {
        for (const CommandGroup& group : list) {
            groups.push_back(&group);
        }
    }
    return groups;
}

const CommandGroup* FindGroup(std::string_view name) {
    for (const CommandGroup* group : AllGroups()) {
        if (group->name == name) {
            return group;
        }
    }
    return nullptr;
}

const Subcommand* FindSubcommand(const CommandGroup& group, std::string_view name) {
    for (const Subcommand& subcommand : group.subcommands) {
        if (subcommand.name == name) {
            return &subcommand;
        }
    }
    return nullptr;
}

} // namespace kelvra::cli
