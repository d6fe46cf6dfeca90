// A file read in chunks for AddFileContent, each chunk encoded on the encode pool (or at
// once), and the files a caller announced before storing them (the read-ahead), so that
// the pool encodes several small files at the same time.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "EncodePool.h"
#include "platform/File.h"

namespace tavrep {

// How chunks are encoded: the parameters of the image they are written to.
struct ContentCoding {
    uint32_t compression = 0;
    int level = -1;
    uint32_t encryption = 0;
    const char* password = nullptr;  // the repository's 128-byte field
    friend bool operator==(const ContentCoding&, const ContentCoding&) = default;
};

class CContentSource {
public:
    // `pool` null: every chunk is encoded on the calling thread as it is read.
    CContentSource(std::string path, std::unique_ptr<plat::CFile> file, uint32_t chunk,
                   CEncodePool* pool);
    ~CContentSource();  // waits for the chunks still in the pool
    CContentSource(const CContentSource&) = delete;
    CContentSource& operator=(const CContentSource&) = delete;

    // Reads the next chunk and hands it on, encoded with `coding`. At the end of the file,
    // or at a read error (ReadError() tells), nothing is read and EndOfFile() holds.
    void ReadNext(const ContentCoding& coding);
    // Waits for every chunk handed on.
    void Drain();
    // The pool to encode the following chunks on (null: on the calling thread).
    void UsePool(CEncodePool* pool) { m_pool = pool; }

    const std::string& Path() const { return m_path; }
    uint32_t Chunk() const { return m_chunk; }
    uint64_t Size() const { return m_size; }  // when it was opened
    bool EndOfFile() const { return m_endOfFile; }
    bool ReadAny() const { return m_readAny; }
    // The bytes read so far, and the system error of a read that failed (0 when none did).
    uint64_t BytesRead() const { return m_bytesRead; }
    uint32_t ReadError() const { return m_readError; }
    CEncodePool* Pool() const { return m_pool; }
    // The chunks read and not yet taken, oldest first.
    std::deque<std::unique_ptr<EncodeJob>>& Pending() { return m_pending; }

private:
    std::string m_path;
    std::unique_ptr<plat::CFile> m_file;
    uint32_t m_chunk;
    uint64_t m_size = 0;
    CEncodePool* m_pool;
    bool m_endOfFile = false;
    bool m_readAny = false;
    uint64_t m_bytesRead = 0;
    uint32_t m_readError = 0;
    std::shared_ptr<HashChain> m_chain;  // from the second chunk on
    uint64_t m_chunksRead = 0;
    std::deque<std::unique_ptr<EncodeJob>> m_pending;
};

// Files opened and partly read before their AddFileContent call, in the order announced.
class CReadAhead {
public:
    // At most this many files are announced and not yet stored; each holds at most a window
    // of chunks.
    static constexpr size_t MAX_FILES = 32;

    bool Full() const { return m_sources.size() >= MAX_FILES; }
    void Push(std::unique_ptr<CContentSource> source) { m_sources.push_back(std::move(source)); }
    // The source announced for `path`, when it was read with this chunk size and coding; the
    // sources announced before it are dropped (their files were not stored after all). Null
    // when `path` was not announced (the others stay) or was read otherwise (dropped too).
    std::unique_ptr<CContentSource> Take(const std::string& path, uint32_t chunk,
                                         const ContentCoding& coding);
    void Clear() { m_sources.clear(); }
    bool Empty() const { return m_sources.empty(); }

private:
    std::deque<std::unique_ptr<CContentSource>> m_sources;
};

}  // namespace tavrep
