#pragma once

#include "platform/Clock.h"

#include <cstdint>

namespace kelvra {

// The system's time sources on Qt: a 32-bit millisecond tick from the monotonic clock, sleeps
// of the calling thread, local wall-clock time, and QCoreApplication's event processing.
// processEvents needs a QCoreApplication (or QApplication) on the calling thread.
class QtClock final : public Clock, public EventPump {
public:
    // Dispatcher rounds in one processEvents at most.
    static constexpr int kMaxRounds = 16;

    // `tickOffset` is added to every reading before truncation, so tests can start the counter
    // just short of its wrap.
    explicit QtClock(std::uint32_t tickOffset = 0) : m_tickOffset(tickOffset) {}

    // Milliseconds of the monotonic clock, truncated to 32 bits: wraps to 0 after 2^32 ms.
    std::uint32_t tickCount() override;
    // Blocks the calling thread; zero or less returns at once.
    void sleep(int milliseconds) override;
    // Local date and time of day, to the second.
    DateTime now() override;
    // Delivers every pending event (posted events, socket and serial notifications, timers),
    // and the events those set off, without waiting for more: dispatcher rounds until one
    // finds nothing, kMaxRounds at most. Safe to call nested, from inside a notification.
    void processEvents() override;
    // The event dispatcher's blocking wait, bounded by a precise timer: the thread sleeps in
    // the system's poll until a socket, a serial line, a posted event or the timer wakes it.
    // Without an event loop on the thread it sleeps `maxMs`.
    void waitForEvents(int maxMs) override;

private:
    std::uint32_t m_tickOffset;
};

} // namespace kelvra
