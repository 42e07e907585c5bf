#pragma once

#include <QDateTime>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kelvra::collector {

// The states a terminal's worker goes through, in the words of the log and the status page.
enum class TerminalState { Connecting, CatchingUp, Live, Polling, Offline, Stopped };
const char* StateName(TerminalState state);
inline constexpr TerminalState kAllStates[] = {TerminalState::Connecting, TerminalState::CatchingUp,
                                               TerminalState::Live,       TerminalState::Polling,
                                               TerminalState::Offline,    TerminalState::Stopped};

struct TerminalStatus {
    std::string name;
    std::string link; // as configured: "udp 10.1.2.3:1001"
    TerminalState state = TerminalState::Connecting;
    std::string stateError; // the failure that the state was entered with, as logged
    QDateTime since;
    QDateTime lastRecord;          // when the last record was stored (invalid: none yet)
    std::uint64_t stored = 0;      // records new to the database
    std::uint64_t duplicates = 0;  // records the database held already
    std::uint64_t flagged = 0;     // stored with fields that did not read
    std::uint64_t storedToday = 0; // new to the database since local midnight
    QDate today;
    std::uint64_t reconnects = 0;
    std::uint64_t errors = 0;
    std::string lastError; // "" when none yet
};

struct DatabaseStatus {
    std::string description;
    bool up = false;
    std::string lastError;
    std::uint64_t commits = 0;
    std::uint64_t failures = 0;
    // Cumulative counts of commits at most kLatencyBuckets[i] seconds long.
    std::vector<std::uint64_t> commitBuckets;
    double commitSecondsSum = 0;
    // The same of the time from a pushed record's arrival to its commit.
    std::vector<std::uint64_t> pushBuckets;
    std::uint64_t pushes = 0;
    double pushSecondsSum = 0;
};
inline constexpr double kLatencyBuckets[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.03,
                                             0.05,  0.1,   0.25,  0.5,  1,    5};

// What every part of the collector reports and the HTTP endpoints read; thread-safe. State
// changes are logged here, once each, on standard error.
class FleetStatus {
public:
    FleetStatus();

    void addTerminal(const std::string& name, const std::string& link);
    void removeTerminal(const std::string& name);
    // Logs the change (with the error, if any) when the state or its error differs from the
    // present one.
    void setState(const std::string& name, TerminalState state, const std::string& error = {});
    void countError(const std::string& name, const std::string& error);
    void countReconnect(const std::string& name);
    void countStored(const std::string& name, int added, int duplicates, int flagged);
    // Seeds today's counts from the database.
    void setStoredToday(const std::string& name, std::uint64_t count);

    void databaseCommitted(double seconds);
    void pushCommitted(double seconds);
    // Logged once per change between up and down.
    void databaseFailed(const std::string& error);
    void setDatabaseDescription(const std::string& description);

    std::vector<TerminalStatus> terminals() const;
    DatabaseStatus database() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, TerminalStatus> m_terminals;
    DatabaseStatus m_database;
    bool m_databaseKnown = false;
};

// One line on standard error, as journald takes it.
void LogLine(const std::string& line);

} // namespace kelvra::collector
