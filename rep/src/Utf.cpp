// UTF-8 <-> UTF-16 conversion for the records' wide text fields.
#include <string>

#include "platform/Utf8.h"
#include "tavrep/FormatAdaptor.h"

void Utf8ToUtf16Field(const std::string& text, char16_t* out, size_t chars) {
    if (chars == 0) return;
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        // Invalid bytes become U+FFFD, one byte each.
        const int32_t decoded = plat::NextCodePoint(text, i);
        char32_t cp = decoded < 0 ? plat::REPLACEMENT_CHARACTER : char32_t(decoded);
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
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < chars && field[i + 1] >= 0xDC00 &&
            field[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (field[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = plat::REPLACEMENT_CHARACTER;
        }
        plat::AppendUtf8(out, c);
    }
    return out;
}
