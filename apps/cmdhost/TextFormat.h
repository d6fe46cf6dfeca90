// FormatText: printf-style formatting of the host's fixed texts into a std::string.
#pragma once
#include <cstdio>
#include <string>

namespace cmdhost {

template <typename... Args>
std::string FormatText(const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return {};
    std::string out(size_t(length) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(size_t(length));
    return out;
}

}  // namespace cmdhost
