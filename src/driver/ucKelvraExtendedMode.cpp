// Extended mode: the terminal pushes each punch record and waits for its confirmation.
#include "driver/ArgumentText.h"
#include "driver/LeadingNumber.h"
#include "driver/ucKelvra.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvra {

void ucKelvra::X_LogOn(std::int16_t i_iID) {
    ExeCmd("XO", i_iID, "", true);
    if (m_ErrCode == KV_SUCCESS) {
        SetRealTimeMode(true);
    }
}

void ucKelvra::X_ResendRecord(std::int16_t i_iID) {
    // The reply is an "XN" frame; the flag keeps the receive path from taking it for a newly
    // pushed record, so the wait below gets it.
    m_ResendPending = true;
    struct ClearPending {
        bool& flag;
        ~ClearPending() { flag = false; }
    } clearPending{m_ResendPending};
    ExeCmd("XR", i_iID, "", true);
}

void ucKelvra::X_ConfirmRecord(std::int16_t i_iID) {
    // No reply is awaited, and ErrCode is left as it was unless the link itself fails.
    ExeCmd("XA", i_iID, "", false);
}

void ucKelvra::X_LogOff(std::int16_t i_iID) {
    ExeCmd("XF", i_iID, "", true);
}

void ucKelvra::X_ShowText(std::int16_t i_iID, std::int16_t i_iDuration,
                          const std::string& i_sMessage) {
    ExeCmd("XT", i_iID, AtLeast2(i_iDuration) + i_sMessage, true);
}

void ucKelvra::X_ActivateBell(std::int16_t i_iID, std::int16_t i_iBellDuration) {
    ExeCmd("XB", i_iID, AtLeast2(i_iBellDuration), true);
}

void ucKelvra::X_ActivateLock(std::int16_t i_iID, std::int16_t i_iLockDuration) {
    ExeCmd("XL", i_iID, AtLeast2(i_iLockDuration), true);
}

void ucKelvra::X_PunchTimesSet(std::int16_t i_iID, std::int16_t i_iPunchTmes) {
    ExeCmd("XP", i_iID, Hex2(i_iPunchTmes), true);
}

void ucKelvra::X_PunchTimesGet(std::int16_t i_iID) {
    ExeCmd("XU", i_iID, "", true);
    if (m_ErrCode != KV_SUCCESS) {
        return;
    }
    // The terminal answers in hexadecimal; callers read decimal. A reply too long to be any
    // count is left as the terminal sent it rather than thrown at the caller.
    try {
        const double count = ReadLeadingNumber("&H" + m_ReceiveBuffer);
        m_ReceiveBuffer = std::to_string(static_cast<std::int64_t>(count));
    } catch (const std::overflow_error&) {
    }
}

} // namespace kelvra
