// DbxChunkInput: a DbxInput over a ".dbx" file stored in the repository as a chunk table.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/DbxBlockSource.h"
#include "core/DbxChunkRecord.h"
#include "core/DbxInput.h"
#include "tavrep/TavTypes.h"

class CTavRepository;

// Construction loads the node's whole chunk table (its content chain) into memory; reads
// then fetch the stored block of each chunk crossed (the last one is kept for the next
// read). Byte p of the file lies in chunk p / chunk size at p mod chunk size.
//
// Damage never ends in a crash or a hang: a table chain that loops or breaks off keeps the
// records read so far (TableComplete() tells); a read stops at a block that cannot be
// fetched, at the end of the table, and at the end of a chunk whose block is shorter than
// the chunk size (only the file's last chunk is short in a sound table), so no byte is
// ever delivered at a position it was not stored for. A chunk size of 0 delivers nothing.
// Seek always succeeds; AtEnd is always false.
class DbxChunkInput : public DbxInput {
public:
    // Reads the node's `content` chain with the node's `chunkSize`. The repository is not
    // owned and must outlive the input.
    DbxChunkInput(CTavRepository* repository, const TavNodeRec& node);
    // The same over any block source (owned).
    DbxChunkInput(std::unique_ptr<CDbxBlockSource> source, TavPosition table, uint32_t chunkSize);
    ~DbxChunkInput() override;

    bool Seek(uint64_t offset) override;
    size_t Read(void* buffer, size_t count) override;
    bool AtEnd() override { return false; }

    uint32_t ChunkSize() const { return m_chunkSize; }
    const std::vector<DbxChunkRecord>& Table() const { return m_table; }
    bool TableComplete() const { return m_tableComplete; }

private:
    void LoadTable(TavPosition first);
    bool FetchChunk(size_t index);

    std::unique_ptr<CDbxBlockSource> m_source;
    uint32_t m_chunkSize;
    std::vector<DbxChunkRecord> m_table;
    bool m_tableComplete = false;
    uint64_t m_position = 0;
    size_t m_cachedIndex;
    std::vector<uint8_t> m_cached;
};
