// The shared argument parser.
#include "ArgParser.h"

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

}  // namespace

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
