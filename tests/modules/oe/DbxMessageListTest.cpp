// The viewer's message list: which messages a search lists, the filter's fields and case
// rules, the content search, progress, cancel and damage; the column sorts, the sort
// header's state, subject prefixes and the date text.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>

#include "core/DbxCaseFold.h"
#include "core/DbxDateText.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageSearch.h"
#include "core/DbxMessageSort.h"
#include "modules/oe/DbxTestStore.h"

using dbxtest::Message;

namespace {

class CRecordingObserver : public CDbxSearchObserver {
public:
    void OnSearchProgress(uint32_t percent) override {
        percents.push_back(percent);
        if (cancelAfter && percents.size() >= cancelAfter) cancel = true;
    }
    bool SearchCancelled() override { return cancel; }
    std::vector<uint32_t> percents;
    size_t cancelAfter = 0;
    bool cancel = false;
};

// The subjects of the rows, in order.
std::vector<std::string> Subjects(const std::vector<DbxMessageRow>& rows) {
    std::vector<std::string> out;
    for (const DbxMessageRow& row : rows) out.push_back(row.subject.value_or("<none>"));
    return out;
}

TEST(DbxMessageSearchTest, FilterFieldsCaseAndContent) {
    Message a;
    a.subject = "Meeting on Monday";
    a.from = "Ann@Example.com";
    a.to = "bob@example.org";
    a.text = "From: Ann\r\nSubject: Meeting on Monday\r\n\r\nThe agenda: budget and PLANS.\r\n";
    a.blockSize = 7;  // words straddle the text's blocks
    Message b;
    b.subject = "Re: Meeting on Monday";
    b.from = "bob@example.org";
    b.to = "ann@example.com";
    b.text = "Fine with me.\r\n";
    Message c;
    c.subject = "\xC9t\xE9 \xE0 Paris";  // "Été à Paris" in Windows-1252
    c.from = "claire@example.fr";
    c.to = "ann@example.com";
    c.text = "Bonjour!\r\n";
    const std::vector<uint8_t> store = dbxtest::BuildStore({a, b, c});
    const std::string meeting = "Meeting on Monday", re = "Re: Meeting on Monday",
                      paris = "\xC3\x89t\xC3\xA9 \xC3\xA0 Paris";
    const std::vector<std::string> all = {meeting, re, paris};
    constexpr uint32_t NOT_CONTENT = DBX_FIELD_SUBJECT | DBX_FIELD_FROM | DBX_FIELD_TO;
    const struct {
        const char* why;
        bool filter;
        const char* text;
        uint32_t fields;
        std::vector<std::string> subjects;
    } cases[] = {
        {"no filter", false, "", 0, all},
        {"filter unchecked: the text does not count", false, "nothing matches this", DBX_FIELD_ALL,
         all},
        {"a blank text is no filter", true, " \t\r\n ", DBX_FIELD_ALL, all},
        {"from only", true, "claire", DBX_FIELD_FROM, {paris}},
        {"from not selected",
         true,
         "claire",
         DBX_FIELD_TO | DBX_FIELD_SUBJECT | DBX_FIELD_CONTENT,
         {}},
        {"to", true, "example.org", DBX_FIELD_TO, {meeting}},
        {"subject", true, "Re:", DBX_FIELD_SUBJECT, {re}},
        {"content not selected", true, "agenda", NOT_CONTENT, {}},
        {"no field selected", true, "agenda", 0, {}},
        {"case and surrounding blanks", true, "  MEETING ", DBX_FIELD_SUBJECT, {meeting, re}},
        {"case of an address", true, "ann@EXAMPLE.COM", DBX_FIELD_FROM, {meeting}},
        {"non-ASCII letters fold; Windows-1252 matches UTF-8",
         true,
         "\xC3\xA9T\xC3\x89",
         DBX_FIELD_SUBJECT,
         {paris}},
        {"content across 7-byte blocks", true, "Budget and plans", DBX_FIELD_CONTENT, {meeting}},
        {"headers are part of the text", true, "from: ann", DBX_FIELD_CONTENT, {meeting}},
        {"content of another message", true, "fine WITH", DBX_FIELD_CONTENT, {re}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        DbxSearchQuery query;
        query.filter = row.filter;
        query.text = row.text;
        query.fields = row.fields;
        DbxMemoryInput input(store);
        const DbxSearchResult result = CDbxMessageSearch(input, DbxTimeZone::Utc).Run(query);
        EXPECT_FALSE(result.damaged) << result.error;
        EXPECT_EQ(Subjects(result.rows), row.subjects);
    }
}

// (The texts of each column: tavctl's "dbx ls" in its tests.)
TEST(DbxMessageSearchRules, RowsNeedATextAndATime) {
    Message noText;
    noText.subject = "no text";
    noText.text.reset();
    Message noDate;
    noDate.subject = "no date";
    noDate.received.reset();
    Message m;
    m.flags = DBX_MESSAGE_FLAG_ICON | 0x80;
    std::vector<uint32_t> offsets;
    const std::vector<uint8_t> bytes = dbxtest::BuildStore({noText, noDate, m}, &offsets);
    DbxMemoryInput input(bytes);
    CDbxMessageSearch search(input, DbxTimeZone::Utc);
    DbxSearchResult result = search.Run({});
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.examined, 3u);
    const DbxMessageRow& row = result.rows[0];
    EXPECT_EQ(row.offset, offsets[2]);
    EXPECT_TRUE(row.iconFlag);
    EXPECT_EQ(row.received, dbxtest::Ticks(1018744077));
    EXPECT_EQ(row.receivedText, "2002/04/14 12:27 AM");
    // An export of every message keeps those without a time.
    search.SetRequireDate(false);
    result = search.Run({});
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[0].subject, "no date");
    EXPECT_FALSE(result.rows[0].received);
    EXPECT_EQ(result.rows[0].receivedText, "");
}

// (A search of the other fields refreshes every hundred messages: DbxViewerModelTest.)
TEST(DbxMessageSearchProgress, AContentSearchRefreshesAfterEveryMessage) {
    std::vector<Message> messages(250);
    for (size_t i = 0; i < messages.size(); ++i) messages[i].subject = "m" + std::to_string(i);
    const std::vector<uint8_t> bytes = dbxtest::BuildStore(messages, nullptr, 10);
    DbxMemoryInput input(bytes);
    CDbxMessageSearch search(input);
    DbxSearchQuery content;
    content.filter = true;
    content.text = "body";
    content.fields = DBX_FIELD_CONTENT;
    CRecordingObserver each;
    EXPECT_EQ(search.Run(content, &each).rows.size(), 250u);
    ASSERT_EQ(each.percents.size(), 250u);
    EXPECT_EQ(each.percents.front(), 0u);  // (125 + 100) / 250
    EXPECT_EQ(each.percents.back(), 100u);
    EXPECT_EQ(DbxSearchPercent(0, 0), 100u);

    // Cancel ends the search with the rows found so far.
    CRecordingObserver cancelling;
    cancelling.cancelAfter = 5;
    const DbxSearchResult result = search.Run(content, &cancelling);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.rows.size(), 5u);
    EXPECT_EQ(result.rows.back().subject, "m4");
}

TEST(DbxMessageSearchDamage, DamageIsReportedNotThrown) {
    auto run = [](const std::vector<uint8_t>& bytes) {
        DbxMemoryInput input(bytes);
        return CDbxMessageSearch(input).Run({});
    };
    CDbxWriter empty;  // header counts 0
    DbxSearchResult result = run(empty.Bytes());
    EXPECT_TRUE(result.rows.empty());
    EXPECT_FALSE(result.damaged);
    EXPECT_EQ(result.examined, 0u);

    result = run(std::vector<uint8_t>(100, 0));  // no whole header
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.error.rfind("Error reading object from input stream !", 0), 0u);

    std::vector<Message> messages(3);
    messages[0].subject = "first";
    messages[1].subject = "broken";
    messages[2].subject = "third";
    std::vector<uint32_t> offsets;
    CDbxWriter w;
    dbxtest::BuildStore(messages, &offsets, 51, &w);
    CDbxWriter tree = w;
    tree.SetU32(tree.GetU32(0xE4), 0xBAD);  // the root's marker
    result = run(tree.Bytes());
    EXPECT_TRUE(result.damaged);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_NE(result.error.find("Wrong object marker !"), std::string::npos);

    // An unreadable message is left out and counted.
    w.SetU32(offsets[1], offsets[1] + 1);  // the second record's marker
    result = run(w.Bytes());
    EXPECT_FALSE(result.damaged);
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[1].subject, "third");
    EXPECT_EQ(result.unreadable, 1u);
    EXPECT_NE(result.error.find("Wrong object marker !"), std::string::npos);
}

TEST(DbxMessageSearchDamage, ABrokenTextOnlyFailsTheContentTest) {
    Message m;
    m.subject = "budget";
    m.text = std::string(2000, 'x');
    CDbxWriter w;
    dbxtest::BuildStore({m}, nullptr, 51, &w);
    // The second text block's marker (blocks of 512 bytes follow the header).
    const uint32_t first = 0x24BC;
    w.SetU32(w.GetU32(first + 12), 1);
    DbxMemoryInput input(w.Bytes());
    // The subject hits first, so the text is never read.
    DbxSearchQuery q;
    q.filter = true;
    q.text = "BUDGET";
    q.fields = DBX_FIELD_SUBJECT | DBX_FIELD_CONTENT;
    DbxSearchResult result = CDbxMessageSearch(input).Run(q);
    EXPECT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.unreadable, 0u);
    // Only the content: no match, and the damage is told.
    q.fields = DBX_FIELD_CONTENT;
    result = CDbxMessageSearch(input).Run(q);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_EQ(result.unreadable, 1u);
    EXPECT_NE(result.error.find("Wrong object marker !"), std::string::npos);
}

TEST(DbxCaseFoldTest, FoldsTheLettersOfTheWindowsCodePages) {
    EXPECT_EQ(DbxFoldCase("ABC xyz 123"), "abc xyz 123");
    EXPECT_EQ(DbxFoldCase("\xC3\x89\xC3\x80\xC3\x96\xC3\x98"),
              "\xC3\xA9\xC3\xA0\xC3\xB6\xC3\xB8");                                   // ÉÀÖØ
    EXPECT_EQ(DbxFoldCase("\xC3\x97"), "\xC3\x97");                                  // × stays
    EXPECT_EQ(DbxFoldCase("\xC5\x81\xC5\xBD\xC5\xB8"), "\xC5\x82\xC5\xBE\xC3\xBF");  // ŁŽŸ
    EXPECT_EQ(DbxFoldCase("\xCE\xA3\xD0\x96\xD0\x81"), "\xCF\x83\xD0\xB6\xD1\x91");  // ΣЖЁ
    EXPECT_EQ(DbxFoldCase("\xC9"), "\xC3\xA9");  // a Windows-1252 É
    EXPECT_EQ(DbxCompareNoCase("Zeta", "alpha"), 1);
    EXPECT_TRUE(CDbxFoldedNeedle("").FoundIn(""));
    EXPECT_FALSE(CDbxFoldedNeedle("abc").FoundIn("ab"));
}

std::vector<uint32_t> Offsets(const std::vector<DbxMessageRow>& rows) {
    std::vector<uint32_t> out;
    for (const DbxMessageRow& r : rows) out.push_back(r.offset);
    return out;
}

// Each column sorts by its own field, stably: missing values first, then texts without regard
// to case, dates as whole file times (the high word first), rows with the icon flag last.
TEST(DbxMessageSortTest, EveryColumnSortsStablyByItsOwnField) {
    const uint64_t high = uint64_t(1) << 32;
    const struct {
        std::optional<std::string> from, to, account;
        bool icon;
        std::optional<uint64_t> received;
    } fields[] = {
        {"bob@x", "z", "a", true, 2 * high + 1},
        {"Alice@x", "a", "z", false, high + 0xFFFFFFFF},
        {std::nullopt, std::nullopt, std::nullopt, false, std::nullopt},
        {"", "m", "m", true, 2 * high},                       // empty, but not missing
        {"ALICE@x", "b", std::nullopt, false, std::nullopt},  // row 2's sender but for case
    };
    std::vector<DbxMessageRow> rows(std::size(fields));
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].offset = uint32_t(i + 1);
        rows[i].from = fields[i].from;
        rows[i].to = fields[i].to;
        rows[i].account = fields[i].account;
        rows[i].iconFlag = fields[i].icon;
        rows[i].received = fields[i].received;
    }
    const struct {
        DbxColumn column;
        bool ascending;
        std::vector<uint32_t> order;
    } sorts[] = {
        {DbxColumn::From, true, {3, 4, 2, 5, 1}},
        {DbxColumn::From, false, {1, 2, 5, 4, 3}},  // each comparison swapped; 2 and 5 stay
        {DbxColumn::To, true, {3, 2, 5, 4, 1}},
        {DbxColumn::Account, true, {3, 5, 1, 4, 2}},
        {DbxColumn::Icon, true, {2, 3, 5, 1, 4}},
        {DbxColumn::Received, true, {3, 5, 2, 4, 1}},
    };
    for (const auto& sort : sorts) {
        std::vector<DbxMessageRow> sorted = rows;
        SortDbxRows(sorted, sort.column, sort.ascending);
        EXPECT_EQ(Offsets(sorted), sort.order) << int(sort.column) << " " << sort.ascending;
    }
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
    EXPECT_EQ(Subjects(rows), (std::vector<std::string>{"<none>", "Agenda", "RE: budget",
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

TEST(DbxDateTextTest, FormatsYearMonthDayAndTwelveHourTime) {
    using dbxtest::Ticks;
    // (Morning and evening times: the search's rows here, tavctl's "dbx ls" in its tests.)
    EXPECT_EQ(FormatDbxDate(Ticks(1018785600), DbxTimeZone::Utc), "2002/04/14 12:00 PM");  // noon
    EXPECT_EQ(FormatDbxDate(0, DbxTimeZone::Utc), "1601/01/01 12:00 AM");
    // Seconds are not shown; sub-second ticks do not round up.
    EXPECT_EQ(FormatDbxDate(Ticks(1018744079) + 9999999, DbxTimeZone::Utc), "2002/04/14 12:27 AM");
    EXPECT_FALSE(FormatDbxDate(~uint64_t(0), DbxTimeZone::Utc).empty());  // year 58000 and more
}

}  // namespace
