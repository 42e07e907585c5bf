// Extended mode: records pushed by the terminal as they are punched.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/CsvFiles.h"
#include "cli/Session.h"

#include <QEventLoop>
#include <array>
#include <exception>
#include <iostream>

namespace kelvra::cli {

namespace {

// Takes each pushed record: into the file first (flushed to disk), then onto standard
// output, and only then confirms it, so a record the terminal forgets is always kept here. A
// record that did not verify is not confirmed: the terminal keeps it and pushes it again.
// Once the monitor is stopping, records are left alone: one that arrives while extended mode
// is being turned off might not be confirmed any more, and would be taken twice.
class RecordTaker {
public:
    RecordTaker(Session& session, const std::optional<std::string>& csvPath, int wanted)
        : m_session(session), m_wanted(wanted) {
        if (csvPath) {
            m_csv.emplace(*csvPath, RecordHeader(kRecordColumnCount));
        }
    }

    void take(std::int16_t source, const std::string& data, std::int32_t errCode) {
        if (m_stopping) {
            return;
        }
        if (errCode != KV_SUCCESS) {
            std::cerr << "kelvractl: a record from terminal " << source
                      << " did not verify and was not confirmed: " << TerminalErrorLine(errCode)
                      << "\n";
            return;
        }
        try {
            if (m_csv) {
                m_csv->writeLine(RecordFields(data));
            }
            m_session.print(data);
            m_session.out().flush();
        } catch (...) {
            m_failure = std::current_exception();
            stop();
            return;
        }
        m_session.kv().X_ConfirmRecord(source);
        ++m_taken;
        if (done()) {
            stop();
        }
    }

    bool done() const { return m_wanted > 0 && m_taken >= m_wanted; }
    void stop() {
        m_stopping = true;
        m_loop.quit();
    }
    // Runs the event loop until stop(), unless there is nothing to wait for.
    void wait() {
        if (!m_stopping && !m_session.interrupts().interrupted()) {
            m_loop.exec();
        }
    }
    void rethrowFailure() const {
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
    }

private:
    Session& m_session;
    int m_wanted;
    int m_taken = 0;
    bool m_stopping = false;
    std::optional<AppendingCsvFile> m_csv;
    std::exception_ptr m_failure;
    QEventLoop m_loop;
};

void LogOff(Session& session) {
    ucKelvra& kv = session.kv();
    kv.X_LogOff(session.source());
    if (kv.ErrCode() != KV_SUCCESS) {
        throw TerminalFailure(kv.ErrCode(), "extended mode off");
    }
}

void Monitor(Session& session, Arguments& arguments) {
    const std::optional<std::string> csvPath = arguments.takeValue("--csv");
    const std::optional<std::string> countText = arguments.takeValue("--count");
    arguments.finish();
    const int wanted =
        countText ? static_cast<int>(ParseInteger(*countText, 1, 1000000, "--count")) : 0;
    RecordTaker taker(session, csvPath, wanted); // a file that cannot be opened fails here
    ucKelvra& kv = session.kv();
    const Subscription subscription = kv.KelvraDataArival.subscribe(
        [&](const std::string&, std::int16_t source, const std::string& data,
            std::int32_t errCode) { taker.take(source, data, errCode); });
    session.interrupts().onInterrupt = [&] { taker.stop(); };

    kv.X_LogOn(session.source());
    if (kv.ErrCode() != KV_SUCCESS) {
        session.interrupts().onInterrupt = {};
        throw TerminalFailure(kv.ErrCode(), "extended mode on");
    }
    taker.wait();
    session.interrupts().onInterrupt = {};
    LogOff(session);
    taker.rethrowFailure();
}

void ExtendedOff(Session& session, Arguments& arguments) {
    arguments.finish();
    LogOff(session);
}

constexpr Subcommand kMonitor[] = {
    {"", "[--csv FILE] [--count N]",
     "turn extended mode on, print and confirm each pushed record (--csv appends it to FILE "
     "first) until Ctrl-C or N records, then turn extended mode off",
     Monitor}};
constexpr Subcommand kExtended[] = {
    {"off", "", "turn extended mode off (after a monitor that was killed)", ExtendedOff}};

constexpr std::array kGroups{
    CommandGroup{"monitor", "records pushed as they are punched", kMonitor},
    CommandGroup{"extended", "extended mode", kExtended},
};

} // namespace

std::span<const CommandGroup> MonitorCommands() {
    return kGroups;
}

} // namespace kelvra::cli
