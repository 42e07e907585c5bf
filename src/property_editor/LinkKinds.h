#pragma once

#include <cstdint>

namespace kelvra {

// The link types that reach the terminal by its address (datagram, and the stream through the
// interface module) and those that use a serial port.
constexpr bool IsNetworkLink(std::int32_t type) {
    return type == 2 || type == 3 || type == 4 || type == 5 || type == 7;
}
constexpr bool IsSerialLink(std::int32_t type) {
    return type == 0 || type == 1 || type == 6;
}
// Links that carry several terminals: the bell table has no place there, and the toolbar's
// Refresh first selects the terminal by polling.
constexpr bool IsMultiTerminalLink(std::int32_t type) {
    return type == 6 || type == 7;
}

} // namespace kelvra
