#include "core/DbxMessageSort.h"

#include <algorithm>
#include <string>

#include "core/DbxCaseFold.h"
#include "core/DbxViewerText.h"
#include "core/OeStrings.h"

namespace {

struct ColumnName {
    const char* name;
    DbxColumn column;
};

constexpr ColumnName COLUMN_NAMES[] = {
    {"icon", DbxColumn::Icon},       {"from", DbxColumn::From},
    {"to", DbxColumn::To},           {"subject", DbxColumn::Subject},
    {"date", DbxColumn::Received},   {"received", DbxColumn::Received},
    {"account", DbxColumn::Account},
};

// Missing before present; two present values by `less`.
template <class T, class Compare>
int CompareOptional(const std::optional<T>& a, const std::optional<T>& b, Compare compare) {
    if (!a || !b) return int(bool(a)) - int(bool(b));
    return compare(*a, *b);
}

int CompareText(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    return CompareOptional(
        a, b, [](const std::string& x, const std::string& y) { return DbxCompareNoCase(x, y); });
}

}  // namespace

const char* DbxColumnTitle(DbxColumn column) {
    switch (column) {
        case DbxColumn::Icon:
            return dbxviewer::COLUMN_ICON;
        case DbxColumn::From:
            return dbxviewer::COLUMN_FROM;
        case DbxColumn::To:
            return dbxviewer::COLUMN_TO;
        case DbxColumn::Subject:
            return dbxviewer::COLUMN_SUBJECT;
        case DbxColumn::Received:
            return dbxviewer::COLUMN_RECEIVED;
        case DbxColumn::Account:
            return dbxviewer::COLUMN_ACCOUNT;
    }
    return "";
}

std::optional<DbxColumn> DbxColumnFromName(std::string_view name) {
    for (const ColumnName& entry : COLUMN_NAMES)
        if (OeEqualsNoCase(name, entry.name)) return entry.column;
    return std::nullopt;
}

int CompareDbxRows(const DbxMessageRow& a, const DbxMessageRow& b, DbxColumn column) {
    switch (column) {
        case DbxColumn::Icon:
            return int(a.iconFlag) - int(b.iconFlag);
        case DbxColumn::From:
            return CompareText(a.from, b.from);
        case DbxColumn::To:
            return CompareText(a.to, b.to);
        case DbxColumn::Subject:
            return CompareText(a.plainSubject, b.plainSubject);
        case DbxColumn::Account:
            return CompareText(a.account, b.account);
        case DbxColumn::Received:
            return CompareOptional(a.received, b.received, [](uint64_t x, uint64_t y) {
                return x < y ? -1 : x > y ? 1 : 0;
            });
    }
    return 0;
}

void SortDbxRows(std::vector<DbxMessageRow>& rows, DbxColumn column, bool ascending) {
    if (column == DbxColumn::From || column == DbxColumn::To || column == DbxColumn::Subject ||
        column == DbxColumn::Account) {
        // Fold each key once rather than in every comparison.
        struct Keyed {
            std::optional<std::string> key;
            DbxMessageRow row;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(rows.size());
        for (DbxMessageRow& row : rows) {
            const std::optional<std::string>& text = column == DbxColumn::From ? row.from
                                                     : column == DbxColumn::To ? row.to
                                                     : column == DbxColumn::Subject
                                                         ? row.plainSubject
                                                         : row.account;
            std::optional<std::string> key;
            if (text) key = DbxFoldCase(*text);
            keyed.push_back({std::move(key), std::move(row)});
        }
        std::stable_sort(keyed.begin(), keyed.end(), [ascending](const Keyed& x, const Keyed& y) {
            const int r = CompareOptional(
                x.key, y.key,
                [](const std::string& p, const std::string& q) { return p.compare(q); });
            return ascending ? r < 0 : r > 0;
        });
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = std::move(keyed[i].row);
        return;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const DbxMessageRow& x, const DbxMessageRow& y) {
        const int r = CompareDbxRows(x, y, column);
        return ascending ? r < 0 : r > 0;
    });
}

void CDbxSortState::Click(DbxColumn column) {
    if (m_sorted && m_column == column) {
        m_ascending = !m_ascending;
        return;
    }
    m_sorted = true;
    m_column = column;
    m_ascending = true;
}
