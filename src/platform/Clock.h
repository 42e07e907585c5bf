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
    // Waits until a notification is pending or `maxMs` milliseconds have passed, whichever
    // comes first, then delivers what is pending as processEvents does. With something pending
    // already, or `maxMs` 0 or less, it does not wait. It may return early without anything
    // delivered; callers keep their own time.
    virtual void waitForEvents(int maxMs) = 0;
};

} // namespace kelvra
