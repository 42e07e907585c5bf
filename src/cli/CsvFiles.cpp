#include "cli/CsvFiles.h"

#include "cli/CliErrors.h"
#include "cli/TextConversion.h"
#include "driver/SplitText.h"

#include <array>
#include <unistd.h>

namespace kelvra::cli {

namespace {

constexpr std::array<const char*, kRecordColumnCount> kRecordColumns{"Number", "Date", "Time",
                                                                     "Card",   "Mode", "Machine"};

bool NeedsQuotes(const std::string& field) {
    return field.find_first_of(",\"\r\n") != std::string::npos ||
           (!field.empty() && (field.front() == ' ' || field.back() == ' '));
}

QString FileName(const std::string& path) {
    return QString::fromLocal8Bit(path.c_str());
}

void WriteAll(QFileDevice& file, const std::string& path, const std::string& bytes) {
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        throw LocalFailure("cannot write " + path + ": " + file.errorString().toStdString());
    }
}

} // namespace

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        const std::string field = Utf8Text(fields[i]);
        if (!NeedsQuotes(field)) {
            line += field;
            continue;
        }
        line += '"';
        for (const char character : field) {
            line += character;
            if (character == '"') {
                line += '"';
            }
        }
        line += '"';
    }
    line += '\n';
    return line;
}

std::vector<std::string> RecordHeader(std::size_t columns) {
    std::vector<std::string> header;
    for (std::size_t i = 0; i < columns; ++i) {
        header.push_back(i < kRecordColumns.size() ? kRecordColumns[i]
                                                   : "Field " + std::to_string(i + 1));
    }
    return header;
}

std::vector<std::string> RecordFields(const std::string& record) {
    std::vector<std::string> fields;
    const auto pieces = SplitText(record, '\t');
    for (std::string_view field : *pieces) {
        fields.emplace_back(field);
    }
    return fields;
}

AtomicCsvFile::AtomicCsvFile(const std::string& path) : m_path(path), m_file(FileName(path)) {
    if (!m_file.open(QIODevice::WriteOnly)) {
        throw LocalFailure("cannot write " + path + ": " + m_file.errorString().toStdString());
    }
}

void AtomicCsvFile::writeLine(const std::vector<std::string>& fields) {
    WriteAll(m_file, m_path, CsvLine(fields));
}

void AtomicCsvFile::commit() {
    if (!m_file.commit()) {
        throw LocalFailure("cannot write " + m_path + ": " + m_file.errorString().toStdString());
    }
}

AppendingCsvFile::AppendingCsvFile(const std::string& path, const std::vector<std::string>& header)
    : m_path(path), m_file(FileName(path)) {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        throw LocalFailure("cannot write " + path + ": " + m_file.errorString().toStdString());
    }
    if (m_file.size() == 0) {
        writeLine(header);
    }
}

void AppendingCsvFile::writeLine(const std::vector<std::string>& fields) {
    WriteAll(m_file, m_path, CsvLine(fields));
    if (!m_file.flush() || ::fsync(m_file.handle()) != 0) {
        throw LocalFailure("cannot write " + m_path + ": " + m_file.errorString().toStdString());
    }
}

} // namespace kelvra::cli
