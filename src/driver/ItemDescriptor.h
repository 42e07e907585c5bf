#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra {

// A terminal item as its catalogue entry (the reply of "I?") describes it. On the wire: up to
// eight TAB-separated fields Name, ID, Type, Size, Flags, Definition, Help, Selection, the
// last a ";"-separated list of value captions (caption i stands for value i).
struct ItemDescriptor {
    static constexpr std::size_t kSelectionSize = 101;
    // The bits of Flags.
    static constexpr std::int16_t kNotSupported = 1;          // a row for an item not there
    static constexpr std::int16_t kAvailableWithoutLogin = 4; // writable without login
    static constexpr std::int16_t kAvailableAfterLogin = 8;   // writable after login
    static constexpr std::int16_t kFlagNeedsUpdate = 32;      // a change needs "IU" to apply

    std::string Name;
    std::int16_t ID = 0;
    std::string Type; // "VAL", "STR", "TIME", "DATE"; "TAB" for a table item
    std::int16_t Size = 0;
    std::int16_t Flags = 0; // the bits below
    std::string Definition;
    std::string Help;
    std::array<std::string, kSelectionSize> Selection;

    bool operator==(const ItemDescriptor&) const = default;
};

// A field of a table item (the reply of "I*"): ID, Type, Definition, Help, Selection.
struct FieldDescriptor {
    static constexpr std::size_t kSelectionSize = 51;

    std::int16_t ID = 0;
    std::string Type;
    std::string Definition;
    std::string Help;
    std::array<std::string, kSelectionSize> Selection;

    bool operator==(const FieldDescriptor&) const = default;
};

// Both give nothing for a malformed descriptor: a field too many, a caption too many, or a
// number that does not fit 16 bits. A missing field reads as empty text or 0.
std::optional<ItemDescriptor> ParseItemDescriptor(std::string_view text);
std::optional<FieldDescriptor> ParseFieldDescriptor(std::string_view text);

} // namespace kelvra
