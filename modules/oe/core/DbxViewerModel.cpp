#include "core/DbxViewerModel.h"

#include "core/DbxViewerText.h"
#include "core/EmlExport.h"
#include "core/OeStrings.h"
#include "platform/TextFormat.h"
#include "platform/Utf8.h"

// Passes the search's progress to the window and the cancel flag to the search.
class CDbxViewerModel::CObserver : public CDbxSearchObserver {
public:
    explicit CObserver(CDbxViewerModel& model) : m_model(model) {}
    void OnSearchProgress(uint32_t percent) override {
        m_model.m_progress = plat::Format(dbxviewer::PROGRESS_FORMAT, long(percent));
        if (m_model.m_pump) m_model.m_pump();
    }
    bool SearchCancelled() override { return m_model.m_cancel; }

private:
    CDbxViewerModel& m_model;
};

CDbxViewerModel::CDbxViewerModel(DbxInput& input, IDbxViewerPrompt& prompt, DbxTimeZone zone)
    : m_input(input), m_prompt(prompt), m_zone(zone) {}

void CDbxViewerModel::Search() {
    if (m_busy) return;
    m_rows.clear();
    m_selected.reset();
    m_problem.clear();
    m_busy = true;
    m_cancel = false;
    CObserver observer(*this);
    CDbxMessageSearch search(m_input, m_zone);
    DbxSearchResult result = search.Run(m_query, &observer);
    m_rows = std::move(result.rows);
    if (m_sort.IsSorted()) SortDbxRows(m_rows, m_sort.Column(), m_sort.Ascending());
    m_problem = result.error;
    m_busy = false;
    m_progress.clear();
    if (!m_rows.empty()) m_selected = 0;
}

void CDbxViewerModel::ApplyFilter() {
    if (m_busy) {
        if (m_prompt.AskYesNo(dbxviewer::ASK_STOP_SEARCH)) m_cancel = true;
        return;
    }
    Search();
}

void CDbxViewerModel::SetFilterChecked(bool checked) {
    const bool was = m_query.filter;
    m_query.filter = checked;
    if (was && !checked) Search();
}

void CDbxViewerModel::SetField(uint32_t field, bool checked) {
    if (checked)
        m_query.fields |= field;
    else
        m_query.fields &= ~field;
}

void CDbxViewerModel::ClickColumn(DbxColumn column) {
    if (m_busy) return;
    // The selection follows its message through the sort.
    const std::optional<uint32_t> selected =
        m_selected && *m_selected < m_rows.size()
            ? std::optional<uint32_t>(m_rows[*m_selected].offset)
            : std::nullopt;
    m_sort.Click(column);
    SortDbxRows(m_rows, m_sort.Column(), m_sort.Ascending());
    if (selected)
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].offset == *selected) m_selected = i;
}

std::string CDbxViewerModel::FocusRow(size_t row) {
    if (m_busy || row >= m_rows.size()) return {};
    std::string text;
    std::string error;
    if (!ReadDbxMessageText(m_input, m_rows[row].offset, text, error)) {
        m_problem = error;
        return {};
    }
    return plat::Utf8OrCp1252ToUtf8(text);
}

bool CDbxViewerModel::ExportSelected() {
    if (m_busy || !m_selected || *m_selected >= m_rows.size()) return false;
    const std::optional<std::string> path = m_prompt.AskSavePath();
    if (!path) return false;
    // The save dialog has asked before replacing a file.
    std::string error;
    if (!ExportDbxMessage(m_input, m_rows[*m_selected].offset, *path, EmlOverwrite::Replace,
                          error)) {
        m_problem = error;
        m_prompt.Warn(dbxviewer::WARN_CANNOT_EXPORT);
        return false;
    }
    return true;
}

DbxViewerEnabling CDbxViewerModel::Enabling() const {
    DbxViewerEnabling e;
    e.filterCheck = !m_busy;
    e.exportEml = !m_busy;
    e.close = !m_busy;
    e.filterEdit = m_query.filter && !m_busy;
    e.applyFilter = m_query.filter;
    return e;
}
