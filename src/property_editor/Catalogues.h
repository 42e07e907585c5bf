#pragma once

#include "driver/ItemDescriptor.h"

#include <array>
#include <cstddef>
#include <vector>

namespace kelvra {

// The terminal's items as the property view read them, indexed by item number. An entry keeps
// what it holds until a later load overwrites it. The entry after the terminal's last item
// serves the property view's punch-error-times row, so at most 100 terminal items fit.
class ItemCatalogue {
public:
    static constexpr int kEntries = 101;

    // An index outside 0 to 100 throws std::out_of_range.
    ItemDescriptor& at(int index);
    const ItemDescriptor& at(int index) const;

private:
    std::array<ItemDescriptor, kEntries> m_entries;
};

// The fields of the table item last opened, indexed by field number; re-sized to the table's
// field count at every opening.
class FieldCatalogue {
public:
    void Resize(int count);
    int Count() const { return static_cast<int>(m_entries.size()); }
    // An index outside the present fields throws std::out_of_range.
    FieldDescriptor& at(int index);
    const FieldDescriptor& at(int index) const;

private:
    std::vector<FieldDescriptor> m_entries;
};

// The two tables the property view and its editors share: the property view is the only
// writer of the items, the table item editor the only writer of the fields.
struct Catalogues {
    ItemCatalogue items;
    FieldCatalogue fields;
};

} // namespace kelvra
