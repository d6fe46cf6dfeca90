// libFuzzer target for reading image files: the input is written as an image file, then
// attached (once without a password, once with one and ENCRYPT_PASSWORD settings), its
// baselines listed, each loaded into a working table, and every node's content chain read
// to its end. Last, a run saves the newest baseline again and is rolled back, which must
// leave the image opening at the same baseline.
//
// Run with `-make_seeds=DIR` (before any other argument) to write the seed images to DIR
// and exit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "make_image_seeds.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace {

constexpr size_t MAX_CHAIN_BLOCKS = 100000;
constexpr size_t MAX_NODES_WALKED = 20000;
constexpr size_t MAX_NODES_PURGED = 2000;  // the purge is quadratic in deleted nodes

volatile size_t g_sink;

struct FuzzPaths {
    std::string dir;
    std::string image;
};

FuzzPaths& Paths() {
    static FuzzPaths paths;
    return paths;
}

void RemoveFuzzFolder() {
    FuzzPaths& p = Paths();
    if (p.dir.empty()) return;
    plat::RemoveFile(p.image);
    plat::RemoveDirectory(p.dir);
}

bool WriteImage(const uint8_t* data, size_t size) {
    auto file = plat::CFile::Open(Paths().image, plat::FileAccess::ReadWrite,
                                  plat::FileDisposition::CreateAlways);
    return file && (size == 0 || file->Write(data, size));
}

// Reads one content chain, bounded and stopping at the first block seen twice.
void ReadChain(CTavRepository& rep, TavPosition position) {
    std::set<std::pair<uint32_t, uint32_t>> visited;
    for (size_t n = 0; position.offset != 0 && n < MAX_CHAIN_BLOCKS; ++n) {
        if (!visited.insert({position.image, position.offset}).second) break;
        CTavRepContent* content = nullptr;
        try {
            content = rep.GetContent(position);
        } catch (CTavException* e) {
            e->Delete();
            return;
        }
        if (content == nullptr) return;
        g_sink = g_sink + content->size + content->data.size();
        position = content->Next();
        content->Dispose();
    }
}

void WalkBaseline(CTavRepository& rep, uint32_t number) {
    CTavRepBaselineDetails* table = nullptr;
    try {
        table = rep.LoadBaseline(number);
    } catch (CTavException* e) {
        e->Delete();
        return;
    }
    if (table == nullptr) return;
    std::vector<TavNodeRec> nodes;
    table->LoadAllNodes(nodes);
    g_sink = g_sink + size_t(table->GetRootCount()) + table->contentIndex.size();
    TavNodeRec other;
    for (int32_t i = 0; i < table->GetRootCount(); ++i) g_sink = g_sink + table->LoadRootAt(other, i);
    // The links of each node, as a tree walker follows them.
    for (size_t i = 0; i < nodes.size() && i < MAX_NODES_WALKED; ++i)
        for (uint32_t id : {nodes[i].parentId, nodes[i].firstChildId, nodes[i].nextSiblingId})
            g_sink = g_sink + table->LoadNode(other, id);
    if (nodes.size() <= MAX_NODES_PURGED) {
        std::vector<TavNodeRec> work = nodes;  // the purge works in place
        g_sink = g_sink + CTavRepository::PurgeBaseline(work);
    }
    // Each distinct chain once: many nodes may name the same block.
    std::set<std::pair<uint32_t, uint32_t>> chains;
    for (size_t i = 0; i < nodes.size() && i < MAX_NODES_WALKED; ++i) {
        const TavPosition p = nodes[i].content;
        if (p.offset != 0 && chains.insert({p.image, p.offset}).second) ReadChain(rep, p);
        if (nodes[i].extra.offset != 0 && chains.insert({nodes[i].extra.image, nodes[i].extra.offset}).second)
            ReadChain(rep, nodes[i].extra);
        g_sink = g_sink + Utf16FieldToUtf8(nodes[i].name, NODE_NAME_CHARS).size();
    }
    table->Dispose();
}

// A run that saves the newest baseline again and is rolled back: afterwards the image
// opens at the same newest baseline as before.
void SaveAndRollBack(CTavRepository& rep, const TavImageSecurity& security) {
    const uint32_t latest = rep.GetLatestBaselineNumber();
    CTavRepBaselineDetails* table = nullptr;
    try {
        table = rep.LoadBaseline(latest);
        if (table == nullptr) return;
        if (rep.BeginTrans(1000) == 1) {
            g_sink = g_sink + rep.SaveBaseline(table, "fuzz", nullptr, 0);
            rep.RollbackTrans();
        }
    } catch (CTavException* e) {
        e->Delete();
        try {
            rep.RollbackTrans();
        } catch (CTavException* inner) {
            inner->Delete();
        }
    }
    if (table != nullptr) table->Dispose();
    try {
        rep.Detach();
        CTavRepository again;
        const int attached = again.Attach(Paths().image, &security);
        if (attached && again.GetLatestBaselineNumber() != latest) {
            std::fprintf(stderr, "rollback changed the newest baseline: %u -> %u\n", latest,
                         again.GetLatestBaselineNumber());
            std::abort();
        }
    } catch (CTavException* e) {
        e->Delete();
    }
}

void AttachAndWalk(const TavImageSecurity& security, bool write) {
    CTavRepository rep;
    try {
        if (!rep.Attach(Paths().image, &security)) return;
    } catch (CTavException* e) {
        e->Delete();
        return;
    }
    if (write) {  // the reading walks ran already
        SaveAndRollBack(rep, security);
        return;
    }
    const TavBaselineList* list = rep.GetBaselineList();
    if (list != nullptr) {
        // The list may change under a failing load; walk a copy of the numbers.
        std::vector<uint32_t> numbers;
        for (const TavBaselineHeaderRec& h : list->items) numbers.push_back(h.number);
        std::set<uint32_t> seen;
        for (uint32_t n : numbers)
            if (seen.insert(n).second) WalkBaseline(rep, n);
    }
    try {
        g_sink = g_sink + rep.VerifyPassword(FUZZ_SEED_PASSWORD);
        rep.Detach();
    } catch (CTavException* e) {
        e->Delete();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const char* seedFlag = "-make_seeds=";
    if (*argc > 1 && std::strncmp((*argv)[1], seedFlag, std::strlen(seedFlag)) == 0)
        std::exit(WriteImageSeeds((*argv)[1] + std::strlen(seedFlag)) ? 0 : 1);
    FuzzPaths& p = Paths();
    p.dir = plat::MakeTempDirectory("tavfuzz~");
    if (p.dir.empty()) std::abort();
    p.image = plat::JoinPath(p.dir, "fuzz.tvr");
    std::atexit(RemoveFuzzFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteImage(data, size)) return 0;
    TavImageSecurity plain;
    InitTavImageSecure(&plain, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE);
    AttachAndWalk(plain, false);
    TavImageSecurity secret;
    InitTavImageSecure(&secret, FUZZ_SEED_PASSWORD, COMPRESS_DEFLATE, -1, ENCRYPT_PASSWORD,
                       TAV_DEFAULT_IMAGE_SIZE);
    AttachAndWalk(secret, false);
    // Last, as it rewrites the file: a saved run that is rolled back.
    AttachAndWalk(plain, true);
    return 0;
}
