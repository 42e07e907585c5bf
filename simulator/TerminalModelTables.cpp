// Table items: field descriptors, the cursor walk and record changes.
#include "TerminalModel.h"
#include "TerminalText.h"

#include <algorithm>

namespace kelvra::sim {

TerminalModel::Item* TerminalModel::tableItem(std::string_view& data) {
    int item = 0;
    if (!parseAddress(data, item, nullptr)) {
        return nullptr;
    }
    Item& entry = m_items[static_cast<std::size_t>(item)];
    return entry.type == "TAB" ? &entry : nullptr;
}

std::optional<std::vector<std::string>> TerminalModel::parseRow(const Item& table,
                                                                std::string_view text) const {
    const std::vector<std::string_view> fields = SplitTabs(text);
    if (fields.size() != table.fields.size()) {
        return std::nullopt;
    }
    std::vector<std::string> row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& field = table.fields[i];
        if (!valueFits(field.type, CaptionCount(field.selection), fields[i])) {
            return std::nullopt;
        }
        row.emplace_back(field.type == "VAL" ? std::to_string(*StrictInteger(fields[i]))
                                             : std::string(fields[i]));
    }
    return row;
}

std::string TerminalModel::cmdFieldInfo(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    const auto field = TwoDigits(data);
    if (table == nullptr || !field || *field >= static_cast<int>(table->fields.size())) {
        return kFail;
    }
    const FieldDef& def = table->fields[static_cast<std::size_t>(*field)];
    std::string text = std::to_string(*field);
    for (const std::string* part : {&def.type, &def.definition, &def.help, &def.selection}) {
        text += TAB;
        text += *part;
    }
    return Ok(text);
}

std::string TerminalModel::cmdTableTop(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || !data.empty()) {
        return kFail;
    }
    table->cursor = 0;
    return Ok();
}

std::string TerminalModel::cmdTableFetch(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || !data.empty()) {
        return kFail;
    }
    if (table->cursor >= table->rows.size()) {
        return kEnd;
    }
    const TableRow& row = table->rows[table->cursor];
    std::string text = std::to_string(row.index);
    for (const std::string& field : row.fields) {
        text += TAB;
        text += field;
    }
    return Ok(text);
}

std::string TerminalModel::cmdTableConfirm(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || !data.empty()) {
        return kFail;
    }
    if (table->cursor >= table->rows.size()) {
        return kEnd;
    }
    ++table->cursor;
    return Ok();
}

std::string TerminalModel::cmdTableAdd(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr) {
        return kFail;
    }
    if (!canWrite(table->flags)) {
        return kDenied;
    }
    auto row = parseRow(*table, data);
    if (!row) {
        return kFail;
    }
    for (const TableRow& existing : table->rows) {
        if (existing.fields[0] == (*row)[0]) {
            return "K";
        }
    }
    table->rows.push_back({table->nextIndex++, std::move(*row)});
    return Ok();
}

std::string TerminalModel::cmdTableEdit(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || data.size() < 4) {
        return kFail;
    }
    if (!canWrite(table->flags)) {
        return kDenied;
    }
    const auto index = StrictInteger(data.substr(0, 4));
    auto row = parseRow(*table, data.substr(4));
    if (!index || !row) {
        return kFail;
    }
    auto target = std::find_if(table->rows.begin(), table->rows.end(),
                               [&](const TableRow& r) { return r.index == *index; });
    if (target == table->rows.end()) {
        return kFail;
    }
    for (const TableRow& other : table->rows) {
        if (&other != &*target && other.fields[0] == (*row)[0]) {
            return "K";
        }
    }
    target->fields = std::move(*row);
    return Ok();
}

std::string TerminalModel::cmdTableRemove(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || data.size() != 4) {
        return kFail;
    }
    if (!canWrite(table->flags)) {
        return kDenied;
    }
    const auto index = StrictInteger(data);
    auto target = std::find_if(table->rows.begin(), table->rows.end(),
                               [&](const TableRow& r) { return index && r.index == *index; });
    if (target == table->rows.end()) {
        return kFail;
    }
    const auto position = static_cast<std::size_t>(target - table->rows.begin());
    table->rows.erase(target);
    if (table->cursor > position) {
        --table->cursor; // the cursor stays on the record it was on
    }
    return Ok();
}

} // namespace kelvra::sim
