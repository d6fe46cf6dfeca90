// The list of command groups; the table is built on first use.
#include "CommandGroups.h"

namespace tavctl {

namespace {

CCommandTable BuildCommandTable() {
    CCommandTable table;
    RegisterInfoCommands(table);
    RegisterBrowseCommands(table);
    RegisterFindCommands(table);
    RegisterCheckCommands(table);
    RegisterPasswdCommands(table);
    RegisterDbxCommands(table);
    RegisterRegistryCommands(table);
    RegisterJobCommands(table);
    RegisterSelectionCommands(table);
    RegisterBackupCommands(table);
    RegisterForgetCommands(table);
    RegisterRestoreCommands(table);
    RegisterOeCommands(table);
    RegisterJobOeCommands(table);
    RegisterScheduleCommands(table);
    return table;
}

}  // namespace

const CCommandTable& Commands() {
    static const CCommandTable table = BuildCommandTable();
    return table;
}

}  // namespace tavctl
