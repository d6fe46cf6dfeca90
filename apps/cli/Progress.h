// CProgress: one progress line on a terminal, rewritten in place at most ten times a
// second, and erased before other output and at the end.
#pragma once
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace tavctl {

class CProgress {
public:
    CProgress(std::ostream& stream, bool enabled) : m_stream(stream), m_enabled(enabled) {}
    ~CProgress() { Clear(); }
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    // Shows the text `make` gives, unless the line was rewritten very recently (`make` is
    // then not called).
    void Update(const std::function<std::string()>& make);
    // Whether Update would rewrite the line now (callers skip preparing its text else).
    bool Due() const;
    // Erases the line (before a report line, and at the end).
    void Clear();

private:
    static constexpr uint64_t INTERVAL_MS = 100;  // at most ten lines a second
    std::ostream& m_stream;
    bool m_enabled;
    uint64_t m_last = 0;
    size_t m_shown = 0;  // length of the line on the terminal
};

// "12.3 MiB" and the like.
std::string FormatBytes(uint64_t bytes);

}  // namespace tavctl
