#include "driver/CTimeout.h"

namespace kelvra {

void CTimeout::SetWaitingTime(std::int16_t i_iWaitingTime) {
    m_WaitingTime = i_iWaitingTime;
    m_StartTick = m_clock.tickCount();
}

bool CTimeout::IsUp() {
    m_clock.sleep(1);
    const std::uint32_t reading = m_clock.tickCount();
    std::int64_t elapsed = 0;
    if (reading < m_StartTick) {
        // The counter wrapped: the measurement starts again from here.
        m_StartTick = reading;
    } else {
        elapsed = static_cast<std::int64_t>(reading - m_StartTick);
    }
    return elapsed > m_WaitingTime;
}

} // namespace kelvra
