// Table items. The cursor is the terminal's; every cursor command names its table.
#include "driver/ArgumentText.h"
#include "driver/ucKelvra.h"

namespace kelvra {

void ucKelvra::GetItemTab_FieldInfo(std::int16_t i_iID, std::int16_t i_iReference,
                                    std::int16_t i_iFieldIdx) {
    ExeCmd("I*", i_iID, TwoDigitField(i_iReference) + TwoDigitField(i_iFieldIdx), true);
}

void ucKelvra::SetItemTab_ItemTop(std::int16_t i_iID, std::int16_t i_iReference) {
    ExeCmd("IT", i_iID, TwoDigitField(i_iReference), true);
}

void ucKelvra::GetItemTab_ItemFetch(std::int16_t i_iID, std::int16_t i_iReference) {
    ExeCmd("IF", i_iID, TwoDigitField(i_iReference), true);
}

void ucKelvra::SetItemTab_ItemConfirm(std::int16_t i_iID, std::int16_t i_iReference) {
    ExeCmd("IH", i_iID, TwoDigitField(i_iReference), true);
}

void ucKelvra::SetItemTab_ItemAdd(std::int16_t i_iID, std::int16_t i_iReference,
                                  const std::string& i_sItemData) {
    ExeCmd("IA", i_iID, TwoDigitField(i_iReference) + i_sItemData, true);
}

void ucKelvra::SetItemTab_ItemEdit(std::int16_t i_iID, std::int16_t i_iReference,
                                   std::int16_t i_iRecorderNumber, const std::string& i_sItemData) {
    ExeCmd("IE", i_iID,
           TwoDigitField(i_iReference) + FourDigitField(i_iRecorderNumber) + i_sItemData, true);
}

void ucKelvra::SetItemTab_ItemRemove(std::int16_t i_iID, std::int16_t i_iReference,
                                     std::int16_t i_iRecorderNumber) {
    ExeCmd("IR", i_iID, TwoDigitField(i_iReference) + FourDigitField(i_iRecorderNumber), true);
}

} // namespace kelvra
