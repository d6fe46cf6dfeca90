// The restore and extract options, kept in HKEY_LOCAL_MACHINE
// "Software\Norvik\Tavora\Browser", and the restore requests built from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CTlcDataProvider;

struct RestoreOptions {
    uint32_t restoreOverwrite = 0;
    uint32_t overwriteDate = 1;
    uint32_t overwriteSize = 0;
    uint32_t restoreDate = 1;
    uint32_t verbose = 0;
    uint32_t checksum = 0;
    uint32_t originalDir = 1;
    std::string destination;
};

struct ExtractOptions {
    uint32_t extractOverwrite = 0;
    uint32_t extractRecursive = 1;
    uint32_t extractChecksum = 1;
    std::string extractDestination;
};

namespace browsersettings {

// The default destination: the documents folder (made when missing), else the home folder.
std::string DefaultDestination();
// Reads each value; a missing one is written with the current (default) value. False when
// the key cannot be opened (the values stay as they are).
bool Load(RestoreOptions& options);
bool Load(ExtractOptions& options);
bool Save(const RestoreOptions& options);
bool Save(const ExtractOptions& options);

uint32_t RestoreCommand(const RestoreOptions& options);
uint32_t ExtractCommand(const ExtractOptions& options);
// The request of the Restore dialog: excluded ids only for "Restore selected items"; the
// location only when the original location is off.
std::string RestoreRequest(const RestoreOptions& options, uint32_t baseline, bool selectedOnly,
                           const std::vector<uint32_t>& excluded);
// The request of the Extract dialog: the source node under "restore", the location always.
std::string ExtractRequest(const ExtractOptions& options, uint32_t baseline, bool selectedOnly,
                           const std::vector<uint32_t>& excluded, uint32_t sourceNode);
// The excluded-node walk over the tree's top-level providers.
std::vector<uint32_t> CollectExcludedNodes(const std::vector<CTlcDataProvider*>& roots);

}  // namespace browsersettings
