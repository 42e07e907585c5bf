// Punch records: the store, the read transaction and its upkeep.
#include "TerminalModel.h"
#include "TerminalText.h"
#include "driver/ArgumentText.h"

#include <algorithm>
#include <cstdio>

namespace kelvra::sim {

PunchRecord TerminalModel::addPunchRecord(std::string cardCode, int mode) {
    PunchRecord record;
    record.number = m_nextRecordNumber++;
    record.when = terminalTime();
    if (cardCode.empty()) {
        char text[16];
        std::snprintf(text, sizeof text, "%08d", 10000000 + record.number % 90000000);
        cardCode = text;
    }
    record.cardCode = std::move(cardCode);
    record.mode = mode;
    m_new.push_back(record);
    return record;
}

std::string TerminalModel::recordText(const PunchRecord& record) const {
    std::string text = std::to_string(record.number);
    text += TAB;
    text += DateText(record.when);
    text += TAB;
    text += TimeText(record.when);
    text += TAB;
    text += 'C';
    text += record.cardCode;
    text += TAB;
    text += std::to_string(record.mode);
    text += TAB;
    text += std::to_string(m_config.number);
    return text;
}

std::string TerminalModel::cmdRecordCount(std::string_view, SteadyClock::time_point) {
    return Ok(std::to_string(m_new.size()));
}

std::string TerminalModel::cmdGetRecord(std::string_view, SteadyClock::time_point) {
    if (!m_readOpen) {
        m_readOpen = true;
        m_readCursor = 0;
        m_fetched = false;
    }
    if (m_readCursor >= m_new.size()) {
        return kEnd;
    }
    m_fetched = true;
    return Ok(recordText(m_new[m_readCursor++]));
}

std::string TerminalModel::cmdConfirmRecord(std::string_view, SteadyClock::time_point) {
    return m_readOpen && m_fetched ? Ok() : kNotApplicable;
}

std::string TerminalModel::cmdAbortRead(std::string_view, SteadyClock::time_point) {
    m_readOpen = false;
    m_readCursor = 0;
    m_fetched = false;
    return Ok();
}

std::string TerminalModel::cmdCommitRead(std::string_view, SteadyClock::time_point) {
    if (m_readOpen) {
        const auto end = m_new.begin() + static_cast<std::ptrdiff_t>(m_readCursor);
        // A record that was pushed and is awaiting its confirmation is read all the same.
        if (m_awaiting && std::any_of(m_new.begin(), end, [&](const PunchRecord& r) {
                return r.number == *m_awaiting;
            })) {
            m_awaiting.reset();
            m_repushAt.reset();
        }
        m_old.insert(m_old.end(), m_new.begin(), end);
        m_new.erase(m_new.begin(), end);
    }
    m_readOpen = false;
    m_readCursor = 0;
    m_fetched = false;
    return Ok();
}

std::string TerminalModel::cmdDeleteOld(std::string_view, SteadyClock::time_point) {
    m_old.clear();
    return Ok();
}

std::string TerminalModel::cmdResetOld(std::string_view, SteadyClock::time_point) {
    if (m_readOpen) {
        return kNotApplicable;
    }
    m_new.insert(m_new.begin(), m_old.begin(), m_old.end());
    m_old.clear();
    std::sort(m_new.begin(), m_new.end(),
              [](const PunchRecord& a, const PunchRecord& b) { return a.number < b.number; });
    return Ok();
}

std::string TerminalModel::cmdInitialize(std::string_view, SteadyClock::time_point) {
    m_new.clear();
    m_old.clear();
    m_readOpen = false;
    m_readCursor = 0;
    m_fetched = false;
    m_awaiting.reset();
    m_repushAt.reset();
    return Ok();
}

std::string TerminalModel::cmdRecover(std::string_view, SteadyClock::time_point) {
    return Ok();
}

} // namespace kelvra::sim
