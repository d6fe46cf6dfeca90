// CProgressMeter: the progress line of a backup, a restore or a check on a terminal:
// overall percent, files done of total, bytes done of total, rate and time left, and the
// current item, on one line rewritten at most ten times a second. Nothing is written when
// the output is not a terminal.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "Progress.h"

namespace tavctl {

struct ProgressFigures {
    uint64_t filesDone = 0, filesTotal = 0;
    uint64_t bytesDone = 0, bytesTotal = 0;
    uint64_t elapsedMs = 0;
    std::string item;
    // Counting: the totals grow and nothing is done yet. Unknown: there are no totals (the
    // line shows the item only).
    bool counting = false;
    bool unknown = false;
};

class CProgressMeter {
public:
    CProgressMeter(std::ostream& stream, bool enabled, unsigned columns);
    enum class State { Counted, Counting, Unknown };
    void SetState(State state) {
        m_figures.counting = state == State::Counting;
        m_figures.unknown = state == State::Unknown;
    }
    void SetTotals(uint64_t files, uint64_t bytes) {
        m_figures.filesTotal = files;
        m_figures.bytesTotal = bytes;
    }
    // Shows the figures (rate-limited); cheap when the line is not due.
    void Update(uint64_t filesDone, uint64_t bytesDone, const std::string& item);
    void Clear() { m_line.Clear(); }
    // Whether Update would draw now.
    bool Due() const { return m_line.Due(); }
    bool Enabled() const { return m_enabled; }

    // The line for `figures`, cut to `columns` characters (the item is shortened first).
    static std::string Render(const ProgressFigures& figures, unsigned columns);

private:
    CProgress m_line;
    bool m_enabled;
    unsigned m_columns;
    uint64_t m_start;
    ProgressFigures m_figures;
};

// "1:05:09", "4:07" from seconds.
std::string FormatDuration(uint64_t seconds);

}  // namespace tavctl
