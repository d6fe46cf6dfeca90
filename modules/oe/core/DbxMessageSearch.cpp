#include "core/DbxMessageSearch.h"

#include <new>
#include <optional>

#include "core/DbxCaseFold.h"
#include "core/DbxException.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Whether a message passes the filter: the fields in the order From, To, Subject,
// Content; the first hit decides, so the text is read only when the others miss.
// A text that cannot be read does not match; `problem` then tells why.
bool Matches(DbxInput& input, const DbxMessageRow& row, const DbxMessageRecord& record,
             const CDbxFoldedNeedle& needle, uint32_t fields, std::string& problem) {
    const auto hit = [&](const std::optional<std::string>& text) {
        return text && needle.FoundIn(*text);
    };
    if ((fields & DBX_FIELD_FROM) && hit(row.from)) return true;
    if ((fields & DBX_FIELD_TO) && hit(row.to)) return true;
    if ((fields & DBX_FIELD_SUBJECT) && hit(row.subject)) return true;
    if (fields & DBX_FIELD_CONTENT) {
        try {
            const DbxMessageText text(input, record.Integer(DBX_MESSAGE_TEXT));
            return needle.FoundIn(text.Str());
        } catch (const DbxException& e) {
            problem = e.Describe();
        }
    }
    return false;
}

}  // namespace

std::string DbxSearchQuery::Trimmed() const {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool DbxSearchQuery::Active() const { return filter && !Trimmed().empty(); }

uint32_t DbxSearchPercent(uint32_t done, uint32_t count) {
    if (count == 0) return 100;
    return uint32_t((uint64_t(count) / 2 + 100 * uint64_t(done)) / count);
}

DbxSearchResult CDbxMessageSearch::Run(const DbxSearchQuery& query, CDbxSearchObserver* observer) {
    DbxSearchResult result;
    const bool active = query.Active();
    const CDbxFoldedNeedle needle(active ? query.Trimmed() : std::string());
    const uint32_t interval =
        active && (query.fields & DBX_FIELD_CONTENT) ? DBX_REFRESH_CONTENT : DBX_REFRESH_FIELDS;
    const auto note = [&](const std::string& problem) {
        ++result.unreadable;
        if (result.error.empty()) result.error = problem;
    };
    try {
        const DbxHeader header(m_input);
        const uint32_t count = header.MessageCount();
        const uint32_t root = header.MessageRoot();
        if (count == 0 || root == 0) return result;
        const DbxIndexTree tree(m_input, root, count);
        for (uint32_t i = 0; i < tree.Count(); ++i) {
            if (observer && observer->SearchCancelled()) {
                result.cancelled = true;
                break;
            }
            ++result.examined;
            try {
                const DbxMessageRecord record(m_input, tree.Value(i));
                if (record.Has(DBX_MESSAGE_TEXT)) {
                    DbxMessageRow row = MakeDbxMessageRow(record, m_zone);
                    std::string problem;
                    const bool match =
                        !active || Matches(m_input, row, record, needle, query.fields, problem);
                    if (!problem.empty()) note(problem);
                    if (match && (row.received || !m_requireDate))
                        result.rows.push_back(std::move(row));
                }
            } catch (const DbxException& e) {
                note(e.Describe());
            }
            if (observer && (i + 1) % interval == 0)
                observer->OnSearchProgress(DbxSearchPercent(i + 1, tree.Count()));
        }
    } catch (const DbxException& e) {
        result.damaged = true;
        result.error = e.Describe();
    } catch (const std::bad_alloc&) {
        result.damaged = true;
        result.error = DBX_ERR_MEMORY;
    }
    return result;
}
