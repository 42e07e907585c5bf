#pragma once

#include "platform/DateTime.h"

#include <cstdint>

namespace kelvra {

// The system's time sources. The tick count is a 32-bit millisecond counter that wraps to 0
// after 2^32 ms; the waits of the driver are written against that wrap.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t tickCount() = 0;
    virtual void sleep(int milliseconds) = 0;
    virtual DateTime now() = 0;
};

// Delivers the notifications that are pending (link data, timers, window events). Waiting
// operations call it so the program stays alive while a command waits.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

} // namespace kelvra
