#pragma once

#include <QFile>
#include <QSaveFile>
#include <string>
#include <vector>

namespace kelvra::cli {

// One CSV line of link text fields, in UTF-8: fields separated by commas, a field quoted (its
// quotes doubled) when it holds a comma, a quote, a line break or blanks at either end; ends
// in LF.
std::string CsvLine(const std::vector<std::string>& fields);

// Punch records: the terminal's record text is TAB-separated, number, date, time, card, mode
// and machine. The column names of that many columns; further columns are numbered.
inline constexpr std::size_t kRecordColumnCount = 6;
std::vector<std::string> RecordHeader(std::size_t columns);
// The columns of one record text.
std::vector<std::string> RecordFields(const std::string& record);

// A CSV file written whole or not at all: the lines go to a temporary file beside the target,
// which takes the target's name only at commit. Dropped uncommitted, it leaves no trace and an
// older file of that name untouched. Failures throw LocalFailure.
class AtomicCsvFile {
public:
    explicit AtomicCsvFile(const std::string& path); // fails at once for a missing directory
    void writeLine(const std::vector<std::string>& fields);
    void commit();

private:
    std::string m_path;
    QSaveFile m_file;
};

// A CSV file that grows by one flushed and synced line at a time, so that a line is on disk
// before the terminal is told the record has been taken. A new or empty file gets `header`
// first. Failures throw LocalFailure.
class AppendingCsvFile {
public:
    AppendingCsvFile(const std::string& path, const std::vector<std::string>& header);
    void writeLine(const std::vector<std::string>& fields);

private:
    std::string m_path;
    QFile m_file;
};

} // namespace kelvra::cli
