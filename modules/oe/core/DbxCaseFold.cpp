#include "core/DbxCaseFold.h"

#include <algorithm>
#include <cstdint>

#include "platform/Utf8.h"

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

// Folds valid UTF-8.
std::string FoldValidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t start = i;
        const int32_t c = plat::NextCodePoint(s, i);
        // Only ASCII and two-byte characters have a lower-case form in the ranges above.
        if (c >= 0 && i - start <= 2)
            plat::AppendUtf8(out, LowerCodePoint(uint32_t(c)));
        else
            out.append(s.substr(start, i - start));
    }
    return out;
}

}  // namespace

std::string DbxFoldCase(std::string_view text) {
    if (plat::IsValidUtf8(text)) return FoldValidUtf8(text);
    return FoldValidUtf8(plat::Cp1252ToUtf8(text));
}

int DbxCompareNoCase(std::string_view a, std::string_view b) {
    const int r = DbxFoldCase(a).compare(DbxFoldCase(b));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

bool CDbxFoldedNeedle::FoundIn(std::string_view haystack) const {
    if (m_folded.empty()) return true;
    return DbxFoldCase(haystack).find(m_folded) != std::string::npos;
}
