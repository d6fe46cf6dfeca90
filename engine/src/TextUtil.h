// Small text helpers of the engine library: ASCII case rules, hexadecimal words.
#pragma once
#include <string>
#include <string_view>

#include "platform/TextFormat.h"

namespace tavtext {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Letter case ignored for ASCII letters (command words, module names, "yes").
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

inline bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

// Eight upper-case hexadecimal digits.
inline std::string Hex8(unsigned value) { return plat::Format("%08X", value); }

}  // namespace tavtext
