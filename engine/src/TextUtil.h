// Small text helpers of the engine library: printf-style formatting, ASCII case rules.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

namespace tavtext {

// printf-style formatting into a string (the fixed texts use printf conversions).
template <typename... Args>
std::string Format(const char* format, Args... args) {
    int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(static_cast<size_t>(n));
    return out;
}

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
inline std::string Hex8(unsigned value) { return Format("%08X", value); }

}  // namespace tavtext
