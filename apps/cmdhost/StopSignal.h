// CStopSignal: Ctrl-C (SIGINT) and SIGTERM ask a run on the terminal to stop cleanly.
#pragma once

namespace cmdhost {

// While an object lives, the first SIGINT or SIGTERM only raises a flag that the run
// reads at its next progress report (the run then rolls back); a second one ends the
// process as usual. One object at a time; the previous handlers are put back at the end.
class CStopSignal {
public:
    CStopSignal();
    ~CStopSignal();
    CStopSignal(const CStopSignal&) = delete;
    CStopSignal& operator=(const CStopSignal&) = delete;

    bool Raised() const;
    // For tests: as if the signal had come.
    static void Raise();
};

}  // namespace cmdhost
