// CTextTable: rows of text cells printed as aligned columns (the dbx listings).
#pragma once
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace tavctl {

// Columns are as wide as their widest cell (counted in UTF-8 characters) and two spaces
// apart; the last column is not padded, so no line ends in spaces. Cells are printed as
// given: pass stored texts through Printable first.
class CTextTable {
public:
    explicit CTextTable(std::vector<std::string> header) { m_rows.push_back(std::move(header)); }
    void AddRow(std::vector<std::string> cells) { m_rows.push_back(std::move(cells)); }
    size_t RowCount() const { return m_rows.size() - 1; }  // without the header
    void Print(std::ostream& out) const;

private:
    std::vector<std::vector<std::string>> m_rows;
};

// The number of characters of a UTF-8 text (continuation bytes are not counted).
size_t Utf8Width(const std::string& text);

}  // namespace tavctl
