#include "core/DbxCaseFold.h"

#include <algorithm>
#include <cstdint>

#include "core/DbxTextConv.h"

namespace {

// The simple lower-case form of one code point, for the scripts the viewer meets in mail
// of the Windows code pages; others are returned unchanged.
uint32_t LowerCodePoint(uint32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1 capitals
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: capitals at even code points, then (0x139-0x148, 0x179-0x17E)
        // at odd ones; U+0130, U+0138 and U+0149 have no simple pair.
        if (c == 0x178) return 0xFF;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
        if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek capitals
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic Ѐ-Џ
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic А-Я
    return c;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Folds valid UTF-8.
std::string FoldValidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t b = uint8_t(s[i]);
        if (b < 0x80) {
            out.push_back(char(LowerCodePoint(b)));
            ++i;
            continue;
        }
        const size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        uint32_t c = b & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) c = (c << 6) | (uint8_t(s[i + k]) & 0x3F);
        // Only two-byte characters have a lower-case form in the ranges above.
        if (extra == 1)
            AppendUtf8(out, LowerCodePoint(c));
        else
            out.append(s.substr(i, extra + 1));
        i += extra + 1;
    }
    return out;
}

}  // namespace

std::string DbxFoldCase(std::string_view text) {
    if (DbxIsValidUtf8(text.data(), text.size())) return FoldValidUtf8(text);
    return FoldValidUtf8(DbxWindows1252ToUtf8(text.data(), text.size()));
}

int DbxCompareNoCase(std::string_view a, std::string_view b) {
    const int r = DbxFoldCase(a).compare(DbxFoldCase(b));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

bool CDbxFoldedNeedle::FoundIn(std::string_view haystack) const {
    if (m_folded.empty()) return true;
    return DbxFoldCase(haystack).find(m_folded) != std::string::npos;
}
