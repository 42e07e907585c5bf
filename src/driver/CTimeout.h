#pragma once

#include "platform/Clock.h"

#include <cstdint>

namespace kelvra {

// A millisecond time-out over the system tick counter. Each check sleeps 1 ms so that the
// loops polling it do not spin.
class CTimeout {
public:
    explicit CTimeout(Clock& clock) : m_clock(clock) {}

    void SetWaitingTime(std::int16_t i_iWaitingTime);
    bool IsUp();

private:
    Clock& m_clock;
    std::int16_t m_WaitingTime = 0;
    std::uint32_t m_StartTick = 0;
};

} // namespace kelvra
