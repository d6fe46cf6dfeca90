// CTavEngineFiles restore: the request, the baseline and where each stored item goes.
//
// The restore never changes the process's current directory: every target is an absolute
// path, worked out from the location (or the original place) and the stored names, which
// are checked first (see RestorePaths.h).
#include <memory>

#include "core/EngineFilesRestoreList.h"
#include "core/FilesTexts.h"
#include "core/PathText.h"
#include "core/RestoreMeta.h"
#include "core/RestorePaths.h"
#include "platform/FileSystem.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"
#include "tavrep/TavDisposed.h"

namespace {

using namespace filestext;

using BaselinePtr = TavDisposedPtr<CTavRepBaselineDetails>;

std::string NameOf(const TavNodeRec& node) { return Utf16FieldToUtf8(node.name, NODE_NAME_CHARS); }

bool IsFolderNode(const TavNodeRec& node) { return (node.attributes & TAV_ATTR_DIRECTORY) != 0; }

// The original path of `node` as parts: those of its top-level item's absolute name, then
// the plain names below it. `topCount` is the number of parts the top-level name gave.
// False with `badName` and `where` set when a name on the way is not acceptable or the
// parent links do not lead to the module root.
bool OriginalParts(CTavRepBaselineDetails& baseline, const TavNodeRec& node,
                   std::vector<std::string>& parts, size_t& topCount, std::string& badName,
                   std::string& where) {
    std::vector<std::string> names;
    TavNodeRec current = node;
    for (int32_t budget = baseline.count;; --budget) {
        names.push_back(NameOf(current));
        TavNodeRec parent;
        if (budget <= 0 || current.parentId == TAV_NONE ||
            !baseline.LoadNode(parent, current.parentId)) {
            badName = names.back();
            where = ROOT_NODE_NAME;
            return false;
        }
        if (parent.parentId == TAV_NONE) break;  // the module root
        current = parent;
    }
    if (!restorepath::SplitTopLevel(names.back(), parts)) {
        badName = names.back();
        where = ROOT_NODE_NAME;
        return false;
    }
    topCount = parts.size();
    std::string path = names.back();
    for (size_t i = names.size() - 1; i-- > 0;) {
        if (!restorepath::IsPlainName(names[i])) {
            badName = names[i];
            where = path;
            return false;
        }
        parts.push_back(names[i]);
        path = plat::JoinPath(path, names[i]);
    }
    return true;
}

}  // namespace

void CTavEngineFiles::RestoreError(const char* format, const std::string& path) {
    Log(plat::Format(format, filespath::Printable(path).c_str()));
    ++m_restoreCounts.errors;
}

int32_t CTavEngineFiles::Restore(const std::string& requestXml, CTavRepository* repository) {
    CTavRestoreParam param;
    std::string error;
    if (repository == nullptr || !param.Parse(requestXml, error)) {
        if (!error.empty()) Log(plat::Format(LOG_BAD_REQUEST, error.c_str()));
        return 0;
    }
    m_repository = repository;
    int32_t result = 1;
    try {
        if (param.nodes.empty()) {
            result = Restore(param);
        } else {
            for (uint32_t id : param.nodes) {
                if (IsCancelled()) break;
                result = RestoreNode(id, param);
                if (result == 0) break;
            }
        }
    } catch (...) {
        LogThrown(LOG_RESTORE_FAILED);
        result = 0;
    }
    m_restoreMeta.reset();
    if (result == 0 && !IsCancelled()) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    // RestoreNode leaves the state alone; the run as a whole has ended now.
    SetEngineState(IsCancelled() ? TAV_ENGINE_CANCELLED : TAV_ENGINE_FINISHED);
    return IsCancelled() ? 0 : 1;
}

CTavRepBaselineDetails* CTavEngineFiles::LoadRestoreBaseline(const CTavRestoreParam& param) {
    if (m_repository == nullptr) return nullptr;
    CTavRepBaselineDetails* baseline = m_repository->LoadBaseline(param.baseline);
    if (baseline == nullptr) Log(plat::Format(LOG_NO_BASELINE, static_cast<unsigned long>(param.baseline)));
    m_restoreMeta = std::make_unique<CRestoreMetaReader>(m_repository);
    m_restoreWord = param.command;
    m_restoreOwners = plat::IsRoot();
    return baseline;
}

int32_t CTavEngineFiles::Restore(CTavRestoreParam& param) {
    SetEngineState(TAV_ENGINE_RUNNING);
    CTavRepBaselineDetails* loaded = nullptr;
    try {
        loaded = LoadRestoreBaseline(param);
    } catch (CTavException*) {
        if (m_repository != nullptr) {
            m_repository->SetRepErrorCallback(nullptr);
            m_repository->Detach();
        }
        SetEngineState(TAV_ENGINE_FAILED);
        throw;
    }
    if (loaded == nullptr) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    BaselinePtr baseline(loaded);
    m_cancel.store(0);
    FireOnStart();
    param.SortExcluded();
    m_restoreCounts = TavRsLogAccount{};
    Log(BuildStartRestoreLog());

    CRestoreList list;
    list.param = &param;
    list.baseline = baseline.get();
    TavNodeRec root;
    if (baseline->LoadRoot(root, MODULE_FILES_ROOT)) {
        int32_t budget = baseline->count;  // damaged sibling links never loop
        TavNodeRec child;
        for (uint32_t id = root.firstChildId; id != TAV_NONE && budget-- > 0 && !IsCancelled();
             id = child.nextSiblingId) {
            if (!baseline->LoadNode(child, id)) break;
            if ((child.flags & NODE_DELETED) || param.IsExcluded(id)) continue;
            CollectTopLevel(child, list);
        }
    }
    WriteFileList(list);
    FinishFolders(list);
    baseline.reset();
    m_repository->ReleaseReadHandles();

    if (IsCancelled()) {
        SetEngineState(TAV_ENGINE_CANCELLED);
        Log(LOG_RESTORE_CANCELLED);
        FireOnCancelled();
    } else {
        SetEngineState(TAV_ENGINE_FINISHED);
        Log(BuildFinishRestoreLog(m_restoreCounts));
        FireOnFinish();
    }
    return 1;
}

// A top-level item goes to its original absolute path, or to that path below the location.
void CTavEngineFiles::CollectTopLevel(const TavNodeRec& item, CRestoreList& list) {
    const std::string name = NameOf(item);
    std::vector<std::string> parts;
    if (!restorepath::SplitTopLevel(name, parts) || (!IsFolderNode(item) && parts.empty())) {
        Log(plat::Format(LOG_BAD_STORED_NAME, filespath::Printable(name).c_str(), ROOT_NODE_NAME));
        ++m_restoreCounts.errors;
        return;
    }
    const std::string& location = list.param->location;
    // Without a location the folders on the way are the system's own, links among them too.
    const std::string base = location.empty() ? "/" : plat::AbsolutePath(location);
    std::string target;
    bool created = false;
    if (IsFolderNode(item)) {
        if (!restorepath::MakeFolder(base, parts, location.empty() ? parts.size() : 0, target,
                                     created, !DryRun())) {
            RestoreError(LOG_CANNOT_CREATE_FOLDER, target);
            return;
        }
        if (created) list.made.push_back({item.nodeId, target});
        RestoreGoDeep(item, target, list);
        return;
    }
    const std::string file = parts.back();
    parts.pop_back();
    if (!restorepath::MakeFolder(base, parts, location.empty() ? parts.size() : 0, target,
                                 created, !DryRun())) {
        RestoreError(LOG_CANNOT_OPEN_DIRECTORY, target);
        return;
    }
    list.files.push_back({item.nodeId, plat::JoinPath(target, file)});
}

void CTavEngineFiles::RestoreGoDeep(const TavNodeRec& folder, const std::string& path,
                                    CRestoreList& list) {
    if (!list.visited.insert(folder.nodeId).second) return;
    int32_t budget = list.baseline->count;
    TavNodeRec child;
    for (uint32_t id = folder.firstChildId; id != TAV_NONE && budget-- > 0 && !IsCancelled();
         id = child.nextSiblingId) {
        if (!list.baseline->LoadNode(child, id)) break;
        if ((child.flags & NODE_DELETED) || list.param->IsExcluded(id)) continue;
        const std::string name = NameOf(child);
        if (!restorepath::IsPlainName(name)) {
            Log(plat::Format(LOG_BAD_STORED_NAME, filespath::Printable(name).c_str(),
                       filespath::Printable(path).c_str()));
            ++m_restoreCounts.errors;
            continue;
        }
        const std::string target = plat::JoinPath(path, name);
        if (!IsFolderNode(child)) {
            list.files.push_back({child.nodeId, target});
            continue;
        }
        if (!(m_restoreWord & TAV_RS_SUBFOLDERS)) continue;
        bool created = false;
        if (!restorepath::MakeChildFolder(target, created, !DryRun())) {
            RestoreError(LOG_CANNOT_CREATE_FOLDER, target);
            continue;
        }
        if (created) list.made.push_back({child.nodeId, target});
        RestoreGoDeep(child, target, list);
    }
}

int32_t CTavEngineFiles::RestoreNode(uint32_t nodeId, CTavRestoreParam& param) {
    if (nodeId == 0) return 0;
    // An exception of the repository passes to the caller; the state stays as it is.
    CTavRepBaselineDetails* loaded = nullptr;
    try {
        loaded = LoadRestoreBaseline(param);
    } catch (CTavException*) {
        if (m_repository != nullptr) {
            m_repository->SetRepErrorCallback(nullptr);
            m_repository->Detach();
        }
        throw;
    }
    if (loaded == nullptr) return 0;
    BaselinePtr baseline(loaded);
    TavNodeRec node;
    if (baseline->count <= 0 || !baseline->LoadNode(node, nodeId) ||
        node.moduleId != MODULE_FILES_ITEM)
        return 0;

    m_cancel.store(0);
    m_restoreCounts = TavRsLogAccount{};
    Log(BuildStartRestoreLog());
    FireOnStart();
    param.SortExcluded();

    CRestoreList list;
    list.param = &param;
    list.baseline = baseline.get();
    int32_t result = CollectNode(node, list) ? WriteFileList(list) : 0;
    FinishFolders(list);
    baseline.reset();
    m_repository->ReleaseReadHandles();

    if (IsCancelled()) {
        Log(LOG_RESTORE_NODE_CANCELLED);
        FireOnCancelled();
    } else {
        Log(BuildFinishRestoreLog(m_restoreCounts));
        FireOnFinish();
    }
    return result;
}

// Where one item named by the request goes. A folder: below the location by its name (a
// top-level one by its absolute path), else at its original path. A file: into the
// location, else back into its original folder.
bool CTavEngineFiles::CollectNode(const TavNodeRec& node, CRestoreList& list) {
    std::vector<std::string> parts;
    size_t topCount = 0;
    std::string badName, where;
    if (!OriginalParts(*list.baseline, node, parts, topCount, badName, where)) {
        Log(plat::Format(LOG_BAD_STORED_NAME, filespath::Printable(badName).c_str(),
                   filespath::Printable(where).c_str()));
        ++m_restoreCounts.errors;
        return false;
    }
    const bool topLevel = parts.size() == topCount;
    const std::string& location = list.param->location;
    const std::string base = location.empty() ? "/" : plat::AbsolutePath(location);
    std::string target;
    bool created = false;
    if (IsFolderNode(node)) {
        bool made;
        if (location.empty()) {
            made = restorepath::MakeFolder(base, parts, topCount, target, created, !DryRun());
        } else {
            const std::vector<std::string> own =
                topLevel ? parts : std::vector<std::string>{parts.back()};
            made = restorepath::MakeFolder(base, own, 0, target, created, !DryRun());
        }
        if (!made) {
            RestoreError(LOG_CANNOT_CREATE_FOLDER, target);
            return false;
        }
        if (created) list.made.push_back({node.nodeId, target});
        RestoreGoDeep(node, target, list);
        return true;
    }
    if (parts.empty()) {
        Log(plat::Format(LOG_BAD_STORED_NAME, "", ROOT_NODE_NAME));
        ++m_restoreCounts.errors;
        return false;
    }
    const std::string file = parts.back();
    parts.pop_back();
    const bool made =
        location.empty()
            ? restorepath::MakeFolder(base, parts, std::min(topCount, parts.size()), target, created,
                                      !DryRun())
            : restorepath::MakeFolder(base, {}, 0, target, created, !DryRun());
    if (!made) {
        RestoreError(LOG_CANNOT_OPEN_DIRECTORY, location.empty() ? target : location);
        return false;
    }
    list.files.push_back({node.nodeId, plat::JoinPath(target, file)});
    return true;
}
