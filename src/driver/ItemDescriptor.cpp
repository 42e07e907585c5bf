#include "driver/ItemDescriptor.h"

#include "driver/LeadingNumber.h"
#include "driver/SplitText.h"

#include <stdexcept>
#include <vector>

namespace kelvra {

namespace {

constexpr char kFieldSeparator = '\t';
constexpr char kCaptionSeparator = ';';

std::string_view fieldOrEmpty(const std::vector<std::string_view>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string_view{};
}

// Fills the captions from the last field, which only a descriptor with every field has.
template <std::size_t N>
bool fillSelection(const std::vector<std::string_view>& fields, std::size_t fieldCount,
                   std::array<std::string, N>& selection) {
    if (fields.size() != fieldCount) {
        return true;
    }
    const auto captions = SplitText(fields.back(), kCaptionSeparator, N);
    if (!captions) {
        return false;
    }
    for (std::size_t i = 0; i < captions->size(); ++i) {
        selection[i] = std::string((*captions)[i]);
    }
    return true;
}

} // namespace

std::optional<ItemDescriptor> ParseItemDescriptor(std::string_view text) {
    constexpr std::size_t kFields = 8;
    const auto fields = SplitText(text, kFieldSeparator, kFields);
    if (!fields) {
        return std::nullopt;
    }
    ItemDescriptor item;
    try {
        item.Name = std::string(fieldOrEmpty(*fields, 0));
        item.ID = ReadInt16(fieldOrEmpty(*fields, 1));
        item.Type = std::string(fieldOrEmpty(*fields, 2));
        item.Size = ReadInt16(fieldOrEmpty(*fields, 3));
        item.Flags = ReadInt16(fieldOrEmpty(*fields, 4));
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
    item.Definition = std::string(fieldOrEmpty(*fields, 5));
    item.Help = std::string(fieldOrEmpty(*fields, 6));
    if (!fillSelection(*fields, kFields, item.Selection)) {
        return std::nullopt;
    }
    return item;
}

std::optional<FieldDescriptor> ParseFieldDescriptor(std::string_view text) {
    constexpr std::size_t kFields = 5;
    const auto fields = SplitText(text, kFieldSeparator, kFields);
    if (!fields) {
        return std::nullopt;
    }
    FieldDescriptor field;
    try {
        field.ID = ReadInt16(fieldOrEmpty(*fields, 0));
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
    field.Type = std::string(fieldOrEmpty(*fields, 1));
    field.Definition = std::string(fieldOrEmpty(*fields, 2));
    field.Help = std::string(fieldOrEmpty(*fields, 3));
    if (!fillSelection(*fields, kFields, field.Selection)) {
        return std::nullopt;
    }
    return field;
}

} // namespace kelvra
