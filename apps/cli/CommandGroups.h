// The command groups of tavctl. A new group adds one Register function here and one line
// to BuildCommandTable (CommandGroups.cpp).
#pragma once
#include "CommandTable.h"

namespace tavctl {

void RegisterInfoCommands(CCommandTable& table);    // info, baselines
void RegisterBrowseCommands(CCommandTable& table);  // ls, cat
void RegisterFindCommands(CCommandTable& table);    // find, history
void RegisterCheckCommands(CCommandTable& table);   // check
void RegisterPasswdCommands(CCommandTable& table);  // passwd
void RegisterDbxCommands(CCommandTable& table);       // dbx folders, ls, show, export, export-all
void RegisterRegistryCommands(CCommandTable& table);  // registry export, import
void RegisterJobCommands(CCommandTable& table);        // job new, job show
void RegisterSelectionCommands(CCommandTable& table);  // job add, remove, exclude, include, partial, filter
void RegisterBackupCommands(CCommandTable& table);     // backup
void RegisterForgetCommands(CCommandTable& table);     // forget
void RegisterRestoreCommands(CCommandTable& table);    // restore, extract
void RegisterOeCommands(CCommandTable& table);         // oe identities
void RegisterJobOeCommands(CCommandTable& table);      // job oe JOB add, remove, exclude, include
void RegisterScheduleCommands(CCommandTable& table);   // schedule

// The table with every group registered (built once).
const CCommandTable& Commands();

}  // namespace tavctl
