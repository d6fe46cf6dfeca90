// Text encodings of registry files. Pure logic: no operating-system calls.
#include "platform/RegText.h"

#include <array>

namespace plat {

namespace {

// Windows-1252 bytes 0x80..0x9F; the undefined ones map to themselves.
// clang-format off
constexpr std::array<char16_t, 32> CP1252_HIGH = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

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

int32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto byte = [&](size_t i) { return uint8_t(text[i]); };
    uint8_t b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    size_t need;
    char32_t cp;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        need = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        need = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        need = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return -1;
    }
    if (pos + need >= text.size()) {  // the text ends inside the sequence
        ++pos;
        return -1;
    }
    for (size_t k = 1; k <= need; ++k) {
        uint8_t b = byte(pos + k);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return -1;
    }
    pos += need + 1;
    return int32_t(cp);
}

bool IsValidUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        if (NextCodePoint(text, pos) < 0) return false;
    }
    return true;
}

size_t CountCodePoints(std::string_view utf8) {
    size_t count = 0;
    for (size_t pos = 0; pos < utf8.size(); ++count) NextCodePoint(utf8, pos);
    return count;
}

void AppendUtf8(std::string& out, char32_t c) {
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

char32_t Cp1252ToCodePoint(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return CP1252_HIGH[byte - 0x80];
    return byte;
}

std::string Cp1252ToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char ch : ansi) AppendUtf8(out, Cp1252ToCodePoint(uint8_t(ch)));
    return out;
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
