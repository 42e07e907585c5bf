#pragma once

#include "ModuleModel.h"

namespace kelvra::sim {

// Registers the module's configuration commands ("V", "I", "L", "A", "S"/"G"/"P" with their
// codes, "PG"/"PS") with their factory settings; ModuleModel.h describes them.
void AddConfigurationCommands(ModuleModel& module);

} // namespace kelvra::sim
