// The item catalogue and the members of array items.
#include "driver/ArgumentText.h"
#include "driver/ItemDescriptor.h"
#include "driver/ucKelvra.h"

#include <algorithm>
#include <stdexcept>

namespace kelvra {

namespace {

// Callers show eleven value captions, whatever the descriptor holds.
constexpr std::size_t kCaptionsCopied = 11;

void copyCaptions(const auto& selection, std::span<std::string> o_sSelStrs) {
    std::copy_n(selection.begin(), kCaptionsCopied, o_sSelStrs.begin());
}

void requireCaptionSlots(std::span<std::string> o_sSelStrs) {
    if (o_sSelStrs.size() < kCaptionsCopied) {
        throw std::out_of_range("Subscript out of range");
    }
}

} // namespace

void ucKelvra::GetItemCount(std::int16_t i_iID) {
    ExeCmd("IC", i_iID, "", true);
}

void ucKelvra::ItemUpdate(std::int16_t i_iID) {
    ExeCmd("IU", i_iID, "", true);
}

void ucKelvra::GetItemNumberByName(std::int16_t i_iID, const std::string& i_sName) {
    ExeCmd("IL", i_iID, i_sName, true);
}

void ucKelvra::GetItemInfo(std::int16_t i_iID, std::int16_t i_iItemIdx) {
    ExeCmd("I?", i_iID, TwoDigitField(i_iItemIdx), true);
}

void ucKelvra::GetItem(std::int16_t i_iID, std::int16_t i_iReference, std::int16_t i_iMember) {
    ExeCmd("IG", i_iID, TwoDigitField(i_iReference) + TwoDigitField(i_iMember), true);
}

void ucKelvra::SetItem(std::int16_t i_iID, std::int16_t i_iReference, std::int16_t i_iMember,
                       const std::string& i_sData) {
    ExeCmd("IS", i_iID, TwoDigitField(i_iReference) + TwoDigitField(i_iMember) + i_sData, true);
}

void ucKelvra::GetItemDefault(std::int16_t i_iID, std::int16_t i_iReference,
                              std::int16_t i_iMember) {
    ExeCmd("ID", i_iID, TwoDigitField(i_iReference) + TwoDigitField(i_iMember), true);
}

void ucKelvra::GetData_ItemInfo(std::string& o_sName, std::int16_t& o_iID, std::string& o_sType,
                                std::int16_t& o_iSize, std::int16_t& o_iFlags,
                                std::string& o_sDefinition, std::string& o_sHelp,
                                std::span<std::string> o_sSelStrs) const {
    requireCaptionSlots(o_sSelStrs);
    const ItemDescriptor item = ParseItemDescriptor(m_ReceiveBuffer).value_or(ItemDescriptor{});
    o_sName = item.Name;
    o_iID = item.ID;
    o_sType = item.Type;
    o_iSize = item.Size;
    o_iFlags = item.Flags;
    o_sDefinition = item.Definition;
    o_sHelp = item.Help;
    copyCaptions(item.Selection, o_sSelStrs);
}

void ucKelvra::GetData_FieldInfo(std::int16_t& o_iID, std::string& o_sType,
                                 std::string& o_sDefinition, std::string& o_sHelp,
                                 std::span<std::string> o_sSelStrs) const {
    requireCaptionSlots(o_sSelStrs);
    const FieldDescriptor field = ParseFieldDescriptor(m_ReceiveBuffer).value_or(FieldDescriptor{});
    o_iID = field.ID;
    o_sType = field.Type;
    o_sDefinition = field.Definition;
    o_sHelp = field.Help;
    copyCaptions(field.Selection, o_sSelStrs);
}

} // namespace kelvra
