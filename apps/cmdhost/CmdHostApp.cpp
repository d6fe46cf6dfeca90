// The command host's command line and its process entry.
#include "CmdHostApp.h"

#include <iostream>

#include "CmdHostText.h"
#include "CommandLine.h"
#include "ConsoleView.h"
#include "StopSignal.h"
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

int RunCmdHost(const std::vector<std::string>& argv) {
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
        CCmdHostApp app(hub, view);
        status = app.HandleTokens(argv);
    }
    hub.ReleaseModules();
    return status;
}

}  // namespace cmdhost
