#include "cli/TextTable.h"

#include <QString>
#include <algorithm>

namespace kelvra::cli {

namespace {

// Characters on screen, not bytes: a UTF-8 "ü" takes one column.
std::size_t Width(const std::string& cell) {
    return static_cast<std::size_t>(
        QString::fromLocal8Bit(cell.data(), static_cast<qsizetype>(cell.size())).size());
}

} // namespace

TextTable::TextTable(std::vector<std::string> header) {
    m_rows.push_back(std::move(header));
}

void TextTable::addRow(std::vector<std::string> cells) {
    m_rows.push_back(std::move(cells));
}

void TextTable::print(std::ostream& out) const {
    std::vector<std::size_t> widths;
    for (const auto& row : m_rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], Width(row[i]));
        }
    }
    for (const auto& row : m_rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line += std::string(widths[i] - Width(row[i]) + 2, ' ');
            }
        }
        out << line << "\n";
    }
}

} // namespace kelvra::cli
