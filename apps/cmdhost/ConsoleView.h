// CConsoleView: a run shown on a terminal: a progress bar with the current file and
// percent, message boxes as lines, stop by Ctrl-C.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "RunnerView.h"

namespace cmdhost {

class CStopSignal;

struct ConsoleOptions {
    std::string program = "TavCmdHost";  // prefix of warning lines
    bool progressBar = false;  // draw the bar (the progress stream is a terminal)
    bool visible = true;       // message boxes become lines (SW_HIDE clears it)
    bool showFinished = true;  // print "Backup Finished." (tavctl prints a summary instead)
    unsigned columns = 80;     // width of the terminal
};

class CConsoleView : public CRunnerView {
public:
    // `progress` receives the bar, `messages` the message and warning lines. The streams
    // and `stop` (may be null) must outlive the view.
    CConsoleView(std::ostream& progress, std::ostream& messages, const ConsoleOptions& options,
                 const CStopSignal* stop = nullptr);
    ~CConsoleView() override;

    bool IsVisible() const override { return m_options.visible; }
    void Hide() override { m_options.visible = false; }
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void ReportProblem(const std::string& text) override;
    // On the progress stream (standard output for the command host).
    void ShowUsage(const std::string& text) override;
    void OnEngineEvent(EngineEvent event, const HostStatusRecord& status) override;
    bool Pump() override;
    // A run that saved nothing says why, and one that could not store every item lists
    // them (at most 20 with their reasons), whether or not the window is shown: cron and
    // systemd read stderr.
    void OnRunEnded(const RunSummary& summary) override;
    // The lines that list a run's items in error (none when there are none).
    static std::vector<std::string> ItemErrorLines(const RunSummary& summary);

    // Erases the bar (before other output, and at the end).
    void ClearLine();

    // The bar line for a report, at most `columns` - 1 characters wide:
    // "[#########...........]  42%  Backup File: /path/to/file", the path shortened in the
    // middle ("/home/.../file") when it does not fit.
    static std::string RenderProgressLine(const HostStatusRecord& status, unsigned columns);
    // The terminal width from $COLUMNS, else 80.
    static unsigned TerminalColumns();

private:
    static constexpr uint64_t REDRAW_INTERVAL_MS = 100;

    std::ostream& m_progress;
    std::ostream& m_messages;
    ConsoleOptions m_options;
    const CStopSignal* m_stop;
    bool m_stopReported = false;
    uint64_t m_lastDraw = 0;
    size_t m_shown = 0;  // characters of the bar on the terminal
};

}  // namespace cmdhost
