#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kelvra::cli {

// Rows printed in columns padded to their widest cell, two blanks apart; the last column is
// not padded. Cells are local text.
class TextTable {
public:
    explicit TextTable(std::vector<std::string> header);
    void addRow(std::vector<std::string> cells);
    void print(std::ostream& out) const;

private:
    std::vector<std::vector<std::string>> m_rows;
};

} // namespace kelvra::cli
