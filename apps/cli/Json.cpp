// JSON texts.
#include "Json.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace tavctl {

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t start = i;
            if (plat::NextCodePoint(text, i) < 0)
                plat::AppendUtf8(out, plat::REPLACEMENT_CHARACTER);
            else
                out.append(text, start, i - start);
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
