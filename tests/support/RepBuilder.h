// Repositories for tests: security records, thrown library errors, stored chains read back,
// and CRepBuilder, which writes baselines node by node the way backup runs do (and the way
// damaged or hostile images could hold them: names, sizes and chains no engine stores).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/MD5Checksum.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace tavtest {

inline TavImageSecurity Security(const char* password = nullptr, uint32_t encryption = ENCRYPT_NONE,
                                 uint32_t maxImageSize = TAV_DEFAULT_IMAGE_SIZE,
                                 uint32_t compression = COMPRESS_DEFLATE) {
    TavImageSecurity s;
    InitTavImageSecure(&s, password, compression, -1, encryption, maxImageSize);
    return s;
}

// What a library exception thrown by `f` said: its code (-1 when none was thrown), the
// system's error and its message.
struct CaughtError {
    int code = -1;
    uint32_t systemError = 0;
    std::string text;
};
template <typename F>
CaughtError Caught(F&& f) {
    try {
        f();
    } catch (CTavException* e) {
        const CaughtError thrown{e->code, e->systemError, e->Describe()};
        e->Delete();
        return thrown;
    }
    return {};
}

template <typename F>
int ThrownCode(F&& f) {
    return Caught(std::forward<F>(f)).code;
}

// Reads a whole content chain.
inline std::string ReadChain(CTavRepository& rep, TavPosition position) {
    std::string out;
    for (int guard = 0; position.offset != 0 && guard < 100000; ++guard) {
        CTavRepContent* c = rep.GetContent(position);
        if (c == nullptr) break;
        out.append(reinterpret_cast<const char*>(c->data.data()), c->data.size());
        position = c->Next();
        c->Dispose();
    }
    return out;
}

inline std::string TextBytes(size_t n) {
    static const char* words[] = {"backup ", "image ", "baseline ", "node ", "chunk ", "the ", "\n"};
    std::string s;
    std::mt19937 rng(7);
    while (s.size() < n) s += words[rng() % 7];
    s.resize(n);
    return s;
}

// The fingerprint of `bytes`: the MD5 state after all their complete 64-byte blocks.
inline std::array<uint32_t, 4> FingerprintOf(const std::string& bytes) {
    CMD5Checksum md5;
    md5.Update(bytes.data(), bytes.size());
    std::array<uint32_t, 4> state;
    md5.GetHash(state.data());
    return state;
}

// What a directory listing reports of an item (written 2022-06-18, plus `size` ticks).
inline TavFindData FileData(const std::string& name, uint64_t size, uint32_t attributes = TAV_ATTR_ARCHIVE) {
    TavFindData fd;
    fd.name = name;
    fd.attributes = attributes;
    fd.SetSize(size);
    fd.written = TavFileTime::FromTicks(133000000000000000ull + size);
    fd.accessed = fd.written;
    if (attributes & TAV_ATTR_DIRECTORY) fd.kind = TavFileKind::Directory;
    return fd;
}

// Records what the repository reports while storing.
class CRecordingObserver : public CTavRepositoryObserver {
public:
    int32_t OnRepProgress(const char*, TavPosition position, uint32_t percent) override {
        percents.push_back(percent);
        positions.push_back(position);
        if (onProgress) onProgress();
        return stopAfter != 0 && percents.size() >= stopAfter ? 0 : 1;
    }
    void OnRepError(const char*, const char* message) override { errors.push_back(message); }
    std::vector<uint32_t> percents;
    std::vector<TavPosition> positions;
    std::vector<std::string> errors;
    size_t stopAfter = 0;
    std::function<void()> onProgress;  // called after each report (changes the file, say)
};

// Owns a working table.
struct TableDeleter {
    void operator()(CTavRepBaselineDetails* t) const {
        if (t) t->Dispose();
    }
};
using TablePtr = std::unique_ptr<CTavRepBaselineDetails, TableDeleter>;

// The path of image `id` of the repository whose image 0 is `path`.
inline std::string ImagePath(const std::string& path, uint32_t id) {
    if (id == 0) return path;
    std::string p;
    CTavRepository::BuildImagePath(p, path, id);
    return p;
}

// The size of a file; 0 when there is none.
inline uint64_t FileSize(const std::string& path) {
    TavFindData fd;
    return plat::GetFindData(path, fd) ? fd.Size() : 0;
}

// XORs one byte of a file in place.
inline void FlipByte(const std::string& file, uint64_t offset) {
    std::string content = ReadFile(file);
    ASSERT_LT(offset, content.size());
    content[offset] = char(content[offset] ^ 0x5A);
    ASSERT_TRUE(WriteFile(file, content));
}

// The chunk table of a message store as the Outlook Express module keeps it: one 40-byte
// {image, offset, MD5, zeros} record per chunk, naming where the chunk is stored.
inline std::string ChunkRecords(const std::vector<TavPosition>& positions,
                                const std::vector<std::string>& chunks) {
    std::string table;
    for (size_t k = 0; k < positions.size() && k < chunks.size(); ++k) {
        uint8_t record[40] = {};
        for (int i = 0; i < 4; ++i) {
            record[i] = uint8_t(positions[k].image >> (8 * i));
            record[4 + i] = uint8_t(positions[k].offset >> (8 * i));
        }
        CMD5Checksum::Hash(chunks[k].data(), chunks[k].size(), record + 8);
        table.append(reinterpret_cast<const char*>(record), 40);
    }
    return table;
}

// Stores `content` chunk by chunk and then its chunk table; the table's position. Only the
// first `tableChunks` chunks are stored (fewer makes a table that ends early).
inline TavPosition StoreChunkTable(CTavRepository& rep, const std::string& content,
                                   size_t chunkSize = 32768, size_t tableChunks = SIZE_MAX) {
    std::vector<std::string> chunks;
    std::vector<TavPosition> positions;
    for (size_t at = 0; at < content.size() && chunks.size() < tableChunks; at += chunkSize) {
        chunks.push_back(content.substr(at, chunkSize));
        positions.push_back(rep.AddContent(chunks.back().data(), uint32_t(chunks.back().size()), {0, 0}));
    }
    const std::string table = ChunkRecords(positions, chunks);
    return rep.AddContent(table.data(), uint32_t(table.size()), {0, 0});
}

// How CRepBuilder::Baseline ends and what it saves.
struct BaselineOptions {
    const char* name = "Manual Backup";
    const char* description = "";
    uint32_t type = 0x10001000;
    bool freshImage = true;
    bool commit = true;  // false: roll back instead of saving
};

// Creates a repository at `path` and writes baselines into it node by node. Each Baseline()
// attaches anew, as the programs that run backups do: a fresh image (when asked), the newest
// baseline as the working table, a transaction, the caller's edits, then save and commit.
class CRepBuilder {
public:
    explicit CRepBuilder(std::string path, const TavImageSecurity& security = Security())
        : path(std::move(path)), security(security) {
        EXPECT_EQ(CTavRepository::CreateRepository(this->path, &this->security, 0, {0, 0}), 1);
    }

    using Options = BaselineOptions;

    // One baseline; `edit` adds or changes nodes. Returns the saved number (TAV_NONE when
    // rolled back or when saving failed).
    template <typename F>
    uint32_t Baseline(F&& edit, const Options& options) {
        if (!Begin(options)) return TAV_NONE;
        edit();
        return End();
    }
    template <typename F>
    uint32_t Baseline(F&& edit) {
        return Baseline(std::forward<F>(edit), Options{});
    }

    // Baseline() in two steps, for tests that add nodes from several places.
    bool Begin(const Options& options = {}) {
        m_options = options;
        m_rep = std::make_unique<CTavRepository>();
        EXPECT_EQ(m_rep->Attach(path, &security), 1);
        if (options.freshImage) {
            EXPECT_NE(m_rep->StartFreshImage(), TAV_NONE);
        }
        m_table.reset(m_rep->LoadBaseline(m_rep->GetLatestBaselineNumber()));
        EXPECT_TRUE(m_table);
        if (!m_table) return false;
        EXPECT_EQ(m_rep->BeginTrans(5000), 1);
        return true;
    }
    uint32_t End() {
        uint32_t number = TAV_NONE;
        if (m_options.commit) {
            number = m_rep->SaveBaseline(m_table.get(), m_options.name, m_options.description,
                                         m_options.type);
            EXPECT_NE(number, TAV_NONE);
            EXPECT_EQ(m_rep->CommitTrans(), 1);
        } else {
            m_rep->RollbackTrans();
        }
        m_table.reset();
        m_rep.reset();
        return number;
    }

    // The module root `name` of the working table (made when missing).
    uint32_t Root(const std::string& name, uint32_t module) {
        TavNodeRec node;
        if (m_table->LoadRoot(node, module)) return node.nodeId;
        TavNodeRec* root = CTavRepository::CreateNode();
        root->attributes = TAV_ATTR_DIRECTORY;
        root->flags = NODE_DIRECTORY | NODE_TOUCHED;
        root->moduleId = module;
        Utf8ToUtf16Field(name.c_str(), root->name, NODE_NAME_CHARS);
        const uint32_t id = m_table->AddNode(*root, 1);
        CTavRepository::DisposeNode(root);
        return id;
    }

    uint32_t Folder(uint32_t parent, const std::string& name, uint32_t module = MODULE_FILES_ITEM) {
        TavFindData fd = FileData(name, 0, TAV_ATTR_DIRECTORY);
        return m_rep->AddNode(m_table.get(), parent, module, &fd, nullptr, 0, {0, 0}, nullptr);
    }

    // A stored file (a link when `attributes` has the reparse bit: `content` is its target).
    uint32_t File(uint32_t parent, const std::string& name, const std::string& content,
                  uint32_t attributes = TAV_ATTR_ARCHIVE, uint32_t module = MODULE_FILES_ITEM) {
        const std::string source = path + ".src" + std::to_string(m_sources++);
        EXPECT_TRUE(WriteFile(source, content));
        TavFindData fd = FileData(name, content.size(), attributes);
        fd.written = TavFileTime::FromTicks(133000000000000000ull);
        fd.accessed = fd.written;
        if (attributes & TAV_ATTR_REPARSE_POINT) fd.linkTarget = content;
        const uint32_t id =
            m_rep->AddNode(m_table.get(), parent, module, &fd, source.c_str(), 0, {0, 0}, nullptr);
        plat::RemoveFile(source);
        return id;
    }

    // A message store node (see StoreChunkTable) with the fingerprint of the whole content.
    uint32_t MessageStore(uint32_t parent, const std::string& name, const std::string& content,
                          uint32_t module, size_t chunkSize = 32768, size_t tableChunks = SIZE_MAX) {
        TavFindData fd = FileData(name, content.size());
        fd.written = TavFileTime::FromTicks(133000000000000000ull);
        const uint32_t id = m_rep->AddNode(m_table.get(), parent, module, &fd, nullptr,
                                           uint32_t(chunkSize), {0, 0}, nullptr);
        TavNodeRec node;
        EXPECT_EQ(m_table->LoadNode(node, id), 1);
        node.content = StoreChunkTable(*m_rep, content, chunkSize, tableChunks);
        std::ranges::copy(FingerprintOf(content), node.fingerprint);
        node.flags |= NODE_HAS_FINGERPRINT;
        EXPECT_NE(m_table->UpdateNode(node), TAV_NONE);
        return id;
    }

    // Changes a node of the working table in place.
    template <typename F>
    void Edit(uint32_t id, F&& change) {
        TavNodeRec node;
        ASSERT_EQ(m_table->LoadNode(node, id), 1);
        change(node);
        EXPECT_NE(m_table->UpdateNode(node), TAV_NONE);
    }

    // Between Begin and End: the open repository and its working table.
    CTavRepository& Rep() { return *m_rep; }
    CTavRepBaselineDetails& Table() { return *m_table; }
    std::string Image(uint32_t id) const { return ImagePath(path, id); }

    std::string path;
    TavImageSecurity security;

private:
    Options m_options;
    std::unique_ptr<CTavRepository> m_rep;
    TablePtr m_table;
    int m_sources = 0;
};

}  // namespace tavtest
