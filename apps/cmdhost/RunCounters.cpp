// Reading the counter lines of the engines' closing logs.
#include "RunCounters.h"

#include "CmdHostText.h"

namespace cmdhost {

namespace {

// A line "<digits> <label>" (nothing else on it); false for any other line.
bool ReadCounterLine(std::string_view line, uint64_t& value, std::string_view& label) {
    size_t i = 0;
    uint64_t number = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        if (number > (UINT64_MAX - 9) / 10) return false;
        number = number * 10 + uint64_t(line[i] - '0');
        ++i;
    }
    if (i == 0 || i + 1 >= line.size() || line[i] != ' ') return false;
    value = number;
    label = line.substr(i + 1);
    return true;
}

}  // namespace

void RunCounters::AddFromLog(std::string_view logText) {
    const struct {
        const char* label;
        uint64_t RunCounters::*field;
    } counters[] = {{text::COUNTER_ADDED, &RunCounters::added},
                    {text::COUNTER_UPDATED, &RunCounters::updated},
                    {text::COUNTER_SKIPPED, &RunCounters::skipped},
                    {text::COUNTER_DELETED, &RunCounters::deleted},
                    {text::COUNTER_ERRORS, &RunCounters::errors}};
    size_t start = 0;
    while (start < logText.size()) {
        size_t end = logText.find('\n', start);
        if (end == std::string_view::npos) end = logText.size();
        std::string_view line = logText.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        uint64_t value = 0;
        std::string_view label;
        if (ReadCounterLine(line, value, label))
            for (const auto& c : counters)
                if (label == c.label) this->*c.field += value;
        start = end + 1;
    }
}

}  // namespace cmdhost
