// The shared argument parser.
#include "ArgParser.h"

#include <algorithm>
#include <cstdint>

namespace tavctl {

namespace {

const CliOption* FindLong(const std::vector<CliOption>& options, const std::string& name) {
    for (const CliOption& o : options)
        if (o.name == name) return &o;
    return nullptr;
}

const CliOption* FindShort(const std::vector<CliOption>& options, char c) {
    for (const CliOption& o : options)
        if (o.shortName != 0 && o.shortName == c) return &o;
    return nullptr;
}

bool IsValueWord(const CliOption& option, const std::string& word) {
    for (const std::string& w : option.valueWords)
        if (w == word) return true;
    return false;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string ClosestWord(const std::string& word, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& candidate : known) {
        const size_t d = EditDistance(word, candidate);
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    if (best.empty() && word.size() >= 3)
        for (const std::string& candidate : known)
            if (candidate.compare(0, word.size(), word) == 0) return candidate;
    return best;
}

std::optional<std::string> CCliArgs::Value(const std::string& name) const {
    auto it = m_given.find(name);
    if (it == m_given.end()) return std::nullopt;
    return it->second;
}

bool ParseArgs(const std::vector<std::string>& args, const std::vector<CliOption>& options,
               CCliArgs& out, std::string& error) {
    bool onlyPositionals = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositionals || arg.size() < 2 || arg[0] != '-') {
            out.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositionals = true;
            continue;
        }
        if (arg[1] == '-') {
            const size_t eq = arg.find('=');
            const std::string name =
                arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            const CliOption* option = FindLong(options, name);
            if (option == nullptr) {
                error = "unknown option --" + name;
                std::vector<std::string> names;
                for (const CliOption& o : options)
                    if (!o.hidden) names.push_back(o.name);
                const std::string close = ClosestWord(name, names);
                if (!close.empty()) error += "; did you mean --" + close + "?";
                return false;
            }
            if (!option->takesValue) {
                if (eq != std::string::npos) {
                    error = "option --" + name + " takes no value";
                    return false;
                }
                out.Set(option->name, "");
            } else if (eq != std::string::npos) {
                out.Set(option->name, arg.substr(eq + 1));
            } else if (!option->implicitValue.empty() &&
                       (i + 1 >= args.size() || !IsValueWord(*option, args[i + 1]))) {
                out.Set(option->name, option->implicitValue);
            } else if (i + 1 < args.size()) {
                out.Set(option->name, args[++i]);
            } else {
                error = "option --" + name + " needs a value (" + option->valueName + ")";
                return false;
            }
            continue;
        }
        // One or more short options: flags may be grouped, a value may follow directly.
        for (size_t k = 1; k < arg.size(); ++k) {
            const CliOption* option = FindShort(options, arg[k]);
            if (option == nullptr) {
                error = std::string("unknown option -") + arg[k];
                return false;
            }
            if (!option->takesValue) {
                out.Set(option->name, "");
                continue;
            }
            if (!option->implicitValue.empty() && k + 1 == arg.size() &&
                (i + 1 >= args.size() || !IsValueWord(*option, args[i + 1]))) {
                out.Set(option->name, option->implicitValue);
                break;
            }
            if (k + 1 < arg.size()) {
                out.Set(option->name, arg.substr(k + 1));
            } else if (i + 1 < args.size()) {
                out.Set(option->name, args[++i]);
            } else {
                error =
                    std::string("option -") + arg[k] + " needs a value (" + option->valueName + ")";
                return false;
            }
            break;
        }
    }
    return true;
}

std::optional<uint32_t> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return uint32_t(value);
}

}  // namespace tavctl
