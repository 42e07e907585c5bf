#pragma once

#include "driver/LinkKinds.h"

#include <cstdint>
#include <string>

namespace kelvra {

// The link the console hands to the property view and the view to its editors: what each of
// them sets on the shared driver before its commands. The driver keeps its own properties;
// these are the windows' copy of them.
struct LinkSettings {
    std::int32_t kind = kDatagramLink; // CommunicationType
    std::string address;               // empty: the driver keeps the address it has
    std::int16_t serialPort = 1;
    std::int16_t source = 0;    // the terminal number every command addresses
    std::int16_t timeoutMs = 0; // 0: the window's own
};

} // namespace kelvra
