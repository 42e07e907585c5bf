#include "property_editor/Catalogues.h"

#include <stdexcept>

namespace kelvra {

namespace {

template <class Table> auto& Entry(Table& table, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) {
        throw std::out_of_range("Subscript out of range");
    }
    return table[static_cast<std::size_t>(index)];
}

} // namespace

ItemDescriptor& ItemCatalogue::at(int index) {
    return Entry(m_entries, index);
}

const ItemDescriptor& ItemCatalogue::at(int index) const {
    return Entry(m_entries, index);
}

void FieldCatalogue::Resize(int count) {
    m_entries.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
}

FieldDescriptor& FieldCatalogue::at(int index) {
    return Entry(m_entries, index);
}

const FieldDescriptor& FieldCatalogue::at(int index) const {
    return Entry(m_entries, index);
}

} // namespace kelvra
