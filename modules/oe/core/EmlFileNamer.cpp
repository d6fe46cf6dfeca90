#include "core/EmlFileNamer.h"

#include <cstdint>

#include "core/DbxCaseFold.h"
#include "core/DbxViewerText.h"
#include "core/OeStrings.h"
#include "platform/TextFormat.h"
#include "platform/Utf8.h"

namespace {

constexpr const char* EML_SUFFIX = ".eml";
constexpr std::string_view WINDOWS_FORBIDDEN = "\\:*?\"<>|/";
constexpr std::string_view WINDOWS_DEVICES[] = {"con", "prn", "aux", "nul"};
constexpr std::string_view WINDOWS_NUMBERED_DEVICES[] = {"com", "lpt"};

bool IsTrimmed(char c) { return c == ' ' || c == '.'; }

// True for names Windows keeps for devices ("CON", "com1", "nul.txt" and the like).
bool IsWindowsDevice(const std::string& name) {
    const std::string stem = OeLowerAscii(name.substr(0, name.find('.')));
    for (std::string_view device : WINDOWS_DEVICES)
        if (stem == device) return true;
    for (std::string_view device : WINDOWS_NUMBERED_DEVICES)
        if (stem.size() == 4 && stem.compare(0, 3, device) == 0 && stem[3] >= '1' && stem[3] <= '9')
            return true;
    return false;
}

// The length of the longest prefix of `s` that fits `max` bytes and ends on a character
// boundary (s is valid UTF-8).
size_t CutAt(const std::string& s, size_t max) {
    if (s.size() <= max) return s.size();
    size_t at = max;
    while (at > 0 && (uint8_t(s[at]) & 0xC0) == 0x80) --at;
    return at;
}

}  // namespace

std::string CEmlFileNamer::SafeBaseName(std::string_view subject) {
    const std::string text = plat::Utf8OrCp1252ToUtf8(subject);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const uint8_t b = uint8_t(c);
        const bool space =
            c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
        if (space) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else if (b < 0x20 || b == 0x7F || WINDOWS_FORBIDDEN.find(c) != std::string_view::npos) {
            out.push_back('_');
        } else {
            out.push_back(c);
        }
    }
    // Trim, cut, and trim again: the cut may leave a space or dot at the end.
    for (int round = 0; round < 2; ++round) {
        size_t begin = 0;
        while (begin < out.size() && IsTrimmed(out[begin])) ++begin;
        size_t end = out.size();
        while (end > begin && IsTrimmed(out[end - 1])) --end;
        out = out.substr(begin, end - begin);
        out.resize(CutAt(out, EML_NAME_MAX_BYTES));
    }
    if (out.empty()) return dbxviewer::EML_DEFAULT_NAME;
    if (IsWindowsDevice(out)) out.insert(out.begin(), '_');
    return out;
}

std::string CEmlFileNamer::Next(std::string_view subject) {
    const std::string base = SafeBaseName(subject);
    for (uint64_t n = 1;; ++n) {
        const std::string name = n == 1 ? base + EML_SUFFIX
                                        : plat::Format("%s (%llu)%s", base.c_str(),
                                                   static_cast<unsigned long long>(n), EML_SUFFIX);
        const std::string folded = DbxFoldCase(name);
        if (m_given.count(folded) != 0 || (m_taken && m_taken(name))) continue;
        m_given.insert(folded);
        return name;
    }
}
