// Text helpers of the Outlook Express module.
#include "core/OeStrings.h"

#include <algorithm>
#include "platform/TextFormat.h"

char OeFoldChar(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string OeLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = OeFoldChar(c);
    return out;
}

bool OeEqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && OeStartsWithNoCase(a, b);
}

bool OeStartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (OeFoldChar(text[i]) != OeFoldChar(prefix[i])) return false;
    return true;
}

bool COeCaseLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<unsigned char>(OeFoldChar(x)) <
                   static_cast<unsigned char>(OeFoldChar(y));
        });
}

std::string OeFileNamePart(std::string_view text, bool escapeDots) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '%' || c == '/' || c == '\0' || (escapeDots && c == '.')) {
            out += plat::Format("%%%02X", unsigned(static_cast<unsigned char>(c)));
        } else {
            out += c;
        }
    }
    return out;
}

bool OeIsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}
