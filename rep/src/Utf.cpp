// UTF-8 <-> UTF-16 conversion for the records' wide text fields.
#include <string>

#include "tavrep/FormatAdaptor.h"

namespace {

// Decodes one UTF-8 sequence at s[i]; invalid bytes become U+FFFD (one byte consumed).
char32_t NextCodePoint(const std::string& s, size_t& i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) return ++i, c;
    int len = (c >= 0xF0 && c < 0xF5) ? 4 : (c >= 0xE0) ? 3 : (c >= 0xC2 && c < 0xE0) ? 2 : 0;
    if (len == 0 || c >= 0xF5 || i + len > s.size()) return ++i, 0xFFFD;
    char32_t cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return ++i, 0xFFFD;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return ++i, 0xFFFD;
    i += len;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

void Utf8ToUtf16Field(const std::string& text, char16_t* out, size_t chars) {
    if (chars == 0) return;
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = NextCodePoint(text, i);
        if (cp == 0) break;
        if (cp >= 0x10000) {
            if (n + 2 > chars - 1) break;  // never split a surrogate pair
            cp -= 0x10000;
            out[n++] = char16_t(0xD800 + (cp >> 10));
            out[n++] = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            if (n + 1 > chars - 1) break;
            out[n++] = char16_t(cp);
        }
    }
    for (size_t k = n; k < chars; ++k) out[k] = 0;
}

std::string Utf16FieldToUtf8(const char16_t* field, size_t chars) {
    std::string out;
    for (size_t i = 0; i < chars && field[i] != 0; ++i) {
        char32_t c = field[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < chars && field[i + 1] >= 0xDC00 &&
            field[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (field[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}
