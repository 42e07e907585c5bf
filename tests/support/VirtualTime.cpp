#include "VirtualTime.h"

namespace kelvra::test {

namespace {
// Bounds the notifications one processEvents delivers, so a test that posts in a loop ends.
constexpr int kMaxNotificationsPerPump = 100000;
} // namespace

VirtualTime::VirtualTime(std::uint32_t startTick, DateTime startTime)
    : m_startTick(startTick), m_startTime(startTime) {}

std::uint32_t VirtualTime::tickCount() {
    return m_startTick + static_cast<std::uint32_t>(m_elapsedMs);
}

void VirtualTime::sleep(int milliseconds) {
    advance(milliseconds > 0 ? milliseconds : 0);
}

void VirtualTime::advance(std::int64_t milliseconds) {
    const std::int64_t target = m_elapsedMs + milliseconds;
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= target) {
        auto next = m_scheduled.extract(m_scheduled.begin());
        m_elapsedMs = next.key();
        next.mapped()();
    }
    m_elapsedMs = target;
}

DateTime VirtualTime::now() {
    std::int64_t seconds = m_elapsedMs / 1000;
    return m_startTime.plusSeconds(seconds);
}

void VirtualTime::processEvents() {
    ++m_pumpCalls;
    if (onPump) {
        onPump();
    }
    for (int delivered = 0; !m_posted.empty() && delivered < kMaxNotificationsPerPump;
         ++delivered) {
        auto notification = std::move(m_posted.front());
        m_posted.pop_front();
        notification();
    }
}

void VirtualTime::waitForEvents(int maxMs) {
    if (m_posted.empty()) {
        const std::int64_t deadline = m_elapsedMs + (maxMs > 0 ? maxMs : 0);
        const bool happensFirst = !m_scheduled.empty() && m_scheduled.begin()->first < deadline;
        advance((happensFirst ? m_scheduled.begin()->first : deadline) - m_elapsedMs);
    }
    processEvents();
}

void VirtualTime::at(std::int64_t delayMs, std::function<void()> action) {
    m_scheduled.emplace(m_elapsedMs + (delayMs > 0 ? delayMs : 0), std::move(action));
}

void VirtualTime::post(std::function<void()> notification) {
    m_posted.push_back(std::move(notification));
}

} // namespace kelvra::test
