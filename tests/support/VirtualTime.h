#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>

namespace kelvra::test {

// Time that passes only when the code under test sleeps. Things that happen "out there" (a
// reply reaching a socket, a connection being accepted) are scheduled at a virtual time and
// happen during the sleep that reaches it; the notifications they post are delivered by the
// next processEvents, as a real event loop would.
class VirtualTime : public Clock, public EventPump {
public:
    explicit VirtualTime(std::uint32_t startTick = 1000,
                         DateTime startTime = DateTime::fromParts(2026, 12, 6, 8, 0, 0));

    std::uint32_t tickCount() override;
    void sleep(int milliseconds) override;
    DateTime now() override;
    void processEvents() override;
    // Moves time on to the next scheduled happening or to the deadline, whichever comes first,
    // then delivers the notifications; does not move it while one is pending.
    void waitForEvents(int maxMs) override;

    // Runs the action once virtual time has moved delayMs past now.
    void at(std::int64_t delayMs, std::function<void()> action);
    // Queues a notification for the next processEvents.
    void post(std::function<void()> notification);
    // Moves time on without a sleep, as a pass held up elsewhere would.
    void advance(std::int64_t milliseconds);

    std::int64_t elapsedMs() const { return m_elapsedMs; }
    int pumpCalls() const { return m_pumpCalls; }

    // Called at every processEvents before the queued notifications.
    std::function<void()> onPump;

private:
    std::uint32_t m_startTick;
    DateTime m_startTime;
    std::int64_t m_elapsedMs = 0;
    std::multimap<std::int64_t, std::function<void()>> m_scheduled;
    std::deque<std::function<void()>> m_posted;
    int m_pumpCalls = 0;
};

} // namespace kelvra::test
