// Helpers of the repository tests: words of image files, bytes changed in place, zlib's own
// gzip reader as an independent check, payloads of a known shape, and a repository held in
// a transaction.
#pragma once
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/File.h"
#include "support/RepBuilder.h"

namespace tavtest {

using Bytes = std::vector<uint8_t>;

// The little-endian word at `at` of `bytes` (0 when it reaches past the end).
inline uint32_t LE32(const std::string& bytes, size_t at) {
    if (at + 4 > bytes.size()) return 0;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Writes `bytes` over the file at `offset`, in place.
inline void Poke(const std::string& file, uint64_t offset, const std::string& bytes) {
    auto f = plat::CFile::Open(file, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(f && f->WriteAt(bytes.data(), bytes.size(), offset)) << file;
}

inline void PokeLE32(const std::string& file, uint64_t offset, uint32_t value) {
    const char b[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    Poke(file, offset, std::string(b, 4));
}

// Inflates a whole gzip member with zlib's gzip reader (window bits 16 + 15), which checks
// the header, the CRC-32 and the length of the trailer; false when it refuses.
inline bool ZlibGunzip(const Bytes& member, Bytes& out) {
    z_stream zs{};
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) return false;
    out.assign(member.size() * 4 + 1024, 0);
    int rc;
    for (;;) {
        zs.next_in = const_cast<Bytef*>(member.data()) + zs.total_in;
        zs.avail_in = uInt(member.size() - zs.total_in);
        zs.next_out = out.data() + zs.total_out;
        zs.avail_out = uInt(out.size() - zs.total_out);
        rc = inflate(&zs, Z_FINISH);
        if (rc != Z_BUF_ERROR || zs.avail_out != 0) break;
        out.resize(out.size() * 2);
    }
    out.resize(zs.total_out);
    const bool ok = rc == Z_STREAM_END && zs.total_in == member.size();
    inflateEnd(&zs);
    return ok;
}

// The same for a member held in a string: its payload, "" when zlib refuses it.
inline std::string ZlibGunzip(const std::string& member) {
    Bytes out;
    return ZlibGunzip(Bytes(member.begin(), member.end()), out) ? std::string(out.begin(), out.end()) : "";
}

// `n` random bytes of `values` different values.
inline Bytes RandomPayload(std::mt19937& rng, size_t n, unsigned values = 256) {
    Bytes out(n);
    for (auto& b : out) b = uint8_t(rng() % values);
    return out;
}

// Text-like bytes that deflate shrinks well.
inline Bytes TextPayload(std::mt19937& rng, size_t n) {
    static const char* const WORDS[] = {"backup ",  "image ", "baseline ", "node ", "chunk ",
                                        "restore ", "the ",   "of ",       "and ",  "\r\n"};
    Bytes out;
    out.reserve(n + 16);
    while (out.size() < n) {
        const char* w = WORDS[rng() % std::size(WORDS)];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(n);
    return out;
}

// How a test run ends: committed, rolled back before or after saving its baseline, or
// killed (the repository object dropped inside its transaction).
enum class RunEnd { Commit, Rollback, SaveThenRollback, Kill };

// A repository object attached to `path` with `security` (a failure when it does not attach).
class CAttached : public CTavRepository {
public:
    CAttached(const std::string& path, const TavImageSecurity* security) {
        EXPECT_EQ(Attach(path, security), 1) << path;
    }
};

// A new repository `path` made with `sec` (a derived fixture may set another in its
// constructor), and backup runs into it the way the engines drive them.
class CRepTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CTavRepository::CreateRepository(path, &sec, 0, {0, 0}), 1); }

    // A file holding `content`, stored as `name` under `parent`.
    uint32_t AddFile(CTavRepository& rep, CTavRepBaselineDetails& table, uint32_t parent,
                     const std::string& name, const std::string& content,
                     CTavRepositoryObserver* observer = nullptr) {
        const std::string source = dir / ("src-" + name);
        EXPECT_TRUE(WriteFile(source, content));
        TavFindData fd = FileData(name, content.size());
        return rep.AddNode(&table, parent, MODULE_FILES_ITEM, &fd, source.c_str(), 0, {0, 0}, observer);
    }

    // One run: a fresh image when asked, the newest baseline as the working table, `edit`,
    // then the end asked for. Returns the saved number (TAV_NONE when nothing was saved).
    template <typename F>
    uint32_t Run(CTavRepository& rep, F&& edit, RunEnd end = RunEnd::Commit, bool fresh = true) {
        EXPECT_TRUE(!fresh || rep.StartFreshImage() != TAV_NONE);
        TablePtr table(rep.LoadBaseline(rep.GetLatestBaselineNumber()));
        EXPECT_TRUE(table);
        if (!table) return TAV_NONE;
        EXPECT_EQ(rep.BeginTrans(5000), 1);
        edit(*table);
        if (end == RunEnd::Kill) return TAV_NONE;
        if (end == RunEnd::Rollback) {
            rep.RollbackTrans();
            return TAV_NONE;
        }
        const uint32_t number = rep.SaveBaseline(table.get(), "Manual Backup", nullptr, 0x10001000);
        EXPECT_NE(number, TAV_NONE);
        if (end == RunEnd::Commit) rep.CommitTrans();
        else rep.RollbackTrans();
        return number;
    }

    // The nodes of baseline `number`.
    static std::vector<TavNodeRec> Nodes(CTavRepository& rep, uint32_t number) {
        TablePtr t(rep.LoadBaseline(number));
        std::vector<TavNodeRec> nodes;
        EXPECT_TRUE(t && t->LoadAllNodes(nodes));
        return nodes;
    }

    CTempDir dir;
    std::string path = dir / "job.tvr";
    TavImageSecurity sec = Security();
};

// A new repository in its own folder, attached and in a transaction.
class CRepo {
public:
    explicit CRepo(const TavImageSecurity& security) : security(security) {
        path = m_dir / "job.tvr";
        EXPECT_EQ(CTavRepository::CreateRepository(path, &this->security, 0, {0, 0}), 1);
        m_created = FileSize(path);
        EXPECT_EQ(rep.Attach(path, &this->security), 1);
        EXPECT_EQ(rep.BeginTrans(5000), 1);
    }
    ~CRepo() { rep.CommitTrans(); }

    // Stores `content` as a file's content.
    TavPosition Store(const std::string& content, CTavRepositoryObserver* observer = nullptr,
                      CMD5Checksum* md5 = nullptr, uint32_t chunk = 0) {
        const std::string file = m_dir / "source";
        EXPECT_TRUE(WriteFile(file, content));
        return rep.AddFileContent(file.c_str(), chunk, observer, md5);
    }

    // A chain read back (the image being written is not read inside its transaction).
    std::string Chain(TavPosition p) {
        rep.CommitTrans();
        std::string out = ReadChain(rep, p);
        EXPECT_EQ(rep.BeginTrans(5000), 1);
        return out;
    }

    // The blocks written since the repository was made (its first tables hold the time).
    std::string Blocks() {
        rep.CommitTrans();
        const std::string all = ReadFile(path);
        EXPECT_EQ(rep.BeginTrans(5000), 1);
        return all.size() > m_created ? all.substr(m_created) : std::string();
    }

    CTavRepository rep;
    std::string path;
    TavImageSecurity security;

private:
    CTempDir m_dir;
    uint64_t m_created = 0;
};

}  // namespace tavtest
