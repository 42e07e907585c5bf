// Array items: addresses, descriptors, reading and writing members.
#include "TerminalModel.h"
#include "TerminalText.h"
#include "driver/ArgumentText.h"

namespace kelvra::sim {

int TerminalModel::itemIndex(std::string_view name) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Takes an item address off the front of `data`: a two-digit reference or a quoted name,
// then (when `member` is given) a two-digit member number.
bool TerminalModel::parseAddress(std::string_view& data, int& item, int* member) const {
    if (!data.empty() && data.front() == '"') {
        const std::size_t close = data.find('"', 1);
        if (close == std::string_view::npos) {
            return false;
        }
        item = itemIndex(data.substr(1, close - 1));
        data.remove_prefix(close + 1);
    } else {
        const auto reference = TwoDigits(data.substr(0, 2));
        if (!reference) {
            return false;
        }
        item = *reference;
        data.remove_prefix(2);
    }
    if (item < 0 || item >= static_cast<int>(m_items.size())) {
        return false;
    }
    if (member != nullptr) {
        const auto number = TwoDigits(data.substr(0, 2));
        if (!number) {
            return false;
        }
        *member = *number;
        data.remove_prefix(2);
    }
    return true;
}

bool TerminalModel::valueFits(const std::string& type, int selectionCount,
                              std::string_view value) const {
    if (type == "VAL") {
        const auto number = StrictInteger(value);
        if (!number || *number < -32768 || *number > 32767) {
            return false;
        }
        return selectionCount == 0 || (*number >= 0 && *number < selectionCount);
    }
    if (type == "STR") {
        return value.size() <= 40 && value.find(TAB) == std::string_view::npos;
    }
    if (type == "TIME") {
        return ParseTime(value).has_value();
    }
    if (type == "DATE") {
        return ParseDate(value).has_value();
    }
    return false;
}

bool TerminalModel::canWrite(int flags) const {
    return (flags & kFlagWritable) != 0 || ((flags & kFlagWritableAfterLogin) != 0 && m_loggedIn);
}

std::string TerminalModel::itemDescriptor(const Item& item, int reference) const {
    std::string text = item.name;
    text += TAB;
    text += std::to_string(100 + reference);
    text += TAB;
    text += item.type;
    text += TAB;
    text += std::to_string(item.size);
    text += TAB;
    text += std::to_string(item.flags);
    text += TAB;
    text += item.definition;
    text += TAB;
    text += item.help;
    text += TAB;
    text += item.selection;
    return text;
}

std::string TerminalModel::readMember(const Item& item, int member, bool defaults) const {
    if (item.type == "TAB") {
        return kNotApplicable;
    }
    if (member < 0 || member >= item.size) {
        return kFail;
    }
    if (item.denied || (item.name == "LOGINPWD" && !m_loggedIn)) {
        return kDenied;
    }
    if (!defaults && item.type == "TIME") {
        return Ok(TimeText(terminalTime()));
    }
    if (!defaults && item.type == "DATE") {
        return Ok(DateText(terminalTime()));
    }
    return Ok((defaults ? item.defaults : item.values)[static_cast<std::size_t>(member)]);
}

std::string TerminalModel::writeMember(Item& item, int member, std::string_view value) {
    if (item.type == "TAB") {
        return kNotApplicable;
    }
    if (member < 0 || member >= item.size) {
        return kFail;
    }
    if (item.denied || !canWrite(item.flags)) {
        return kDenied;
    }
    if (!valueFits(item.type, CaptionCount(item.selection), value)) {
        return kFail;
    }
    const DateTime now = terminalTime();
    if (item.type == "TIME") {
        const TimeOfDay t = *ParseTime(value);
        const DateTime wanted =
            DateTime::fromParts(now.year(), now.month(), now.day(), t.hour, t.minute, t.second);
        m_clockOffsetSeconds += SecondsBetween(now, wanted);
        return Ok();
    }
    if (item.type == "DATE") {
        const CalendarDate d = *ParseDate(value);
        const DateTime wanted =
            DateTime::fromParts(d.year, d.month, d.day, now.hour(), now.minute(), now.second());
        m_clockOffsetSeconds += SecondsBetween(now, wanted);
        return Ok();
    }
    std::string stored(value);
    if (item.type == "VAL") {
        stored = std::to_string(*StrictInteger(value)); // 007 is kept as 7
    }
    item.values[static_cast<std::size_t>(member)] = stored;
    return Ok();
}

std::optional<std::string> TerminalModel::itemValue(std::string_view name, int member) const {
    const int index = itemIndex(name);
    if (index < 0) {
        return std::nullopt;
    }
    const Item& item = m_items[static_cast<std::size_t>(index)];
    if (item.type == "TIME") {
        return TimeText(terminalTime());
    }
    if (item.type == "DATE") {
        return DateText(terminalTime());
    }
    if (member < 0 || member >= static_cast<int>(item.values.size())) {
        return std::nullopt;
    }
    return item.values[static_cast<std::size_t>(member)];
}

std::string TerminalModel::cmdItemCount(std::string_view, SteadyClock::time_point) {
    return Ok(std::to_string(m_items.size()));
}

std::string TerminalModel::cmdItemUpdate(std::string_view, SteadyClock::time_point) {
    ++m_counters.itemUpdates;
    return Ok();
}

std::string TerminalModel::cmdItemByName(std::string_view data, SteadyClock::time_point) {
    const int index = itemIndex(data);
    return index < 0 ? kFail : Ok(std::to_string(index));
}

std::string TerminalModel::cmdItemInfo(std::string_view data, SteadyClock::time_point) {
    int item = 0;
    if (!parseAddress(data, item, nullptr) || !data.empty()) {
        return kFail;
    }
    return Ok(itemDescriptor(m_items[static_cast<std::size_t>(item)], item));
}

std::string TerminalModel::cmdGetItem(std::string_view data, SteadyClock::time_point) {
    int item = 0, member = 0;
    if (!parseAddress(data, item, &member) || !data.empty()) {
        return kFail;
    }
    return readMember(m_items[static_cast<std::size_t>(item)], member, false);
}

std::string TerminalModel::cmdItemDefault(std::string_view data, SteadyClock::time_point) {
    int item = 0, member = 0;
    if (!parseAddress(data, item, &member) || !data.empty()) {
        return kFail;
    }
    return readMember(m_items[static_cast<std::size_t>(item)], member, true);
}

std::string TerminalModel::cmdSetItem(std::string_view data, SteadyClock::time_point) {
    int item = 0, member = 0;
    if (!parseAddress(data, item, &member)) {
        return kFail;
    }
    return writeMember(m_items[static_cast<std::size_t>(item)], member, data);
}

} // namespace kelvra::sim
