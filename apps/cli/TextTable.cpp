// Aligned columns.
#include "TextTable.h"

#include <algorithm>

namespace tavctl {

size_t Utf8Width(const std::string& text) {
    size_t width = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    return width;
}

void CTextTable::Print(std::ostream& out) const {
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : m_rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Utf8Width(row[i]));
    }
    for (const std::vector<std::string>& row : m_rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - Utf8Width(row[i]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    }
}

}  // namespace tavctl
