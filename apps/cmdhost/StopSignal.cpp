// The stop signals. Only standard C++ is used here: std::signal and a sig_atomic_t flag,
// which is all a signal handler may touch.
#include "StopSignal.h"

#include <csignal>

namespace cmdhost {

namespace {

volatile std::sig_atomic_t g_stopRaised = 0;

using Handler = void (*)(int);
Handler g_previousInt = SIG_DFL;
Handler g_previousTerm = SIG_DFL;

extern "C" void OnStopSignal(int signal) {
    g_stopRaised = 1;
    // The next one of the same kind ends the process: a run that does not react in time
    // can still be stopped the hard way.
    std::signal(signal, SIG_DFL);
}

}  // namespace

CStopSignal::CStopSignal() {
    g_stopRaised = 0;
    g_previousInt = std::signal(SIGINT, OnStopSignal);
    g_previousTerm = std::signal(SIGTERM, OnStopSignal);
    // A signal the process was told to ignore (a background job's SIGINT) stays ignored.
    if (g_previousInt == SIG_IGN) std::signal(SIGINT, SIG_IGN);
    if (g_previousTerm == SIG_IGN) std::signal(SIGTERM, SIG_IGN);
}

CStopSignal::~CStopSignal() {
    std::signal(SIGINT, g_previousInt == SIG_ERR ? SIG_DFL : g_previousInt);
    std::signal(SIGTERM, g_previousTerm == SIG_ERR ? SIG_DFL : g_previousTerm);
    g_stopRaised = 0;
}

bool CStopSignal::Raised() const { return g_stopRaised != 0; }

void CStopSignal::Raise() { g_stopRaised = 1; }

}  // namespace cmdhost
