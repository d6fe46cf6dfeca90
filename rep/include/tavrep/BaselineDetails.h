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
    // Takes an open working file that has no name (plat::CFile::CreateTemporary): nothing
    // is left behind in the temporary folder even when the process is killed. 1, or 0.
    int AttachFile(std::unique_ptr<plat::CFile> file);
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
    // The record read or written last is kept here; a rewrite stays here until another
    // record is wanted (a run rewrites the same parent once for each item it adds). Readers
    // of the whole file take it from here too, so the file is never read behind it.
    bool FlushCached();
    void Cache(const TavNodeRec& node, bool dirty);
    // The 628 bytes of record `id` as the file holds them, or nullptr when it cannot be read.
    const uint8_t* ReadRecord(uint32_t id);
    // Keeps the read-ahead window in step with a record just written.
    void NoteWritten(const uint8_t* raw, uint32_t id);
    // Records added last are written to the file together (a full run adds tens of
    // thousands, one system call each before): m_tail holds the records from index
    // m_fileCount on, which the file does not hold yet. The record `id` there, or null.
    uint8_t* TailRecord(uint32_t id);
    bool FlushTail();
    void BuildIndexes(bool withRoots);

    std::unique_ptr<plat::CFile> m_file;
    TavNodeRec m_cached{};
    bool m_hasCached = false;
    bool m_cachedDirty = false;
    // Records read ahead: m_windowCount records from record index m_windowFirst.
    std::vector<uint8_t> m_window;
    uint32_t m_windowFirst = 0;
    uint32_t m_windowCount = 0;
    uint32_t m_lastRead = TAV_NONE;
    uint8_t m_single[NODE_REC_SIZE];
    std::vector<uint8_t> m_tail;
    uint32_t m_fileCount = 0;
};
