// The progress line.
#include "Progress.h"

#include <cstdio>

#include "platform/Clock.h"

namespace tavctl {

bool CProgress::Due() const {
    return m_enabled && (m_shown == 0 || plat::NowMillis() - m_last >= INTERVAL_MS);
}

void CProgress::Update(const std::function<std::string()>& make) {
    if (!m_enabled) return;
    const uint64_t now = plat::NowMillis();
    if (m_shown != 0 && now - m_last < INTERVAL_MS) return;
    m_last = now;
    std::string line = make();
    const size_t length = line.size();
    if (length < m_shown) line += std::string(m_shown - length, ' ');
    m_stream << '\r' << line << std::flush;
    m_shown = length == 0 ? 1 : length;
}

void CProgress::Clear() {
    if (!m_enabled || m_shown == 0) return;
    m_stream << '\r' << std::string(m_shown, ' ') << '\r' << std::flush;
    m_shown = 0;
}

std::string FormatBytes(uint64_t bytes) {
    static const char* UNITS[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof(text), "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof(text), "%.1f %s", value, UNITS[unit]);
    return text;
}

}  // namespace tavctl
