// Pieces shared by the dbx commands of tavctl (DbxCommands.cpp, DbxExportCommands.cpp).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ArgParser.h"
#include "CliContext.h"
#include "CommandTable.h"
#include "DbxSource.h"
#include "core/DbxMessageSearch.h"

namespace tavctl {

// A record offset as ls shows it (decimal) or in hex ("0x1A2B"); nullopt otherwise.
std::optional<uint32_t> ParseDbxOffset(const std::string& text);

// --filter TEXT and --in FIELDS.
std::vector<CliOption> DbxFilterOptions();
// The search the options ask for. False after reporting a wrong --in (usage error).
bool DbxQueryFromArgs(const CCliArgs& args, CCliContext& ctx, DbxSearchQuery& query, int& code);

// Checks that `offset` is the record of a message in the store's message tree, so that a
// mistyped offset reads no stray bytes. False after reporting the problem.
bool CheckDbxMessage(CDbxSource& source, const std::string& offsetText, CCliContext& ctx,
                     uint32_t& offset, int& code);

// Reports the messages a search could not read (a warning line); returns the exit code
// the command ends with: 0, or 1 when anything could not be read.
int ReportSearchProblems(const DbxSearchResult& result, const CDbxSource& source, CCliContext& ctx);

// Adds "dbx export" and "dbx export-all".
void AddDbxExportCommands(CCommandTable& table);

}  // namespace tavctl
