#pragma once

#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <cstdint>

namespace kelvra {

// The module client's wait: it checks the tick count until `ms` milliseconds have passed,
// letting pending events (the arrival of reply datagrams among them) run six times per check.
// Each check naps 1 ms first, so the wait neither spins the processor nor misses a datagram
// that arrived during the nap. A wait makes at least one check.
//
// The tick count is compared as a signed 32-bit number: when it falls below the start, as
// when the counter passes 2^31, the measurement starts again from there.
//
// A failure raised by an event handler ends the wait with a message box under the
// application title.
void WaitMs(Clock& clock, EventPump& pump, Dialogs& dialogs, std::int32_t ms);

} // namespace kelvra
