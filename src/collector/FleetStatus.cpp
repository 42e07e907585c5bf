#include "collector/FleetStatus.h"

#include <cstdio>
#include <iterator>

namespace kelvra::collector {

const char* StateName(TerminalState state) {
    switch (state) {
    case TerminalState::Connecting:
        return "connecting";
    case TerminalState::CatchingUp:
        return "catching up";
    case TerminalState::Live:
        return "live";
    case TerminalState::Polling:
        return "polling";
    case TerminalState::Offline:
        return "offline";
    case TerminalState::Stopped:
        return "stopped";
    }
    return "?";
}

void LogLine(const std::string& line) {
    // One write per line, so lines of several threads never interleave.
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

namespace {

void CountInBuckets(std::vector<std::uint64_t>& buckets, double seconds) {
    for (std::size_t i = 0; i < std::size(kLatencyBuckets); ++i) {
        if (seconds <= kLatencyBuckets[i]) {
            ++buckets[i];
        }
    }
}

} // namespace

FleetStatus::FleetStatus() {
    m_database.commitBuckets.assign(std::size(kLatencyBuckets), 0);
    m_database.pushBuckets.assign(std::size(kLatencyBuckets), 0);
}

void FleetStatus::addTerminal(const std::string& name, const std::string& link) {
    std::lock_guard lock(m_mutex);
    TerminalStatus status;
    status.name = name;
    status.link = link;
    status.since = QDateTime::currentDateTime();
    status.today = status.since.date();
    m_terminals[name] = status;
}

void FleetStatus::removeTerminal(const std::string& name) {
    std::lock_guard lock(m_mutex);
    m_terminals.erase(name);
}

void FleetStatus::setState(const std::string& name, TerminalState state, const std::string& error) {
    std::lock_guard lock(m_mutex);
    const auto found = m_terminals.find(name);
    if (found == m_terminals.end()) {
        return;
    }
    TerminalStatus& status = found->second;
    // Retries that fail alike are not logged again; a new reason is.
    if (status.state == state && status.stateError == error) {
        return;
    }
    if (status.state != state) {
        status.since = QDateTime::currentDateTime();
    }
    status.state = state;
    status.stateError = error;
    LogLine(name + ": " + StateName(state) + (error.empty() ? "" : ": " + error));
}

void FleetStatus::countError(const std::string& name, const std::string& error) {
    std::lock_guard lock(m_mutex);
    if (const auto found = m_terminals.find(name); found != m_terminals.end()) {
        ++found->second.errors;
        found->second.lastError = error;
    }
}

void FleetStatus::countReconnect(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (const auto found = m_terminals.find(name); found != m_terminals.end()) {
        ++found->second.reconnects;
    }
}

void FleetStatus::countStored(const std::string& name, int added, int duplicates, int flagged) {
    std::lock_guard lock(m_mutex);
    const auto found = m_terminals.find(name);
    if (found == m_terminals.end()) {
        return;
    }
    TerminalStatus& status = found->second;
    const QDateTime now = QDateTime::currentDateTime();
    if (status.today != now.date()) {
        status.today = now.date();
        status.storedToday = 0;
    }
    status.stored += static_cast<std::uint64_t>(added);
    status.storedToday += static_cast<std::uint64_t>(added);
    status.duplicates += static_cast<std::uint64_t>(duplicates);
    status.flagged += static_cast<std::uint64_t>(flagged);
    if (added > 0) {
        status.lastRecord = now;
    }
}

void FleetStatus::setStoredToday(const std::string& name, std::uint64_t count) {
    std::lock_guard lock(m_mutex);
    if (const auto found = m_terminals.find(name); found != m_terminals.end()) {
        found->second.storedToday = count;
    }
}

void FleetStatus::databaseCommitted(double seconds) {
    std::lock_guard lock(m_mutex);
    if (!m_database.up || !m_databaseKnown) {
        LogLine("database " + m_database.description + ": up");
    }
    m_databaseKnown = true;
    m_database.up = true;
    ++m_database.commits;
    m_database.commitSecondsSum += seconds;
    CountInBuckets(m_database.commitBuckets, seconds);
}

void FleetStatus::pushCommitted(double seconds) {
    std::lock_guard lock(m_mutex);
    ++m_database.pushes;
    m_database.pushSecondsSum += seconds;
    CountInBuckets(m_database.pushBuckets, seconds);
}

void FleetStatus::databaseFailed(const std::string& error) {
    std::lock_guard lock(m_mutex);
    if (m_database.up || !m_databaseKnown) {
        LogLine("database " + m_database.description + ": down: " + error +
                "; nothing is confirmed to the terminals until it is back");
    }
    m_databaseKnown = true;
    m_database.up = false;
    m_database.lastError = error;
    ++m_database.failures;
}

void FleetStatus::setDatabaseDescription(const std::string& description) {
    std::lock_guard lock(m_mutex);
    m_database.description = description;
}

std::vector<TerminalStatus> FleetStatus::terminals() const {
    std::lock_guard lock(m_mutex);
    std::vector<TerminalStatus> list;
    for (const auto& [name, status] : m_terminals) {
        list.push_back(status);
    }
    return list;
}

DatabaseStatus FleetStatus::database() const {
    std::lock_guard lock(m_mutex);
    return m_database;
}

} // namespace kelvra::collector
