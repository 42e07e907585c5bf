// The weekly bell table: 32 bells a day, one slot each.
#include "driver/ArgumentText.h"
#include "driver/ucKelvra.h"

namespace kelvra {

namespace {

// Clearing the whole table takes the terminal far longer than an ordinary command.
constexpr std::int32_t kClearBellTableTimeoutMs = 30000;

} // namespace

void ucKelvra::SetBellTimeMode(std::int16_t i_ID, std::int16_t i_Mode) {
    m_ErrCode = KV_SUCCESS;
    ExeCmd("WE", i_ID, "0" + PlainDecimal(i_Mode), true);
}

void ucKelvra::GetBellTimeMode(std::int16_t i_ID) {
    m_ErrCode = KV_SUCCESS;
    ExeCmd("WS", i_ID, "", true);
}

void ucKelvra::ClearBellTimeSettings(std::int16_t i_ID) {
    struct RestoreTimeout {
        std::int32_t& timeout;
        std::int32_t saved;
        ~RestoreTimeout() { timeout = saved; }
    } restore{m_Timeout, m_Timeout};
    m_Timeout = kClearBellTableTimeoutMs;
    m_ErrCode = KV_SUCCESS;
    ExeCmd("WC", i_ID, "", true);
}

void ucKelvra::GetBellTime(std::int16_t i_ID, std::int16_t i_WeekdayIndex,
                           std::int16_t i_BellTimeIndex) {
    const std::int16_t slot = BellSlot(i_WeekdayIndex, i_BellTimeIndex);
    m_ErrCode = KV_SUCCESS;
    ExeCmd("WG", i_ID, Hex2(slot), true);
}

void ucKelvra::SetBellTime(std::int16_t i_ID, std::int16_t i_WeekdayIndex,
                           std::int16_t i_BellTimeIndex, const DateTime& i_Time,
                           std::int16_t i_Enabled) {
    const std::int16_t slot = BellSlot(i_WeekdayIndex, i_BellTimeIndex);
    m_ErrCode = KV_SUCCESS;
    ExeCmd("WT", i_ID, Hex2(slot) + TimeText(i_Time) + AtLeast2(i_Enabled), true);
}

} // namespace kelvra
