// tavctl registry export and import: subtrees of the settings store as registry files.
#include <ostream>

#include "CliCommon.h"
#include "CommandGroups.h"
#include "platform/Registry.h"

namespace tavctl {

namespace {

int RunRegistryExport(const CCliArgs& args, CCliContext& ctx) {
    std::string error;
    if (!plat::CRegistry::ExportKey(args.positionals[0], args.positionals[1], error))
        return Fail(ctx, "registry export", error);
    return EXIT_OK;
}

int RunRegistryImport(const CCliArgs& args, CCliContext& ctx) {
    std::string error;
    if (!plat::CRegistry::ImportFile(args.positionals[0], error))
        return Fail(ctx, "registry import", error);
    return EXIT_OK;
}

}  // namespace

void RegisterRegistryCommands(CCommandTable& table) {
    table.Add({{"registry", "export"},
               "KEY FILE",
               "write a key of the settings store and everything below it to a registry file",
               "KEY is a full key: \"HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\" (HKCU and HKLM\n"
               "may stand for the roots; quote the backslashes in a shell). FILE is written in\n"
               "the \"Windows Registry Editor Version 5.00\" format and replaced only when the\n"
               "export succeeded. The settings store lives in $TAVORA_HOME (default\n"
               "~/.config/tavora).",
               {},
               2,
               2,
               RunRegistryExport});
    table.Add({{"registry", "import"},
               "FILE",
               "apply a registry file to the settings store",
               "FILE may be in the \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"\n"
               "format, in ANSI, UTF-8 or UTF-16 with a byte order mark. The whole file is\n"
               "checked first: a malformed line is reported with its number and nothing is\n"
               "changed. Keys written as [-KEY] and values as \"name\"=- are deleted.",
               {},
               1,
               1,
               RunRegistryImport});
}

}  // namespace tavctl
