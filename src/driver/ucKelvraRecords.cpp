// Record download: the read transaction and the record store are the terminal's, so each
// command is its two letters and nothing else.
#include "driver/ucKelvra.h"

namespace kelvra {

void ucKelvra::RecordCount(std::int16_t i_iID) {
    ExeCmd("RN", i_iID, "", true);
}
void ucKelvra::GetRecord(std::int16_t i_iID) {
    ExeCmd("RG", i_iID, "", true);
}
void ucKelvra::ConfirmRecord(std::int16_t i_iID) {
    ExeCmd("RH", i_iID, "", true);
}
void ucKelvra::AbortReadTransation(std::int16_t i_iID) {
    ExeCmd("RA", i_iID, "", true);
}
void ucKelvra::CommitReadTransation(std::int16_t i_iID) {
    ExeCmd("RC", i_iID, "", true);
}
void ucKelvra::DeleteOldRecords(std::int16_t i_iID) {
    ExeCmd("RO", i_iID, "", true);
}
void ucKelvra::ResetOldRecords(std::int16_t i_iID) {
    ExeCmd("RR", i_iID, "", true);
}
void ucKelvra::InitializeDatabase(std::int16_t i_iID) {
    ExeCmd("RI", i_iID, "", true);
}
void ucKelvra::RecorverDatabase(std::int16_t i_iID) {
    ExeCmd("RM", i_iID, "", true);
}

} // namespace kelvra
