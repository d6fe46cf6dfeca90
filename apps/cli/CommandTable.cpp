// The command table and the dispatcher.
#include "CommandTable.h"

#include <algorithm>
#include <new>

#include "CliText.h"
#include "CommandGroups.h"
#include "tavrep/TavException.h"

namespace tavctl {

namespace {

const CliOption HELP_OPTION{"help", 'h', false, "", "show this help"};

std::string Join(const std::vector<std::string>& words) {
    std::string s;
    for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

bool StartsWith(const std::vector<std::string>& words, const std::vector<std::string>& prefix) {
    return words.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), words.begin());
}

int UsageError(CCliContext& ctx, const CliCommand& command, const std::string& problem) {
    Fail(ctx, Join(command.words), problem, EXIT_USAGE);
    CCommandTable::PrintUsage(command, ctx.err);
    return EXIT_USAGE;
}

}  // namespace

void CCommandTable::Add(CliCommand command) { m_commands.push_back(std::move(command)); }

const CliCommand* CCommandTable::Find(const std::vector<std::string>& args, size_t& used) const {
    const CliCommand* best = nullptr;
    for (const CliCommand& c : m_commands) {
        if (StartsWith(args, c.words) && (best == nullptr || c.words.size() > best->words.size()))
            best = &c;
    }
    used = best ? best->words.size() : 0;
    return best;
}

std::string CCommandTable::Suggest(const std::vector<std::string>& prefix,
                                   const std::string& word) const {
    std::vector<std::string> next;
    for (const CliCommand& c : m_commands)
        if (c.words.size() > prefix.size() && StartsWith(c.words, prefix))
            next.push_back(c.words[prefix.size()]);
    if (prefix.empty()) next.push_back("version");
    const std::string close = ClosestWord(word, next);
    if (close.empty()) return "";
    std::vector<std::string> words = prefix;
    words.push_back(close);
    return "; did you mean '" + Join(words) + "'?";
}

bool CCommandTable::IsGroup(const std::vector<std::string>& prefix) const {
    for (const CliCommand& c : m_commands)
        if (c.words.size() > prefix.size() && StartsWith(c.words, prefix)) return true;
    return false;
}

void CCommandTable::PrintOverview(std::ostream& out, const std::vector<std::string>& prefix) const {
    out << "usage: " << text::PROGRAM << (prefix.empty() ? "" : " " + Join(prefix))
        << " COMMAND [ARGUMENTS] [OPTIONS]\n\nCommands:\n";
    size_t width = 0;
    for (const CliCommand& c : m_commands)
        if (StartsWith(c.words, prefix)) width = std::max(width, Join(c.words).size());
    for (const CliCommand& c : m_commands) {
        if (!StartsWith(c.words, prefix)) continue;
        const std::string name = Join(c.words);
        out << "  " << name << std::string(width - name.size() + 2, ' ') << c.summary << '\n';
    }
    out << "\nRun '" << text::PROGRAM << " COMMAND --help' for the options of a command.\n"
        << "Exit codes: 0 ok, 1 problems found or an error, 2 wrong usage.\n";
}

void CCommandTable::PrintUsage(const CliCommand& command, std::ostream& out) {
    out << "usage: " << text::PROGRAM << ' ' << Join(command.words);
    if (!command.arguments.empty()) out << ' ' << command.arguments;
    out << '\n';
}

void CCommandTable::PrintHelp(const CliCommand& command, std::ostream& out) {
    PrintUsage(command, out);
    out << '\n' << command.summary << '\n';
    if (!command.description.empty()) out << '\n' << command.description << '\n';
    std::vector<CliOption> options = command.options;
    options.push_back(HELP_OPTION);
    out << "\nOptions:\n";
    for (const CliOption& o : options) {
        if (o.hidden) continue;
        std::string left = "  ";
        left += o.shortName ? std::string("-") + o.shortName + ", " : std::string("    ");
        left += "--" + o.name;
        if (o.takesValue) left += o.implicitValue.empty() ? " " + o.valueName : " [" + o.valueName + "]";
        out << left << std::string(left.size() < 28 ? 28 - left.size() : 2, ' ') << o.help << '\n';
    }
}

int RunTavctl(const std::vector<std::string>& args, CCliContext& ctx) {
    const CCommandTable& table = Commands();
    if (args.empty()) {
        table.PrintOverview(ctx.err);
        return EXIT_USAGE;
    }
    if (args[0] == "--version" || args[0] == "-V" || args[0] == "version") {
        ctx.out << text::VERSION << '\n';
        return EXIT_OK;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.empty()) {
            table.PrintOverview(ctx.out);
            return EXIT_OK;
        }
        size_t used = 0;
        const CliCommand* command = table.Find(rest, used);
        if (command != nullptr && used == rest.size()) {
            CCommandTable::PrintHelp(*command, ctx.out);
            return EXIT_OK;
        }
        if (table.IsGroup(rest)) {
            table.PrintOverview(ctx.out, rest);
            return EXIT_OK;
        }
        return Fail(ctx, "", "unknown command '" + Join(rest) + "'; run 'tavctl --help'",
                    EXIT_USAGE);
    }

    size_t used = 0;
    const CliCommand* command = table.Find(args, used);
    if (command == nullptr) {
        // A group name alone (or with --help) lists the group's commands.
        std::vector<std::string> prefix;
        for (const std::string& a : args) {
            if (a.empty() || a[0] == '-') break;
            std::vector<std::string> longer = prefix;
            longer.push_back(a);
            if (!table.IsGroup(longer)) break;
            prefix = std::move(longer);
        }
        if (!prefix.empty()) {
            const bool help = args.size() > prefix.size() &&
                              (args[prefix.size()] == "--help" || args[prefix.size()] == "-h");
            if (help) {
                table.PrintOverview(ctx.out, prefix);
                return EXIT_OK;
            }
            if (args.size() > prefix.size())
                Fail(ctx, "",
                     "unknown command '" + Join(prefix) + " " + args[prefix.size()] + "'" +
                         table.Suggest(prefix, args[prefix.size()]),
                     EXIT_USAGE);
            table.PrintOverview(ctx.err, prefix);
            return EXIT_USAGE;
        }
        return Fail(ctx, "", "unknown command '" + args[0] + "'" + table.Suggest({}, args[0]) +
                                 "; run 'tavctl --help'",
                    EXIT_USAGE);
    }

    std::vector<CliOption> options = command->options;
    options.push_back(HELP_OPTION);
    CCliArgs parsed;
    std::string error;
    if (!ParseArgs(std::vector<std::string>(args.begin() + long(used), args.end()), options, parsed,
                   error))
        return UsageError(ctx, *command, error);
    if (parsed.Has("help")) {
        CCommandTable::PrintHelp(*command, ctx.out);
        return EXIT_OK;
    }
    if (parsed.positionals.size() < command->minPositionals)
        return UsageError(ctx, *command, "missing arguments");
    if (parsed.positionals.size() > command->maxPositionals)
        return UsageError(
            ctx, *command,
            "unexpected argument '" + parsed.positionals[command->maxPositionals] + "'");
    try {
        const int code = command->run(parsed, ctx);
        ctx.out.flush();
        return code;
    } catch (CTavException* e) {
        return Fail(ctx, "", TakeException(e));
    } catch (const std::bad_alloc&) {
        return Fail(ctx, "", "out of memory");
    }
}

}  // namespace tavctl
