// CDbxMessageSearch: lists the messages of a message store, optionally filtered by a text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/DbxDateText.h"
#include "core/DbxMessageRow.h"

class DbxInput;

// The fields a filter looks in (the viewer's check boxes), searched in this order.
constexpr uint32_t DBX_FIELD_FROM = 1;
constexpr uint32_t DBX_FIELD_TO = 2;
constexpr uint32_t DBX_FIELD_SUBJECT = 4;
constexpr uint32_t DBX_FIELD_CONTENT = 8;  // the whole message text, headers and body
constexpr uint32_t DBX_FIELD_ALL = 15;

// Rows between two progress reports: every message when the content is searched (each
// costs a read of its text), else every 100 messages.
constexpr uint32_t DBX_REFRESH_CONTENT = 1;
constexpr uint32_t DBX_REFRESH_FIELDS = 100;

struct DbxSearchQuery {
    bool filter = false;                  // the "Filter" check box
    std::string text;                     // UTF-8
    uint32_t fields = DBX_FIELD_SUBJECT;  // the check box checked when the viewer opens

    // The filter takes part when it is switched on and its text, trimmed, is not empty.
    bool Active() const;
    // The text without the white space around it.
    std::string Trimmed() const;
};

// Receives a search's progress; both calls come from the searching thread.
class CDbxSearchObserver {
public:
    virtual ~CDbxSearchObserver() = default;
    // After every refresh interval: the percent done, (count / 2 + 100 x done) / count.
    // The viewer shows it and lets waiting window messages through here.
    virtual void OnSearchProgress(uint32_t percent) {}
    // Polled before each message; true ends the search with the rows found so far.
    virtual bool SearchCancelled() { return false; }
};

struct DbxSearchResult {
    std::vector<DbxMessageRow> rows;  // in tree order
    uint32_t examined = 0;            // message records looked at
    bool cancelled = false;
    // The message tree (or the header) could not be read: `rows` holds what was found
    // before the damage, `error` names it.
    bool damaged = false;
    // Messages whose record or text could not be read; they are left out, the first
    // problem is kept in `error`.
    uint32_t unreadable = 0;
    std::string error;
};

// One search over a message store. A message is listed when its record holds the text
// position (index 0x04), it passes the filter, and its received time holds 8 bytes (the
// list shows it). Damage never escapes as an exception: it ends up in the result.
class CDbxMessageSearch {
public:
    explicit CDbxMessageSearch(DbxInput& input, DbxTimeZone zone = DbxTimeZone::Local)
        : m_input(input), m_zone(zone) {}

    DbxSearchResult Run(const DbxSearchQuery& query, CDbxSearchObserver* observer = nullptr);

    // With `requireDate` false, messages without a received time are kept as well (an
    // export of every message wants them all).
    void SetRequireDate(bool requireDate) { m_requireDate = requireDate; }

private:
    DbxInput& m_input;
    DbxTimeZone m_zone;
    bool m_requireDate = true;
};

// The percent shown after `done` of `count` messages.
uint32_t DbxSearchPercent(uint32_t done, uint32_t count);
