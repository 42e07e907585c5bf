// Punch records: the download inside the terminal's read transaction, and store upkeep.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/CsvFiles.h"
#include "cli/ProgressBar.h"
#include "cli/ReadTransaction.h"
#include "cli/Session.h"
#include "driver/LeadingNumber.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>

namespace kelvra::cli {

namespace {

// The number of records the terminal says it holds; 0 (unknown) when the reply is no number.
std::int64_t RecordTotal(const std::string& reply) {
    try {
        const double value = ReadLeadingNumber(reply);
        return value > 0 ? static_cast<std::int64_t>(std::llround(value)) : 0;
    } catch (const std::overflow_error&) {
        return 0;
    }
}

void StartReading(Session& session) {
    const std::int32_t code = session.attempt(
        [&](ucKelvra& kv) { kv.AbortReadTransation(session.source()); }, Repeat::IfTimedOut);
    if (!AbortLeftNoReadOpen(code)) {
        throw TerminalFailure(code, "records abort");
    }
}

// Fetches every record of the read transaction, confirming each. A fetch is never repeated:
// the terminal may have moved on although its reply was lost.
std::vector<std::vector<std::string>> FetchAll(Session& session) {
    const std::int64_t total = RecordTotal(
        session.query("records count", [&](ucKelvra& kv) { kv.RecordCount(session.source()); }));
    ProgressBar progress("records", total);
    std::vector<std::vector<std::string>> records;
    for (;;) {
        const std::int32_t code =
            session.attempt([&](ucKelvra& kv) { kv.GetRecord(session.source()); });
        if (code == KV_ERR_END) {
            session.data();
            return records;
        }
        if (code != KV_SUCCESS) {
            throw TerminalFailure(code, "record " + std::to_string(records.size() + 1));
        }
        records.push_back(RecordFields(session.data()));
        session.run("record confirm", [&](ucKelvra& kv) { kv.ConfirmRecord(session.source()); });
        progress.update(static_cast<std::int64_t>(records.size()));
    }
}

void WriteCsv(AtomicCsvFile& file, const std::vector<std::vector<std::string>>& records) {
    std::size_t columns = records.empty() ? kRecordColumnCount : 0;
    for (const auto& record : records) {
        columns = std::max(columns, record.size());
    }
    file.writeLine(RecordHeader(columns));
    for (const auto& record : records) {
        file.writeLine(record);
    }
    file.commit();
}

// Either every record reaches the file and the transaction is committed (or, without
// --commit, aborted so the records stay unread for the next reader), or the file is not
// written and the transaction is aborted: no record is ever marked read that is not in a file.
void Download(Session& session, Arguments& arguments) {
    const std::optional<std::string> path = arguments.takeValue("--csv");
    const bool commit = arguments.takeFlag("--commit");
    arguments.finish();
    if (!path) {
        throw UsageError("records download needs --csv FILE");
    }
    AtomicCsvFile file(*path); // a directory that is not there fails before the terminal is asked
    ucKelvra& kv = session.kv();
    std::size_t downloaded = 0;
    try {
        StartReading(session);
        const auto records = FetchAll(session);
        downloaded = records.size();
        WriteCsv(file, records);
    } catch (...) {
        // Best effort: a link that failed may not carry the abort either, and then the
        // terminal keeps the records unread all the same.
        kv.AbortReadTransation(session.source());
        if (kv.ErrCode() != KV_SUCCESS) {
            std::cerr << "kelvractl: the read transaction could not be aborted\n";
        }
        throw;
    }
    const std::string written = std::to_string(downloaded) + " records written to " + *path;
    if (commit) {
        session.run(("records commit (" + written + ")").c_str(),
                    [&](ucKelvra& driver) { driver.CommitReadTransation(session.source()); });
    } else {
        session.run(("records abort (" + written + ")").c_str(),
                    [&](ucKelvra& driver) { driver.AbortReadTransation(session.source()); });
    }
    std::cerr << written << (commit ? ", committed" : ", left unread") << "\n";
}

void Count(Session& session, Arguments& arguments) {
    arguments.finish();
    session.print(
        session.query("records count", [&](ucKelvra& kv) { kv.RecordCount(session.source()); }));
}

void Abort(Session& session, Arguments& arguments) {
    arguments.finish();
    session.run(
        "records abort", [&](ucKelvra& kv) { kv.AbortReadTransation(session.source()); },
        Repeat::IfTimedOut);
}

void ResetOld(Session& session, Arguments& arguments) {
    arguments.finish();
    session.run(
        "records reset-old", [&](ucKelvra& kv) { kv.ResetOldRecords(session.source()); },
        Repeat::IfTimedOut);
}

// Commands that lose records ask for --yes.
void RunDestructive(Session& session, Arguments& arguments, const char* what,
                    const char* consequence, void (ucKelvra::*operation)(std::int16_t)) {
    const bool confirmed = arguments.takeFlag("--yes");
    arguments.finish();
    if (!confirmed) {
        throw UsageError(std::string(what) + " " + consequence + ": add --yes to go ahead");
    }
    session.run(
        what, [&](ucKelvra& kv) { (kv.*operation)(session.source()); }, Repeat::IfTimedOut);
}

void DeleteOld(Session& session, Arguments& arguments) {
    RunDestructive(session, arguments, "records delete-old", "deletes the records already read",
                   &ucKelvra::DeleteOldRecords);
}

void Initialize(Session& session, Arguments& arguments) {
    RunDestructive(session, arguments, "records initialize", "deletes every record",
                   &ucKelvra::InitializeDatabase);
}

void Recover(Session& session, Arguments& arguments) {
    RunDestructive(session, arguments, "records recover", "rebuilds the record database",
                   &ucKelvra::RecorverDatabase);
}

constexpr Subcommand kRecords[] = {
    {"download", "--csv FILE [--commit]",
     "fetch every unread record into FILE; --commit marks them read once FILE is written",
     Download},
    {"count", "", "print the number of unread records", Count},
    {"abort", "", "abort a read transaction left open", Abort},
    {"reset-old", "", "make the records already read unread again", ResetOld},
    {"delete-old", "--yes", "delete the records already read", DeleteOld},
    {"initialize", "--yes", "delete every record", Initialize},
    {"recover", "--yes", "recover the record database", Recover},
};

constexpr std::array kGroups{CommandGroup{"records", "punch records", kRecords}};

} // namespace

std::span<const CommandGroup> RecordCommands() {
    return kGroups;
}

} // namespace kelvra::cli
