// The viewer's column sorts of message rows, and the state of the list's sort header.
#pragma once
#include <optional>
#include <string_view>
#include <vector>

#include "core/DbxMessageRow.h"

// The list's columns, in order.
enum class DbxColumn { Icon = 0, From, To, Subject, Received, Account };
constexpr int DBX_COLUMN_COUNT = 6;

// The column's title as the list shows it ("" for the icon column).
const char* DbxColumnTitle(DbxColumn column);
// The column a command line names: "icon", "from", "to", "subject", "date" or "received",
// "account" (any case); nullopt for anything else.
std::optional<DbxColumn> DbxColumnFromName(std::string_view name);

// Compares two rows by a column, ascending: < 0 when `a` comes first.
//   Icon: rows without flag 0x4000 first.   From, To, Account: the texts, any case.
//   Subject: the subject without its reply or forward prefix, any case, so that a reply
//   sorts beside the message it answers.   Received: the FILETIME.
// A missing text or time comes before a present one (an empty text is present).
int CompareDbxRows(const DbxMessageRow& a, const DbxMessageRow& b, DbxColumn column);

// Sorts the rows by the column. Rows that compare equal keep their order, in both
// directions; descending swaps the two rows of each comparison.
void SortDbxRows(std::vector<DbxMessageRow>& rows, DbxColumn column, bool ascending);

// The sort the list's header shows: clicking the sorted column again toggles its
// direction, clicking another column sorts it ascending.
class CDbxSortState {
public:
    // Records a click on a column header; Column and Ascending then give the sort.
    void Click(DbxColumn column);
    bool IsSorted() const { return m_sorted; }
    DbxColumn Column() const { return m_column; }
    bool Ascending() const { return m_ascending; }

private:
    bool m_sorted = false;
    DbxColumn m_column = DbxColumn::Icon;
    bool m_ascending = true;
};
