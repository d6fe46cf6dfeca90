// FileMatchFilters: ";"-separated wildcard patterns matched against a file name.
#include <vector>

#include "tavengine/TavEngine.h"
#include "platform/Utf8.h"

namespace {

// A byte that does not start a valid UTF-8 sequence becomes a lone surrogate of its own,
// which matches only itself (and "?" or "*").
char32_t Escaped(unsigned char byte) { return 0xDC00 + byte; }

// Decodes UTF-8 into code points, so that "?" stands for one character of any script.
std::vector<char32_t> Decode(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const int32_t cp = plat::NextCodePoint(text, i);
        out.push_back(cp < 0 ? Escaped(static_cast<unsigned char>(text[start])) : char32_t(cp));
    }
    return out;
}

// Simple case folding for the scripts file names most often use: ASCII, Latin-1, Greek and
// Cyrillic capitals become small letters.
char32_t Fold(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

// Iterative wildcard match with one backtracking point (linear in practice, never
// exponential).
bool Match(const std::vector<char32_t>& name, const std::vector<char32_t>& pattern) {
    size_t n = 0, p = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

int CTavEngine::FileMatchFilters(std::string_view name, std::string_view patterns) {
    std::vector<char32_t> folded = Decode(name);
    for (char32_t& c : folded) c = Fold(c);
    while (!patterns.empty()) {
        const size_t end = patterns.find(';');
        std::string_view piece = Trim(patterns.substr(0, end));
        patterns = end == std::string_view::npos ? std::string_view() : patterns.substr(end + 1);
        if (piece.empty()) continue;
        if (piece == "*.*") return 1;  // as on the system the patterns come from: every name
        std::vector<char32_t> pattern = Decode(piece);
        for (char32_t& c : pattern) c = Fold(c);
        if (Match(folded, pattern)) return 1;
    }
    return 0;
}
