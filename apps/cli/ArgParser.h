// The argument parser shared by every tavctl command: options may stand before, between
// or after the positional arguments.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavctl {

// One option a command accepts: "--name", optionally "-c", with or without a value.
struct CliOption {
    std::string name;    // long name without "--"
    char shortName = 0;  // 0 when none
    bool takesValue = false;
    std::string valueName;  // shown in help ("FILE", "N")
    std::string help;
    // An older spelling kept for scripts: accepted, not shown in help.
    bool hidden = false;
    // For an option whose value may be left out ("--overwrite" alone): the value it then
    // has, and which words count as its value when it stands as the next argument.
    std::string implicitValue{};
    std::vector<std::string> valueWords{};
};

// The parsed command line of one command.
class CCliArgs {
public:
    std::vector<std::string> positionals;

    bool Has(const std::string& name) const { return m_given.count(name) != 0; }
    // The value of an option that takes one (the last one given), nullopt when absent.
    std::optional<std::string> Value(const std::string& name) const;
    // Every value given to an option that may repeat ("--only A --only B"), in order.
    std::vector<std::string> Values(const std::string& name) const {
        auto it = m_all.find(name);
        return it == m_all.end() ? std::vector<std::string>{} : it->second;
    }
    void Set(const std::string& name, const std::string& value) {
        m_given[name] = value;
        m_all[name].push_back(value);
    }

private:
    std::map<std::string, std::string> m_given;
    std::map<std::string, std::vector<std::string>> m_all;
};

// `option` as an older spelling: accepted, not shown in help.
inline CliOption OldSpelling(CliOption option) {
    option.hidden = true;
    return option;
}

// Parses `args` against `options`. Accepts "--name", "--name=value", "--name value",
// "-c", "-cVALUE", "-c VALUE", grouped flags ("-ra"), "--" (everything after it is
// positional) and "-" (a positional). False with `error` set for an unknown option, a
// missing value or a value given to a flag.
bool ParseArgs(const std::vector<std::string>& args, const std::vector<CliOption>& options,
               CCliArgs& out, std::string& error);

// The known word closest to `word` (by edit distance, at most 2 edits or a shared prefix of
// three letters), "" when none is close: for "did you mean ...".
std::string ClosestWord(const std::string& word, const std::vector<std::string>& known);

// Parses a decimal number that fits 32 bits ("3", not "-1", "3x" or "99999999999").
std::optional<uint32_t> ParseNumber(const std::string& text);

}  // namespace tavctl
