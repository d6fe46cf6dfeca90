// Path texts of the Files and Folders engine.
#include "core/PathText.h"

#include "platform/TextFormat.h"
#include "platform/Utf8.h"

namespace filespath {

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string TrimSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        if (plat::NextCodePoint(text, i) < 0)
            out += plat::Format("\\x%02X", static_cast<unsigned char>(text[start]));
        else
            out.append(text.substr(start, i - start));
    }
    return out;
}

}  // namespace filespath
