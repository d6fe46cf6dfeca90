// The command host's command line and its process entry.
#include "CmdHostApp.h"

#include <iostream>

#include "CmdHostText.h"
#include "CommandLine.h"
#include "ConsoleView.h"
#include "HostPublisher.h"
#include "WindowLoader.h"
#include "StopSignal.h"
#include "platform/Priority.h"
#include "platform/Process.h"
#include "tavengine/TavModFactory.h"
#include "platform/TextFormat.h"

namespace cmdhost {

CCmdHostApp::CCmdHostApp(const CTavModFactory& hub, CRunnerView& view)
    : m_view(view), m_runner(hub, view) {}

int CCmdHostApp::HandleCommandLine(std::string_view line) {
    return HandleTokens(TokenizeCommandLine(line));
}

int CCmdHostApp::HandleTokens(const std::vector<std::string>& tokens) {
    const HostCommand command = ParseHostCommand(tokens);
    if (command.hide) m_view.Hide();
    if (command.help) {
        m_view.ShowUsage(text::USAGE);
        return EXIT_COMMITTED;
    }
    // Ignored as the command line has always been, but never silently: "FULLL" would
    // otherwise run an incremental backup without a word.
    for (const std::string& token : command.unknown)
        m_view.ReportProblem(plat::Format(text::WARN_UNKNOWN_TOKEN, token.c_str()));
    if (!command.backup) {
        m_view.ReportProblem(std::string("nothing to do\n") + text::USAGE);
        return EXIT_USAGE;
    }
    if (command.jobPath.empty()) {
        m_view.ReportProblem(std::string(text::ERR_NO_JOB_PATH) + "\n" + text::USAGE);
        return EXIT_USAGE;
    }
    return m_runner.RunJob(command.jobPath, command.full, RunKind::Scheduled).ExitStatus();
}

void LowerRunPriority() {
    // An unattended backup yields the processor and the disks to the person at the
    // machine. TAVORA_NORMAL_PRIORITY=1 keeps the priority (for measuring the difference).
    if (plat::GetEnv(text::ENV_NORMAL_PRIORITY).value_or("") == "1") return;
    std::string error;
    plat::LowerToIdlePriority(error);  // a run at normal priority is still a good run
}

int RunCmdHost(const std::vector<std::string>& argv) {
    LowerRunPriority();
    // With a display the window shows the run; without one (cron, ssh), or when the window
    // cannot start, the run is shown on the terminal.
    int windowStatus = 0;
    if (RunWindowIfDisplay(argv, windowStatus)) return windowStatus;

    CTavModFactory hub(text::HUB_COMMAND_BASE);
    hub.Reconnoiter();
    int status = EXIT_NOT_COMMITTED;
    {
        CStopSignal stop;
        ConsoleOptions options;
        options.program = text::PROGRAM;
        options.progressBar = plat::StdoutIsTerminal();
        options.visible = true;
        options.columns = CConsoleView::TerminalColumns();
        CConsoleView view(std::cout, std::cerr, options, &stop);
        CHostPublisher publisher(view, plat::ProcessId());
        publisher.Open();
        CCmdHostApp app(hub, publisher);
        status = app.HandleTokens(argv);
    }
    hub.ReleaseModules();
    return status;
}

}  // namespace cmdhost
