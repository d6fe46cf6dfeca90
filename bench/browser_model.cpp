// bench_browser_model [REPOSITORY.tvr]: the browser's model (CBrowserDocument and its
// providers, no window) over a large repository: time to open it and make the newest
// baseline's roots, to list a folder of 10,000 files (rows rendered, then sorted by size),
// and to switch to the older baseline; peak memory. Each figure stands beside a reference
// taken in the same run: loading the same baseline and walking the same folder's records
// with tavctl's plain baseline view.
// Without an argument it makes a repository of 47,000 items in 2,611 folders (one folder
// holding 10,000 files) with two baselines, through the library; the model reads only node
// tables, so the items carry sizes and times but no content.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "BaselineView.h"
#include "RestoreRequest.h"
#include "BrowserDocument.h"
#include "BrowserNodeProvider.h"
#include "tavrep/BaselineDetails.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"
#include "tavui/Prompt.h"

namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The resident memory now (VmRSS), in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

std::string MakeRepository(const std::string& dir) {
    const std::string path = dir + "/bench.tvr";
    TavImageSecurity security;
    InitTavImageSecure(&security, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE);
    CTavRepository::CreateRepository(path, &security, 0, {0, 0});
    uint32_t serial = 0;
    for (int run = 0; run < 2; ++run) {
        CTavRepository rep;
        rep.Attach(path, &security);
        rep.StartFreshImage();
        CTavRepBaselineDetails* table = rep.LoadBaseline(rep.GetLatestBaselineNumber());
        rep.BeginTrans(TAV_TRANS_TIMEOUT_MS);
        if (run == 0) {
            TavNodeRec* root = CTavRepository::CreateNode();
            root->attributes = TAV_ATTR_DIRECTORY;
            root->flags = NODE_DIRECTORY | NODE_TOUCHED;
            root->moduleId = MODULE_FILES_ROOT;
            Utf8ToUtf16Field("Files and Folders", root->name, NODE_NAME_CHARS);
            const uint32_t rootId = table->AddNode(*root, 1);
            CTavRepository::DisposeNode(root);
            auto add = [&](uint32_t parent, const std::string& name, bool folder, uint64_t size) {
                TavFindData fd;
                fd.name = name;
                fd.attributes = folder ? TAV_ATTR_DIRECTORY : TAV_ATTR_ARCHIVE;
                fd.SetSize(size);
                fd.written = TavFileTime::FromTicks(133000000000000000ull + uint64_t(++serial) * 10000000ull);
                return rep.AddNode(table, parent, MODULE_FILES_ITEM, &fd, nullptr, 0, {0, 0}, nullptr);
            };
            const uint32_t top = add(rootId, "/data", true, 0);
            const uint32_t big = add(top, "big", true, 0);
            for (int i = 0; i < 10000; ++i) add(big, "file" + std::to_string(i) + ".txt", false, 1000 + i * 37);
            // 2,610 more folders of 14 or 15 files: 37,000 files.
            for (int f = 0; f < 2610; ++f) {
                const uint32_t folder = add(top, "folder" + std::to_string(f), true, 0);
                const int files = f < 460 ? 15 : 14;
                for (int i = 0; i < files; ++i) add(folder, "item" + std::to_string(i) + ".bin", false, 4096 + i);
            }
        } else {
            TavNodeRec node;
            int changed = 0;
            for (uint32_t id = 0; table->LoadNode(node, id) == 1 && changed < 470; id += NODE_REC_SIZE * 100) {
                if (node.attributes & TAV_ATTR_DIRECTORY) continue;
                TavFindData fd;
                fd.name = Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
                fd.attributes = TAV_ATTR_ARCHIVE;
                fd.SetSize(node.Size() + 1);
                rep.UpdateNode(table, node, &fd, nullptr, {0, 0}, nullptr);
                ++changed;
            }
        }
        rep.SaveBaseline(table, "Manual Backup", "bench", run == 0 ? 0x10001000 : 0x10002000);
        rep.CommitTrans();
        table->Dispose();
    }
    return path;
}

CTlcDataProvider* Find(CTlcDataProvider* parent, const std::string& name) {
    parent->EnsureChildren();
    for (CTlcDataProvider* child : parent->Children())
        if (child->Name() == name) return child;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string path;
    std::string temp;
    if (argc > 1) {
        path = argv[1];
    } else {
        temp = CTavRepository::BuildTempPath() + ".bench";
        std::filesystem::create_directories(temp);
        std::printf("making a repository of 47,000 items in %s ...\n", temp.c_str());
        path = MakeRepository(temp);
    }
    tavui::CScriptedPrompt prompt;
    const long baseKiB = ResidentKiB();
    long peak = baseKiB;

    // Reference: the plain baseline view of tavctl (load, walk the big folder's records).
    double refOpen = 0, refList = 0;
    {
        CTavRepository rep;
        TavImageSecurity security;
        InitTavImageSecure(&security, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE);
        rep.Attach(path, &security);
        std::unique_ptr<tavctl::CBaselineView> view;
        refOpen = Seconds([&] {
            const uint32_t latest = rep.GetLatestBaselineNumber();
            view = std::make_unique<tavctl::CBaselineView>(rep.LoadBaseline(latest), latest);
            (void)view->Roots();
        });
        TavNodeRec top{}, big{};
        for (const TavNodeRec& child : view->Children(tavctl::RestorableRoots(*view).front(), false)) top = child;
        for (const TavNodeRec& child : view->Children(top, false))
            if (tavctl::NodeName(child) == "big") big = child;
        size_t refCount = 0;
        refList = Seconds([&] { refCount = view->Children(big, false).size(); });
        if (refCount != 10000) std::printf("reference folder has %zu items\n", refCount);
    }

    CBrowserDocument document(nullptr, prompt);
    std::vector<CTlcDataProvider*> roots;
    const double open = Seconds([&] {
        if (!document.Open(path)) return;
        roots = document.LoadContent(document.Baselines().front().number);
    });
    if (roots.empty()) {
        std::fprintf(stderr, "bench_browser_model: cannot open %s\n", path.c_str());
        return 1;
    }
    CTlcDataProvider* big = nullptr;
    for (CTlcDataProvider* child : (roots[0]->EnsureChildren(), roots[0]->Children())) big = Find(child, "big");
    if (big == nullptr) {
        std::fprintf(stderr, "bench_browser_model: %s has no folder \"big\" under its first source "
                             "(give no repository, and the bench makes its own)\n", path.c_str());
        return 1;
    }
    size_t rows = 0;
    const double list = Seconds([&] {
        big->EnsureChildren();
        for (CTlcDataProvider* child : big->Children()) rows += big->RenderChildRow(*child).size();
        (void)big->SortedChildren(1, false);
    });
    const size_t bigCount = big->Children().size();
    peak = std::max(peak, ResidentKiB());
    for (CTlcDataProvider* root : roots) root->Dispose();
    roots.clear();
    const double sw = Seconds([&] {
        roots = document.LoadContent(document.Baselines().back().number);
        roots[0]->EnsureChildren();
    });
    peak = std::max(peak, ResidentKiB());
    for (CTlcDataProvider* root : roots) root->Dispose();

    std::printf("open and show the newest baseline's roots: %.3f s (reference %.3f s, ratio %.2f)\n", open, refOpen,
                open / refOpen);
    std::printf("list a folder of %zu files (rows and a sort by size): %.3f s (reference walk %.3f s, ratio %.1f)\n",
                bigCount, list, refList, list / refList);
    std::printf("switch to the older baseline: %.3f s\n", sw);
    std::printf("memory: %.1f MiB resident at most while browsing (%.1f MiB before opening)\n", peak / 1024.0,
                baseKiB / 1024.0);
    if (!temp.empty()) std::filesystem::remove_all(temp);
    return 0;
}
