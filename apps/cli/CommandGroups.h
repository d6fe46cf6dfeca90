// The command groups of tavctl. A new group adds one Register function here and one line
// to BuildCommandTable (CommandGroups.cpp).
#pragma once
#include "CommandTable.h"

namespace tavctl {

void RegisterInfoCommands(CCommandTable& table);    // info, baselines
void RegisterBrowseCommands(CCommandTable& table);  // ls, cat
void RegisterCheckCommands(CCommandTable& table);   // check
void RegisterPasswdCommands(CCommandTable& table);  // passwd

// The table with every group registered (built once).
const CCommandTable& Commands();

}  // namespace tavctl
