// Link tests, the operator's login, and the clock, date and machine items.
#include "driver/ArgumentText.h"
#include "driver/LeadingNumber.h"
#include "driver/ucKelvra.h"

#include <limits>
#include <stdexcept>

namespace kelvra {

namespace {

// The clock, date and machine items are addressed by name; their reference numbers differ
// between terminal models.
const std::string kTimeItem = QuotedItemAddress("TIME");
const std::string kDateItem = QuotedItemAddress("DATE");
const std::string kMachNoItem = QuotedItemAddress("MACHNO");
const std::string kMachNameItem = QuotedItemAddress("MACHNAME");

// The item that holds the terminal's date-format code.
constexpr std::int16_t kDateFormatReference = 4;
constexpr std::int16_t kDateFormatMember = 0;

} // namespace

void ucKelvra::EchoTest(std::int16_t i_iID, const std::string& i_sData) {
    ExeCmd("E", i_iID, i_sData, true);
}

void ucKelvra::Polling(std::int16_t i_iSourceID, std::int16_t i_iMachID) {
    ExeCmd("BW", i_iSourceID, AtLeast4(i_iMachID), true);
}

void ucKelvra::SendRawData(std::int16_t i_iID, const std::string& i_sData, bool i_blnNeedAck) {
    m_ErrCode = KV_SUCCESS;
    ExeCmd("", i_iID, i_sData, i_blnNeedAck);
}

void ucKelvra::Login(std::int64_t i_iID, const std::string& i_sPassword) {
    if (i_iID < std::numeric_limits<std::int16_t>::min() ||
        i_iID > std::numeric_limits<std::int16_t>::max()) {
        throw std::overflow_error("Overflow");
    }
    const auto id = static_cast<std::int16_t>(i_iID);
    // Only a silent terminal is asked again; a refusal is an answer.
    for (std::int32_t repetitions = 0;; ++repetitions) {
        ExeCmd("LI", id, i_sPassword, true);
        if (m_ErrCode != KV_ERR_TIMEOUT || repetitions >= m_ErrorCount) {
            return;
        }
    }
}

void ucKelvra::Logout(std::int16_t i_iID) {
    ExeCmd("LO", i_iID, "", true);
}

void ucKelvra::LoginStatus(std::int16_t i_iID) {
    ExeCmd("LS", i_iID, "", true);
}

void ucKelvra::GetTime(std::int16_t i_iID) {
    ExeCmd("IG", i_iID, kTimeItem, true);
}

void ucKelvra::GetDate(std::int16_t i_iID) {
    ExeCmd("IG", i_iID, kDateItem, true);
}

void ucKelvra::GetMachNo(std::int16_t i_iID) {
    ExeCmd("IG", i_iID, kMachNoItem, true);
}

void ucKelvra::GetMachName(std::int16_t i_iID) {
    ExeCmd("IG", i_iID, kMachNameItem, true);
}

void ucKelvra::SetTime(std::int16_t i_iID, const DateTime& i_dtTime) {
    ExeCmd("IS", i_iID, kTimeItem + TimeText(i_dtTime), true);
}

void ucKelvra::SetDate(std::int16_t i_iID, const DateTime& i_dtDate) {
    ExeCmd("IS", i_iID, kDateItem + DateText(i_dtDate), true);
}

void ucKelvra::SetMachNo(std::int16_t i_iID, std::int16_t i_iMachNo) {
    ExeCmd("IS", i_iID, kMachNoItem + PlainDecimal(i_iMachNo), true);
}

void ucKelvra::SetMachName(std::int16_t i_iID, const std::string& i_sMachName) {
    ExeCmd("IS", i_iID, kMachNameItem + i_sMachName, true);
}

void ucKelvra::GetDateFormat(std::int16_t i_iID) {
    GetItem(i_iID, kDateFormatReference, kDateFormatMember);
    // The reply is taken out whatever happens, also when it cannot be read as a number.
    std::string reply;
    GetData(reply);
    if (m_ErrCode == KV_SUCCESS) {
        m_DateFormat = ReadInt16(reply);
    }
}

} // namespace kelvra
