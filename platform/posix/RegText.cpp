// Text encodings of registry files. Pure logic: no operating-system calls.
#include "platform/RegText.h"

namespace plat {

namespace {

char32_t FoldCodePoint(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs: upper case first, except in 0x139..0x148 and
        // 0x179..0x17E where the pairs start on an odd value.
        bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        // No simple partner: the Turkish dotted and dotless i, kra, n-apostrophe, long s.
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        bool isLower = oddFirst ? (c % 2 == 0) : (c % 2 == 1);
        return isLower ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;  // Greek
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;                       // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

void AppendUnit(std::vector<uint8_t>& out, uint16_t unit) {
    out.push_back(uint8_t(unit & 0xFF));
    out.push_back(uint8_t(unit >> 8));
}

// Decodes UTF-16LE; `strict` fails on an unpaired surrogate or an odd size.
bool DecodeUtf16(const uint8_t* data, size_t size, bool stopAtNul, bool strict, std::string& out) {
    if (strict && size % 2 != 0) return false;
    size_t units = size / 2;
    for (size_t i = 0; i < units; ++i) {
        char32_t u = char32_t(data[2 * i] | (data[2 * i + 1] << 8));
        if (u == 0 && stopAtNul) break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t low = char32_t(data[2 * i + 2] | (data[2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            if (strict) return false;
            u = REPLACEMENT_CHARACTER;
        }
        AppendUtf8(out, u);
    }
    return true;
}

}  // namespace

std::string Utf16LeToUtf8(const uint8_t* data, size_t size, bool stopAtNul) {
    std::string out;
    DecodeUtf16(data, size, stopAtNul, false, out);
    return out;
}

bool Utf16LeToUtf8Strict(const uint8_t* data, size_t size, std::string& out) {
    out.clear();
    return DecodeUtf16(data, size, false, true, out);
}

void AppendUtf16Le(std::vector<uint8_t>& out, std::string_view utf8) {
    for (size_t pos = 0; pos < utf8.size();) {
        int32_t cp = NextCodePoint(utf8, pos);
        char32_t c = cp < 0 ? REPLACEMENT_CHARACTER : char32_t(cp);
        if (c >= 0x10000) {
            c -= 0x10000;
            AppendUnit(out, uint16_t(0xD800 + (c >> 10)));
            AppendUnit(out, uint16_t(0xDC00 + (c & 0x3FF)));
        } else {
            AppendUnit(out, uint16_t(c));
        }
    }
}

std::string FoldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        size_t start = pos;
        int32_t cp = NextCodePoint(utf8, pos);
        if (cp < 0) {
            out.append(utf8.substr(start, pos - start));  // keep invalid bytes as they are
        } else if (cp < 0x80) {
            out.push_back(char(FoldCodePoint(char32_t(cp))));
        } else {
            AppendUtf8(out, FoldCodePoint(char32_t(cp)));
        }
    }
    return out;
}

}  // namespace plat
