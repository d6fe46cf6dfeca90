// CTavRepBaselineDetails: the working node table of one baseline, backed by a temporary
// file of 628-byte records, with its content index and root list.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tavrep/TavTypes.h"

namespace plat {
class CFile;
}

struct TavRootEntry {
    uint32_t moduleId;
    uint32_t nodeId;
};

// Made by CTavRepository::LoadBaseline; released with Dispose(), which deletes the
// working file.
class TAVREP_API CTavRepBaselineDetails {
public:
    CTavRepBaselineDetails();
    virtual void Dispose();
    virtual ~CTavRepBaselineDetails();

    // Takes the file as working file; 1, or 0 when it cannot be opened.
    int Attach(const std::string& path);
    int LoadNode(TavNodeRec& node, uint32_t id);
    // Reads all records; 1 when every record i has nodeId i x 628.
    int LoadAllNodes(std::vector<TavNodeRec>& out);
    uint32_t UpdateNode(const TavNodeRec& node);           // its id, TAV_NONE on failure
    uint32_t AddNode(TavNodeRec& node, int reindex);       // the new id, TAV_NONE on failure
    int ModifyNodeFlags(uint32_t id, uint32_t set, uint32_t clear);
    int ModifyNodeFlags(uint32_t id, TavNodeRec& node, uint32_t set, uint32_t clear);
    int LoadRoot(TavNodeRec& node, uint32_t moduleId);
    int LoadRootAt(TavNodeRec& node, int32_t index);
    int32_t GetRootCount() const { return rootCount; }
    uint32_t GetBufferSize() const { return uint32_t(count) * NODE_REC_SIZE; }
    void ReIndex();
    void BuildContentIndex();

    int32_t count = 0;
    std::vector<uint32_t> contentIndex;
    uint32_t baselineNumber = TAV_NONE;
    std::vector<TavRootEntry> roots;
    int32_t rootCount = 0;
    std::string workPath;

private:
    std::unique_ptr<plat::CFile> m_file;
};
