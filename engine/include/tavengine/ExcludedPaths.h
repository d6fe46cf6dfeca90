// The user's excluded paths: files and folders every backup leaves out, kept in the
// settings store (HKEY_CURRENT_USER "Software\Norvik\Tavora": "ExcludedPaths", each path
// followed by ";", and the switch "EnableExcludedPaths").
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "tavengine/TavEngineExport.h"

struct TavExcludedPaths {
    bool enabled = true;
    std::vector<std::string> paths;
};

// The pieces of a ";"-separated list. A last path without its ";" is kept; empty pieces
// are passed over.
TAVENGINE_API std::vector<std::string> SplitExcludedPaths(std::string_view list);
// Every path followed by ";".
TAVENGINE_API std::string JoinExcludedPaths(const std::vector<std::string>& paths);
// A path can be stored in the list only when it is not empty and holds no ";" (which
// would cut it in two).
TAVENGINE_API bool IsStorableExcludedPath(std::string_view path);
// Reads the user's settings; a missing switch means on and a missing list the default
// list (GetDefaultExcludedPaths). Nothing is written.
TAVENGINE_API TavExcludedPaths LoadExcludedPaths();
// Writes both values; false when the store cannot be written.
TAVENGINE_API bool SaveExcludedPaths(const TavExcludedPaths& settings);
// Deletes the stored list, so that the default list applies again.
TAVENGINE_API bool ResetExcludedPaths();
