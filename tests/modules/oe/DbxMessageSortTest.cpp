// The viewer's column sorts, the sort header's state, subject prefixes and the date text.
#include <gtest/gtest.h>


#include "core/DbxDateText.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageSearch.h"
#include "core/DbxMessageSort.h"
#include "modules/oe/DbxTestStore.h"

namespace {

DbxMessageRow Row(uint32_t offset) {
    DbxMessageRow row;
    row.offset = offset;
    return row;
}

std::vector<uint32_t> Offsets(const std::vector<DbxMessageRow>& rows) {
    std::vector<uint32_t> out;
    for (const DbxMessageRow& r : rows) out.push_back(r.offset);
    return out;
}

TEST(DbxMessageSortTest, TextColumnsIgnoreCaseAndPutMissingValuesFirst) {
    std::vector<DbxMessageRow> rows = {Row(1), Row(2), Row(3), Row(4), Row(5)};
    rows[0].from = "bob@x";
    rows[1].from = "Alice@x";
    rows[2].from = std::nullopt;  // missing: before everything
    rows[3].from = "";            // empty but present: after missing, before text
    rows[4].from = "ALICE@x";     // equal to row 2 without regard to case: keeps its place
    SortDbxRows(rows, DbxColumn::From, true);
    EXPECT_EQ(Offsets(rows), (std::vector<uint32_t>{3, 4, 2, 5, 1}));
    // Descending swaps each comparison; equal rows still keep their order.
    SortDbxRows(rows, DbxColumn::From, false);
    EXPECT_EQ(Offsets(rows), (std::vector<uint32_t>{1, 2, 5, 4, 3}));
}

TEST(DbxMessageSortTest, EveryColumnSortsByItsOwnField) {
    std::vector<DbxMessageRow> rows = {Row(1), Row(2)};
    rows[0].to = "z";
    rows[1].to = "a";
    rows[0].account = "a";
    rows[1].account = "z";
    rows[0].iconFlag = true;
    rows[0].received = 200;
    rows[1].received = 100;
    EXPECT_GT(CompareDbxRows(rows[0], rows[1], DbxColumn::To), 0);
    EXPECT_LT(CompareDbxRows(rows[0], rows[1], DbxColumn::Account), 0);
    EXPECT_GT(CompareDbxRows(rows[0], rows[1], DbxColumn::Icon), 0);  // without the flag first
    EXPECT_GT(CompareDbxRows(rows[0], rows[1], DbxColumn::Received), 0);
    EXPECT_EQ(CompareDbxRows(rows[0], rows[1], DbxColumn::From), 0);  // both missing
}

TEST(DbxMessageSortTest, DatesCompareAsWholeFileTimes) {
    // The high word decides before the low word.
    std::vector<DbxMessageRow> rows = {Row(1), Row(2), Row(3), Row(4)};
    rows[0].received = (uint64_t(2) << 32) | 1;
    rows[1].received = (uint64_t(1) << 32) | 0xFFFFFFFF;
    rows[2].received = std::nullopt;
    rows[3].received = (uint64_t(2) << 32) | 0;
    SortDbxRows(rows, DbxColumn::Received, true);
    EXPECT_EQ(Offsets(rows), (std::vector<uint32_t>{3, 2, 4, 1}));
}

TEST(DbxMessageSortTest, SubjectSortPutsARepliesBesideTheirMessage) {
    // Rows built from records: a reply carries its plain subject (index 0x05) as Outlook
    // Express writes it; records lacking it fall back to the subject without its prefix.
    dbxtest::Message original;
    original.subject = original.plainSubject = "Budget";
    dbxtest::Message reply;
    reply.subject = "RE: budget";
    reply.plainSubject = "budget";
    dbxtest::Message other;
    other.subject = other.plainSubject = "Agenda";
    dbxtest::Message forward;  // no index 0x05
    forward.subject = "Fwd: Re[2]:  Budget";
    dbxtest::Message none;  // no subject at all
    dbxtest::Message late;
    late.subject = late.plainSubject = "Zoo";
    std::vector<uint32_t> offsets;
    const std::vector<uint8_t> bytes =
        dbxtest::BuildStore({late, reply, none, other, forward, original}, &offsets);
    DbxMemoryInput input(bytes);
    std::vector<DbxMessageRow> rows = CDbxMessageSearch(input).Run({}).rows;
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_FALSE(rows[2].plainSubject);
    SortDbxRows(rows, DbxColumn::Subject, true);
    std::vector<std::string> subjects;
    for (const DbxMessageRow& r : rows) subjects.push_back(r.subject.value_or("<none>"));
    EXPECT_EQ(subjects, (std::vector<std::string>{"<none>", "Agenda", "RE: budget",
                                                  "Fwd: Re[2]:  Budget", "Budget", "Zoo"}));
}

TEST(DbxMessageSortTest, SubjectPrefixesAreStripped) {
    EXPECT_EQ(DbxStripSubjectPrefix("Re: Hello"), "Hello");
    EXPECT_EQ(DbxStripSubjectPrefix("Fw: Fwd: re: Hello"), "Hello");
    EXPECT_EQ(DbxStripSubjectPrefix("  Re[12]: Hello"), "Hello");
    EXPECT_EQ(DbxStripSubjectPrefix("Re: "), "");
    // Words that merely begin like a prefix stay.
    EXPECT_EQ(DbxStripSubjectPrefix("Report: Q3"), "Report: Q3");
    EXPECT_EQ(DbxStripSubjectPrefix("Re[]: x"), "Re[]: x");
    EXPECT_EQ(DbxStripSubjectPrefix("Hello Re: x"), "Hello Re: x");
}

// (Clicks on one column toggle the direction: DbxViewerModelTest.)
TEST(DbxMessageSortTest, AClickOnAnotherColumnSortsAscending) {
    CDbxSortState state;
    EXPECT_FALSE(state.IsSorted());
    state.Click(DbxColumn::Subject);
    state.Click(DbxColumn::Subject);
    EXPECT_FALSE(state.Ascending());
    state.Click(DbxColumn::Received);
    EXPECT_EQ(state.Column(), DbxColumn::Received);
    EXPECT_TRUE(state.Ascending());
}

TEST(DbxDateTextTest, FormatsYearMonthDayAndTwelveHourTime) {
    using dbxtest::Ticks;
    EXPECT_EQ(FormatDbxDate(Ticks(1018744077), DbxTimeZone::Utc), "2002/04/14 12:27 AM");
    EXPECT_EQ(FormatDbxDate(Ticks(1024344150), DbxTimeZone::Utc), "2002/06/17 08:02 PM");
    EXPECT_EQ(FormatDbxDate(Ticks(1018785600), DbxTimeZone::Utc), "2002/04/14 12:00 PM");  // noon
    EXPECT_EQ(FormatDbxDate(0, DbxTimeZone::Utc), "1601/01/01 12:00 AM");
    // Seconds are not shown; sub-second ticks do not round up.
    EXPECT_EQ(FormatDbxDate(Ticks(1018744079) + 9999999, DbxTimeZone::Utc), "2002/04/14 12:27 AM");
    EXPECT_FALSE(FormatDbxDate(~uint64_t(0), DbxTimeZone::Utc).empty());  // year 58000 and more
}

}  // namespace
