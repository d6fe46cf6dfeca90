// %VARIABLE% expansion over the process environment.
#include "platform/EnvExpand.h"

#include <cstdlib>

#include "platform/RegText.h"

extern char** environ;  // POSIX: the process environment

namespace plat {

std::string ExpandVariables(std::string_view text, const VariableLookup& lookup) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('%', pos);
        if (open == std::string_view::npos) break;
        size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        out.append(text.substr(pos, open - pos));
        std::string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value;
        if (!name.empty()) value = lookup(name);
        if (value) {
            out += *value;
        } else {
            out.append(text.substr(open, close - open + 1));
        }
        pos = close + 1;
    }
    out.append(text.substr(pos));
    return out;
}

std::string ExpandEnvironmentStrings(std::string_view text) {
    return ExpandVariables(text, [](std::string_view name) -> std::optional<std::string> {
        std::string key(name);
        if (const char* value = std::getenv(key.c_str())) return std::string(value);
        std::string folded = FoldCase(name);
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            std::string_view item(*entry);
            size_t equals = item.find('=');
            if (equals == std::string_view::npos) continue;
            if (FoldCase(item.substr(0, equals)) == folded) {
                return std::string(item.substr(equals + 1));
            }
        }
        return std::nullopt;
    });
}

}  // namespace plat
