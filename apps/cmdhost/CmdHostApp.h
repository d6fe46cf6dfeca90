// CCmdHostApp: the command host's handling of one command line, and its process entry.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "JobRunner.h"
#include "RunnerView.h"

class CTavModFactory;

namespace cmdhost {

// The application without its window: a window (or the terminal front end) builds it with
// the hub and itself as the view, then hands it the command line.
class CCmdHostApp {
public:
    CCmdHostApp(const CTavModFactory& hub, CRunnerView& view);

    // Handles the command line (token 0 the program): "SW_HIDE" hides the view, and
    // "JOB_BACKUP" runs the job. Returns the exit status.
    int HandleTokens(const std::vector<std::string>& tokens);
    // The same for a command line given as one text.
    int HandleCommandLine(std::string_view line);

    CJobRunner& Runner() { return m_runner; }

private:
    CRunnerView& m_view;
    CJobRunner m_runner;
};

// The program: the hub (found modules), the terminal view, Ctrl-C, the run. `argv` is the
// command line as the system split it (token 0 the program).
int RunCmdHost(const std::vector<std::string>& argv);

}  // namespace cmdhost
