// Seed images for the image fuzzer: small single-image repositories with baselines, nodes
// and content chains in each storage setting.
#include "make_image_seeds.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace {

constexpr uint32_t RUN_TYPE = 0x10001000;
constexpr uint32_t SMALL_CHUNK = 1024;

bool WriteBytes(const std::string& path, const std::string& bytes) {
    auto file = plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
    return file && (bytes.empty() || file->Write(bytes.data(), bytes.size()));
}

bool ReadBytes(const std::string& path, std::string& out) {
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    if (!file) return false;
    const int64_t size = file->Size();
    if (size < 0) return false;
    out.resize(size_t(size));
    return file->ReadFull(out.data(), out.size()) == size;
}

std::string Text(size_t n, unsigned seed) {
    static const char* words[] = {"image ", "block ", "chain ", "node ", "baseline ", "\n"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += words[rng() % 6];
    s.resize(n);
    return s;
}

std::string Random(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

TavFindData Item(const std::string& name, uint64_t size, uint32_t attributes) {
    TavFindData fd;
    fd.name = name;
    fd.attributes = attributes;
    fd.SetSize(size);
    fd.written = TavFileTime::FromTicks(133000000000000000ull + size);
    return fd;
}

// One backup run into image 0: `edit` adds or changes nodes of the newest baseline.
template <typename F>
bool Run(CTavRepository& rep, F&& edit) {
    CTavRepBaselineDetails* table = rep.LoadBaseline(rep.GetLatestBaselineNumber());
    if (table == nullptr) return false;
    bool ok = rep.BeginTrans(TAV_TRANS_TIMEOUT_MS) == 1 && edit(*table);
    ok = ok && rep.SaveBaseline(table, "Seed run", "made for the image fuzzer", RUN_TYPE) != TAV_NONE;
    if (ok)
        rep.CommitTrans();
    else
        rep.RollbackTrans();
    table->Dispose();
    return ok;
}

class CSeedMaker {
public:
    explicit CSeedMaker(std::string dir) : m_dir(std::move(dir)), m_source(plat::MakeTempFile("tavseed~")) {}
    ~CSeedMaker() { plat::RemoveFile(m_source); }

    uint32_t AddFile(CTavRepository& rep, CTavRepBaselineDetails& table, uint32_t parent,
                     const std::string& name, const std::string& content, uint32_t chunk) {
        if (!WriteBytes(m_source, content)) return TAV_NONE;
        TavFindData fd = Item(name, content.size(), TAV_ATTR_ARCHIVE);
        return rep.AddNode(&table, parent, MODULE_FILES_ITEM, &fd, m_source.c_str(), chunk, {0, 0}, nullptr);
    }

    static uint32_t AddFolder(CTavRepository& rep, CTavRepBaselineDetails& table, uint32_t parent,
                              const std::string& name) {
        TavFindData fd = Item(name, 0, TAV_ATTR_DIRECTORY);
        return rep.AddNode(&table, parent, MODULE_FILES_ITEM, &fd, nullptr, 0, {0, 0}, nullptr);
    }

    // A repository with a folder, a few files (a chain of several blocks among them), and
    // `runs` baselines after the initial one.
    bool Make(const std::string& name, const TavImageSecurity& security, int runs) {
        const std::string path = plat::JoinPath(m_dir, name);
        plat::RemoveFile(path);
        if (!CTavRepository::CreateRepository(path, &security, 0, {0, 0})) return false;
        CTavRepository rep;
        try {
            if (!rep.Attach(path, &security)) return false;
            bool ok = Run(rep, [&](CTavRepBaselineDetails& t) {
                const uint32_t folder = AddFolder(rep, t, 0, "docs");
                return folder != TAV_NONE &&
                       AddFile(rep, t, folder, "notes.txt", Text(3000, 1), SMALL_CHUNK) != TAV_NONE &&
                       AddFile(rep, t, folder, "noise.bin", Random(700, 2), SMALL_CHUNK) != TAV_NONE &&
                       AddFile(rep, t, 0, "empty", "", 0) != TAV_NONE;
            });
            for (int r = 1; ok && r < runs; ++r) {
                ok = Run(rep, [&](CTavRepBaselineDetails& t) {
                    std::vector<TavNodeRec> nodes;
                    if (!t.LoadAllNodes(nodes) || nodes.size() < 4) return false;
                    TavNodeRec changed = nodes[2];
                    const std::string content = Text(1500 + 400 * r, 10 + r);
                    if (!WriteBytes(m_source, content)) return false;
                    TavFindData fd = Item("notes.txt", content.size(), TAV_ATTR_ARCHIVE);
                    if (!rep.UpdateNode(&t, changed, &fd, m_source.c_str(), {0, 0}, nullptr)) return false;
                    if (r == 2 && !rep.DeleteNode(&t, nodes[3].nodeId)) return false;
                    return AddFile(rep, t, 0, "run" + std::to_string(r), Text(200, 20 + r), 0) != TAV_NONE;
                });
            }
            rep.Detach();
            return ok;
        } catch (CTavException* e) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), e->Describe().c_str());
            e->Delete();
            return false;
        }
    }

    // A copy of `from` whose header names format 2.0 (the records then read the old way).
    bool MakeOldFormat(const std::string& from, const std::string& name) {
        std::string bytes;
        if (!ReadBytes(plat::JoinPath(m_dir, from), bytes) || bytes.size() < 24) return false;
        // The header block's payload (stored plain) begins with the version word.
        bytes[20] = 0x00, bytes[21] = 0x00, bytes[22] = 0x00, bytes[23] = 0x02;
        return WriteBytes(plat::JoinPath(m_dir, name), bytes);
    }

private:
    std::string m_dir;
    std::string m_source;
};

}  // namespace

bool WriteImageSeeds(const char* dir) {
    if (!plat::CreateDirectories(dir)) return false;
    CSeedMaker maker(dir);
    TavImageSecurity plain, builtin, deflate, secret;
    InitTavImageSecure(&plain, nullptr, COMPRESS_NONE, -1, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE);
    InitTavImageSecure(&builtin, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE);
    InitTavImageSecure(&deflate, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE);
    InitTavImageSecure(&secret, FUZZ_SEED_PASSWORD, COMPRESS_DEFLATE, 9, ENCRYPT_PASSWORD,
                       TAV_DEFAULT_IMAGE_SIZE);
    bool ok = maker.Make("plain.tvr", plain, 1);
    ok = maker.Make("deflate-builtin.tvr", builtin, 1) && ok;
    ok = maker.Make("baselines.tvr", deflate, 4) && ok;
    ok = maker.Make("password.tvr", secret, 2) && ok;
    ok = maker.MakeOldFormat("plain.tvr", "format20.tvr") && ok;
    std::fprintf(stderr, "seed images %s in %s\n", ok ? "written" : "FAILED", dir);
    return ok;
}
