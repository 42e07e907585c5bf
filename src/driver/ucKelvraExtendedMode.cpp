// Extended mode: the terminal pushes each punch record and waits for its confirmation.
#include "driver/ucKelvra.h"

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

} // namespace kelvra
