// UTF-8 decoding and encoding, and Windows-1252 texts read into UTF-8.
#include "platform/Utf8.h"

#include <array>
#include <cstring>

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

}  // namespace

int32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto byte = [&](size_t i) { return uint8_t(text[i]); };
    const uint8_t b0 = byte(pos);
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
        const uint8_t b = byte(pos + k);
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
        // Plain ASCII, the usual file name, needs no decoding: eight bytes at a time.
        uint64_t word;
        if (pos + 8 <= text.size() && (std::memcpy(&word, text.data() + pos, 8),
                                       (word & 0x8080808080808080ull) == 0)) {
            pos += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
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
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = REPLACEMENT_CHARACTER;
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

std::string Utf8OrCp1252ToUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return Cp1252ToUtf8(text);
}

}  // namespace plat
