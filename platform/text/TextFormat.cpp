// printf-style formatting into a std::string.
#include "platform/TextFormat.h"

#include <cstdarg>
#include <cstdio>

namespace plat {

std::string Format(const char* format, ...) {
    if (format == nullptr) return {};
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<size_t>(length));
        // vsnprintf writes the terminating NUL too: data() has room for it (size() + 1).
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
    va_end(args);
    return out;
}

}  // namespace plat
