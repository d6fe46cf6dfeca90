// The progress line with totals, rate and time left.
#include "ProgressMeter.h"

#include <algorithm>

#include "TextTable.h"
#include "platform/Clock.h"

namespace tavctl {

CProgressMeter::CProgressMeter(std::ostream& stream, bool enabled, unsigned columns)
    : m_line(stream, enabled), m_enabled(enabled), m_columns(columns), m_start(plat::NowMillis()) {}

void CProgressMeter::Update(uint64_t filesDone, uint64_t bytesDone, const std::string& item) {
    if (!m_enabled) return;
    m_line.Update([&] {
        m_figures.filesDone = filesDone;
        m_figures.bytesDone = bytesDone;
        m_figures.item = item;
        m_figures.elapsedMs = plat::NowMillis() - m_start;
        return Render(m_figures, m_columns);
    });
}

std::string FormatDuration(uint64_t seconds) {
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof(text), "%llu:%02llu:%02llu",
                      static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>(seconds / 60 % 60),
                      static_cast<unsigned long long>(seconds % 60));
    else
        std::snprintf(text, sizeof(text), "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
    return text;
}

// `line`, then as much of `item` as the columns leave room for.
static std::string WithItem(std::string line, const std::string& item, unsigned columns) {
    const size_t used = line.empty() ? 1 : Utf8Width(line) + 3;  // the gap, and the cursor's column
    if (item.empty() || used + 4 >= columns) return line;
    const size_t room = columns - used;
    std::string shown = item;
    if (Utf8Width(shown) > room) {
        // Keep the end of the path: the file name says most.
        size_t cut = shown.size() - std::min(shown.size(), room - 3);
        while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) ++cut;
        shown = "..." + shown.substr(cut);
    }
    return line.empty() ? shown : line + "  " + shown;
}

std::string CProgressMeter::Render(const ProgressFigures& f, unsigned columns) {
    if (f.unknown) return WithItem("", f.item, columns);
    if (f.counting)
        return WithItem("counting  " + std::to_string(f.filesTotal) + " files  " + FormatBytes(f.bytesTotal),
                        f.item, columns);
    // The percent follows the bytes; a run of empty files follows the file count.
    double fraction = 1;  // nothing to do is all done
    if (f.bytesTotal > 0)
        fraction = double(std::min(f.bytesDone, f.bytesTotal)) / double(f.bytesTotal);
    else if (f.filesTotal > 0)
        fraction = double(std::min(f.filesDone, f.filesTotal)) / double(f.filesTotal);
    char percent[8];
    std::snprintf(percent, sizeof(percent), "%3d%%", int(fraction * 100));
    std::string line = percent;
    line += "  " + std::to_string(std::min(f.filesDone, f.filesTotal)) + "/" +
            std::to_string(f.filesTotal) + " files  " + FormatBytes(std::min(f.bytesDone, f.bytesTotal)) +
            "/" + FormatBytes(f.bytesTotal);
    const double seconds = double(f.elapsedMs) / 1000.0;
    if (seconds >= 1.0 && f.bytesDone > 0) {
        const double rate = double(f.bytesDone) / seconds;
        line += "  " + FormatBytes(uint64_t(rate)) + "/s";
        if (f.bytesTotal > f.bytesDone)
            line += "  " + FormatDuration(uint64_t(double(f.bytesTotal - f.bytesDone) / rate + 0.5)) +
                    " left";
    }
    return WithItem(line, f.item, columns);
}

}  // namespace tavctl
