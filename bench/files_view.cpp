// bench_files_view [FOLDER]: the job editor's Files and Folders view (its providers in a
// tree-list control, offscreen) on a temporary tree made in FOLDER (default $TMPDIR):
// 1. expanding a source folder of 10,000 files: its children listed, the tree updated and
//    the list's 10,000 rows shown, then the list sorted by size;
// 2. saving a job whose tree has 2,000 unchecked files among 50,000 (50 folders of 1,000
//    files, 40 unchecked in each): the check states stored into the selection, the job file
//    written.
// Each figure stands beside a reference taken in the same run: reading the same folders
// (one directory listing with lstat per entry), the least any view of them costs.
#include <QApplication>
#include <QTreeWidget>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "FilesCommands.h"
#include "FilesJobProviders.h"
#include "FilesSelectionSave.h"
#include "platform/FileSystem.h"
#include "tavengine/TavJobHelper.h"
#include "tavui/TreeListCtrl.h"

namespace {

// Wall time of `work`; its processor time in `cpu` (the machine is shared: the processor
// time shows what the work itself costs when other programs take turns).
double Seconds(const std::function<void()>& work, double* cpu = nullptr) {
    const std::clock_t c0 = std::clock();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu != nullptr) *cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
    return wall;
}

void MakeFiles(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/file%05d.%s", i, i % 3 == 0 ? "txt" : i % 3 == 1 ? "jpg" : "dat");
        std::ofstream(folder + name) << std::string(size_t(i % 97), 'x');
    }
}

double ListReference(const std::vector<std::string>& folders, double* cpu) {
    return Seconds([&] {
        for (const std::string& folder : folders) {
            std::vector<TavFindData> entries;
            plat::ListDirectory(folder, entries);
        }
    }, cpu);
}

CTlcDataProvider* ChildNamed(CTlcDataProvider* parent, const std::string& name) {
    for (CTlcDataProvider* c : parent->Children())
        if (c->Name() == name) return c;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string base = argc > 1 ? argv[1] : plat::TempDirectory();
    const std::string dir = base + "/tav-bench-files-view";
    std::filesystem::remove_all(dir);
    std::printf("making 60,000 files in %s ...\n", dir.c_str());
    const std::string flat = dir + "/flat";
    MakeFiles(flat, 10000);
    std::vector<std::string> folders;
    for (int f = 0; f < 50; ++f) {
        folders.push_back(dir + "/tree/folder" + std::to_string(f));
        MakeFiles(folders.back(), 1000);
    }

    // 1. Expanding the folder of 10,000 files.
    double expand = 0, sort = 0, expandCpu = 0, sortCpu = 0;
    {
        CTreeListCtrl control;
        control.resize(900, 600);
        control.show();
        CTavJobHelper job;
        XMLNode node = job.AddBackupNode("Files and Folders", "files");
        auto* root = new CTavFilesRoot(&control, node, &job);
        control.InsertRoot(root);
        filescmd::DataExchange(root, &node, 0);
        control.SelectProvider(root);
        filescmd::OnEventFilesDrop(root, nullptr, flat);
        CTlcDataProvider* source = ChildNamed(root, flat);
        expand = Seconds([&] { control.SelectProvider(source); }, &expandCpu);
        sort = Seconds([&] { control.SortList(1); }, &sortCpu);
        if (control.List()->topLevelItemCount() != 10000)
            std::printf("the list shows %d rows\n", control.List()->topLevelItemCount());
    }
    double refFlatCpu = 0;
    const double refFlat = ListReference({flat}, &refFlatCpu);

    // 2. Saving 50,000 items with 2,000 unchecked.
    double store = 0, write = 0, storeCpu = 0, writeCpu = 0;
    size_t entries = 0;
    {
        CTreeListCtrl control;
        CTavJobHelper job;
        XMLNode node = job.AddBackupNode("Files and Folders", "files");
        auto* root = new CTavFilesRoot(&control, node, &job);
        control.InsertRoot(root);
        filescmd::DataExchange(root, &node, 0);
        filescmd::OnEventFilesDrop(root, nullptr, dir + "/tree");
        CTlcDataProvider* tree = ChildNamed(root, dir + "/tree");
        control.ListChildren(tree);
        for (CTlcDataProvider* folder : tree->Children()) {
            control.ListChildren(folder);
            const auto& files = folder->Children();
            for (size_t i = 0; i < files.size(); i += 25) files[i]->ChangeCheckState(TLC_UNCHECKED);
        }
        store = Seconds([&] { StoreCheckStates(*static_cast<CTavFilesRoot*>(root)); }, &storeCpu);
        write = Seconds([&] { job.Save(dir + "/bench.tvj"); }, &writeCpu);
        entries = size_t(node.GetChildCount());
    }
    double refTreeCpu = 0;
    const double refTree = ListReference(folders, &refTreeCpu);

    std::printf("                                         wall (cpu)        reference listing    ratio (cpu)\n");
    auto row = [](const char* what, double wall, double cpu, double refWall, double refCpu) {
        if (refWall > 0)
            std::printf("%-40s %.3f s (%.3f s)  %.3f s (%.3f s)    %.1f (%.1f)\n", what, wall, cpu, refWall, refCpu,
                        wall / refWall, refCpu > 0 ? cpu / refCpu : 0.0);
        else
            std::printf("%-40s %.3f s (%.3f s)\n", what, wall, cpu);
    };
    row("expand a folder of 10,000 files", expand, expandCpu, refFlat, refFlatCpu);
    row("  then sort its list by size", sort, sortCpu, 0, 0);
    row("store 50,000 items' states, 2,000 off", store, storeCpu, refTree, refTreeCpu);
    std::printf("%-40s %.3f s (%.3f s)  [%zu entries]\n", "  then write the job file", write, writeCpu, entries);
    std::printf("%-40s %.3f s (%.3f s)\n", "saving in all", store + write, storeCpu + writeCpu);
    std::filesystem::remove_all(dir);
    return 0;
}
