// The terminal view of a run.
#include "ConsoleView.h"

#include <algorithm>
#include <optional>

#include "CmdHostText.h"
#include "StopSignal.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/TextFormat.h"

namespace cmdhost {

namespace {

constexpr unsigned BAR_CELLS = 20;
constexpr unsigned MIN_COLUMNS = 40;
constexpr unsigned MAX_COLUMNS = 1000;
constexpr const char* ELLIPSIS = "...";

// Number of characters (UTF-8 code points) of `text`.
size_t CharCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

// The last `chars` characters of `text`.
std::string LastChars(const std::string& text, size_t chars) {
    size_t count = 0;
    for (size_t i = text.size(); i > 0; --i) {
        if ((static_cast<unsigned char>(text[i - 1]) & 0xC0) != 0x80) ++count;
        if (count == chars) return text.substr(i - 1);
    }
    return text;
}

// `text` in at most `room` characters, shortened in the middle.
std::string Shorten(const std::string& text, size_t room) {
    if (CharCount(text) <= room) return text;
    const size_t ellipsis = 3;
    if (room <= ellipsis) return CutChars(text, room);
    const size_t head = (room - ellipsis) / 3;
    const size_t tail = room - ellipsis - head;
    return CutChars(text, head) + ELLIPSIS + LastChars(text, tail);
}

// Control characters of a file name would move the cursor or garble the line.
std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

}  // namespace

CConsoleView::CConsoleView(std::ostream& progress, std::ostream& messages,
                           const ConsoleOptions& options, const CStopSignal* stop)
    : m_progress(progress), m_messages(messages), m_options(options), m_stop(stop) {}

CConsoleView::~CConsoleView() { ClearLine(); }

void CConsoleView::ClearLine() {
    if (m_shown == 0) return;
    m_progress << '\r' << std::string(m_shown, ' ') << '\r' << std::flush;
    m_shown = 0;
}

void CConsoleView::ShowMessage(const std::string& text, MessageIcon) {
    if (!m_options.showFinished && text == text::MSG_BACKUP_FINISHED) return;
    ClearLine();
    m_messages << text << '\n' << std::flush;
}

void CConsoleView::ReportProblem(const std::string& text) {
    ClearLine();
    m_messages << m_options.program << ": " << text << '\n' << std::flush;
}

void CConsoleView::OnEngineEvent(EngineEvent event, const HostStatusRecord& status) {
    if (!m_options.progressBar) return;
    if (event != EngineEvent::Progress) {
        ClearLine();
        return;
    }
    const uint64_t now = plat::NowMillis();
    if (m_shown != 0 && now - m_lastDraw < REDRAW_INTERVAL_MS) return;
    m_lastDraw = now;
    std::string line = RenderProgressLine(status, m_options.columns);
    const size_t length = CharCount(line);
    if (length < m_shown) line += std::string(m_shown - length, ' ');
    m_progress << '\r' << line << std::flush;
    m_shown = std::max<size_t>(length, 1);
}

bool CConsoleView::Pump() {
    if (m_stop == nullptr || !m_stop->Raised()) return false;
    if (!m_stopReported) {
        m_stopReported = true;
        ClearLine();
        m_messages << text::MSG_STOPPING << '\n' << std::flush;
    }
    return true;
}

void CConsoleView::ShowUsage(const std::string& text) {
    ClearLine();
    m_progress << text << std::flush;
}

std::vector<std::string> CConsoleView::ItemErrorLines(const RunSummary& summary) {
    std::vector<std::string> lines;
    const uint64_t total = summary.ErrorCount();
    if (total == 0) return lines;
    lines.push_back(plat::Format(text::MSG_ITEMS_IN_ERROR, static_cast<unsigned long long>(total)));
    const size_t shown = std::min(summary.itemErrors.size(), text::MAX_ITEMS_LISTED);
    for (size_t i = 0; i < shown; ++i)
        lines.push_back(plat::Format(text::MSG_ITEM_IN_ERROR, Printable(summary.itemErrors[i].item).c_str(),
                                   Printable(summary.itemErrors[i].reason).c_str()));
    if (total > shown)
        lines.push_back(plat::Format(text::MSG_MORE_ITEMS, static_cast<unsigned long long>(total - shown)));
    return lines;
}

void CConsoleView::OnRunEnded(const RunSummary& summary) {
    ClearLine();
    const std::string seeLog =
        summary.logPath.empty() ? "" : plat::Format(text::MSG_SEE_LOG, Printable(summary.logPath).c_str());
    if (summary.Committed()) {
        const std::vector<std::string> lines = ItemErrorLines(summary);
        if (lines.empty()) return;
        ReportProblem(lines[0]);
        for (size_t i = 1; i < lines.size(); ++i) m_messages << lines[i] << '\n';
        if (!seeLog.empty()) ReportProblem(seeLog);
        m_messages << std::flush;
        return;
    }
    if (!summary.problem.empty()) ReportProblem(summary.problem);
    std::string closing = text::MSG_NOT_COMMITTED;
    if (!seeLog.empty()) closing += " " + seeLog;
    ReportProblem(closing);
}

std::string CConsoleView::RenderProgressLine(const HostStatusRecord& status, unsigned columns) {
    columns = std::clamp(columns, MIN_COLUMNS, MAX_COLUMNS);
    const uint32_t percent = std::min<uint32_t>(status.percent, 100);
    const unsigned filled = unsigned(percent * BAR_CELLS / 100);
    std::string line = "[" + std::string(filled, '#') + std::string(BAR_CELLS - filled, '.') + "] ";
    line += plat::Format("%3u%%", unsigned(percent));
    std::string what = Printable(status.title);
    const std::string item = Printable(status.item);
    if (!what.empty() && !item.empty()) what += ": ";
    const size_t room = columns - 1 - line.size() - 2;
    if (!what.empty() || !item.empty()) {
        line += "  ";
        if (CharCount(what) >= room) {
            line += Shorten(what + item, room);
        } else {
            line += what + Shorten(item, room - CharCount(what));
        }
    }
    return line;
}

unsigned CConsoleView::TerminalColumns() {
    const std::optional<std::string> value = plat::GetEnv(text::ENV_COLUMNS);
    if (!value || value->empty() || value->size() > 5) return 80;
    unsigned columns = 0;
    for (char c : *value) {
        if (c < '0' || c > '9') return 80;
        columns = columns * 10 + unsigned(c - '0');
    }
    return columns == 0 ? 80 : std::clamp(columns, MIN_COLUMNS, MAX_COLUMNS);
}

}  // namespace cmdhost
