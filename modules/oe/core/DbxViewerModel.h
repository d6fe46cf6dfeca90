// CDbxViewerModel: the logic of the message viewer window, without the window.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DbxMessageSearch.h"
#include "core/DbxMessageSort.h"

class DbxInput;

// What the viewer asks of its user; the window answers with message boxes and a save
// dialog, tests with scripted answers.
class IDbxViewerPrompt {
public:
    virtual ~IDbxViewerPrompt() = default;
    // A Yes/No question with the question icon; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A warning with the warning icon.
    virtual void Warn(const std::string& text) = 0;
    // The save dialog for an export (extension "eml", the filter of DbxViewerText.h, with
    // an overwrite prompt); nullopt when cancelled.
    virtual std::optional<std::string> AskSavePath() = 0;
};

// Which controls are enabled.
struct DbxViewerEnabling {
    bool filterCheck = false;  // "Filter"
    bool filterEdit = false;   // the filter text and the four field check boxes
    bool applyFilter = false;  // "Apply Filter" ("Stop" while busy)
    bool exportEml = false;    // "Export to .eml"
    bool close = false;        // "Close"
};

// The viewer over one message store. The input is not owned and must outlive the model.
// The window calls Open once, then forwards its controls' events. While a search runs the
// model calls the pump (set by the window) after every refresh interval, so that waiting
// window messages are handled; an "Apply Filter" pressed then asks to stop the search.
class CDbxViewerModel {
public:
    CDbxViewerModel(DbxInput& input, IDbxViewerPrompt& prompt,
                    DbxTimeZone zone = DbxTimeZone::Local);

    // Lets waiting window messages through while a search runs.
    void SetPump(std::function<void()> pump) { m_pump = std::move(pump); }

    // The dialog opens: the first search lists every message ("Filter" is off).
    void Open() { Search(); }
    // "Apply Filter": while a search runs, asks "Stop Searching?" and on Yes stops it;
    // otherwise searches with the current filter.
    void ApplyFilter();
    // The "Filter" check box; unchecking it lists every message again.
    void SetFilterChecked(bool checked);
    void SetFilterText(const std::string& text) { m_query.text = text; }
    // One of the field check boxes (DBX_FIELD_FROM ... DBX_FIELD_CONTENT).
    void SetField(uint32_t field, bool checked);
    // "Close": stops a running search.
    void Close() { m_cancel = true; }

    // A click on a column header (ignored while a search runs).
    void ClickColumn(DbxColumn column);
    // The focused row changed: the text to show in the message pane, converted to UTF-8
    // for display; empty while a search runs, for a row without text or on damage (then
    // `Problem` tells why).
    std::string FocusRow(size_t row);
    // The selected row (the first after a search that found any).
    std::optional<size_t> Selected() const { return m_selected; }
    void Select(std::optional<size_t> row) { m_selected = row; }
    // "Export to .eml": asks for a path and writes the selected message there; a failure
    // warns "Cannot export the message to .eml file.". True when a file was written.
    bool ExportSelected();

    const std::vector<DbxMessageRow>& Rows() const { return m_rows; }
    const DbxSearchQuery& Query() const { return m_query; }
    const CDbxSortState& Sort() const { return m_sort; }
    bool Busy() const { return m_busy; }
    // "Processing... N%" while a search runs, else empty.
    const std::string& ProgressText() const { return m_progress; }
    DbxViewerEnabling Enabling() const;
    // The last problem met (damage found by a search, an unreadable text, a failed export).
    const std::string& Problem() const { return m_problem; }

    // Runs a search (nothing while one runs) and applies the current sort to its rows.
    void Search();

private:
    class CObserver;

    DbxInput& m_input;
    IDbxViewerPrompt& m_prompt;
    DbxTimeZone m_zone;
    std::function<void()> m_pump;
    DbxSearchQuery m_query;
    CDbxSortState m_sort;
    std::vector<DbxMessageRow> m_rows;
    std::optional<size_t> m_selected;
    bool m_busy = false;
    bool m_cancel = false;
    std::string m_progress;
    std::string m_problem;
};
