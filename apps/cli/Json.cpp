// JSON texts.
#include "Json.h"

#include <cstdio>

namespace tavctl {

namespace {

// The length of the valid UTF-8 sequence at `at`, 0 when the bytes there are not one.
size_t Utf8Sequence(const std::string& s, size_t at) {
    const unsigned char c = static_cast<unsigned char>(s[at]);
    size_t length;
    uint32_t min;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) { length = 2; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { length = 3; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { length = 4; min = 0x10000; }
    else return 0;
    if (at + length > s.size()) return 0;
    uint32_t code = c & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const unsigned char d = static_cast<unsigned char>(s[at + i]);
        if ((d & 0xC0) != 0x80) return 0;
        code = (code << 6) | (d & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t n = Utf8Sequence(text, i);
            if (n == 0) {
                out += "\xEF\xBF\xBD";  // U+FFFD
                ++i;
            } else {
                out.append(text, i, n);
                i += n;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof(escaped), "\\u%04X", unsigned(c));
                    out += escaped;
                } else {
                    out += char(c);
                }
        }
        ++i;
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
    return out + "]";
}

CJsonObject& CJsonObject::Raw(const std::string& key, const std::string& json) {
    if (!m_body.empty()) m_body += ',';
    m_body += JsonQuote(key) + ":" + json;
    return *this;
}

}  // namespace tavctl
