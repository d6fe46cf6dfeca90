#include "core/DbxMessageRow.h"

#include <string_view>

#include "core/DbxMessageRecord.h"
#include "core/OeStrings.h"

namespace {

constexpr std::string_view SUBJECT_PREFIXES[] = {"re", "fwd", "fw"};

std::optional<std::string> TextOf(const DbxMessageRecord& record, uint32_t index) {
    if (!record.Has(index)) return std::nullopt;
    return record.Utf8Text(index);
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The length of one prefix at the start of `s` ("Re:", "Fw:", "Fwd:", "Re[3]:"), 0 when
// none.
size_t PrefixLength(std::string_view s) {
    for (std::string_view word : SUBJECT_PREFIXES) {
        if (!OeStartsWithNoCase(s, word)) continue;
        size_t at = word.size();
        if (at < s.size() && s[at] == '[') {  // a reply counter
            size_t close = at + 1;
            while (close < s.size() && s[close] >= '0' && s[close] <= '9') ++close;
            if (close == at + 1 || close >= s.size() || s[close] != ']') continue;
            at = close + 1;
        }
        if (at < s.size() && s[at] == ':') return at + 1;
    }
    return 0;
}

}  // namespace

std::string DbxStripSubjectPrefix(std::string_view subject) {
    std::string_view s = subject;
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    for (size_t n = PrefixLength(s); n != 0; n = PrefixLength(s)) {
        s.remove_prefix(n);
        while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    }
    return std::string(s);
}

DbxMessageRow MakeDbxMessageRow(const DbxMessageRecord& record, DbxTimeZone zone) {
    DbxMessageRow row;
    row.offset = record.Offset();
    row.iconFlag = (record.Integer(DBX_MESSAGE_FLAGS) & DBX_MESSAGE_FLAG_ICON) != 0;
    row.hasText = record.Has(DBX_MESSAGE_TEXT);
    row.from = TextOf(record, DBX_MESSAGE_SENDER_ADDRESS);
    row.to = TextOf(record, DBX_MESSAGE_RECEIVER_ADDRESS);
    row.subject = TextOf(record, DBX_MESSAGE_SUBJECT);
    row.plainSubject = TextOf(record, DBX_MESSAGE_PLAIN_SUBJECT);
    if (!row.plainSubject && row.subject) row.plainSubject = DbxStripSubjectPrefix(*row.subject);
    row.account = TextOf(record, DBX_MESSAGE_ACCOUNT);
    uint64_t ticks = 0;
    if (record.ReceivedTime(ticks)) {
        row.received = ticks;
        row.receivedText = FormatDbxDate(ticks, zone);
    }
    return row;
}
