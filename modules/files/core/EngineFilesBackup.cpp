// CTavEngineFiles backup: the entry of a run, the job's sources and the module's top level.
#include <exception>
#include <unordered_map>

#include "core/EngineFilesItems.h"
#include "core/FileFilter.h"
#include "core/FilesTexts.h"
#include "core/PathText.h"
#include "core/PosixMeta.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"
#include "platform/Utf8.h"

namespace {

using namespace filestext;

// The stored form of a source: the absolute path without duplicate '/', "." parts or a
// trailing '/'. False for a path that NormalizePath does not accept.
bool NormalizeSource(const std::string& jobPath, std::string& out) {
    std::string folder, pattern;
    if (!CTavEngine::NormalizePath(jobPath, folder, pattern)) return false;
    out.clear();
    size_t start = 0;
    while (start < jobPath.size()) {
        size_t end = jobPath.find('/', start);
        if (end == std::string::npos) end = jobPath.size();
        const std::string_view part(jobPath.data() + start, end - start);
        if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        start = end + 1;
    }
    if (out.empty()) out = "/";
    return true;
}

}  // namespace

int32_t CTavEngineFiles::Backup(const std::string& jobXml, CTavRepository* repository,
                                CTavRepBaselineDetails* baseline) {
    CTavJobHelper job;
    if (repository == nullptr || baseline == nullptr || !job.LoadXml(jobXml)) {
        if (!job.GetErrorText().empty()) Log("\r\n***** " + job.GetErrorText() + "\r\n");
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    const uint32_t word = SetTavCmd(job.GetBackupCommand(), TAV_CMD_BACKUP);
    m_encoding = job.GetImageEncoding();
    m_repository = repository;
    m_baseline = baseline;

    // The user's excluded paths (by default the built-in list) join the engine's own parsed
    // copy only; the job file is untouched.
    CTavJobFilesHelper selection(job.GetBackupNode(MODULE_NAME), &job);
    selection.LoadUserExcludedPaths();
    selection.Sort();

    int32_t result = 0;
    try {
        result = Backup(selection, word, nullptr, nullptr);
    } catch (...) {
        LogThrown(LOG_BACKUP_FAILED);
        result = 0;
    }
    m_baseline = nullptr;
    m_selection = nullptr;
    m_meta.reset();
    m_partlySelected.clear();
    m_excluded.Clear();
    ClearPending();
    if (result == 0) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    return GetEngineState() == TAV_ENGINE_CANCELLED ? 0 : 1;
}

int32_t CTavEngineFiles::Backup(CTavJobFilesHelper& selection, uint32_t word, const char*,
                                const char*) {
    if (m_repository == nullptr || m_baseline == nullptr) return 0;
    SetEngineState(TAV_ENGINE_RUNNING);
    m_selection = &selection;
    m_word = word;
    // A full run writes its own records, so that it needs nothing of older images.
    m_meta = std::make_unique<CPosixMetaStore>(m_repository,
                                               (word & TAV_BKTYPE_MASK) != TAV_BKTYPE_FULL);
    const uint32_t rootId = LoadOrCreateRoot();
    if (rootId == TAV_NONE) {
        Log(plat::Format(LOG_BACKUP_FAILED, LOG_NO_ROOT));
        m_selection = nullptr;
        return 0;
    }
    m_cancel.store(0);
    FireOnStart();
    m_counts = TavBkLogAccount{};
    Log(BuildStartBackupLog(word));

    std::vector<CSource> sources;
    CollectSources(sources);
    CollectPartlySelectedFolders();
    // The walk adds, updates and deletes items, and notes the contents to store; they are
    // stored after it, so that the run's work is known before any of it is done.
    BeginWorkCount();
    m_found = m_done = TavRunWork{};
    m_storedEarly = false;
    m_foldersWalked = 0;
    MatchPreviousItems(rootId, sources);
    for (const CSource& source : sources) {
        if (IsCancelled()) break;
        if (!source.matched) AddNewSource(rootId, source);
    }
    if (!IsCancelled()) {
        SetWorkTotal(m_found);
        StorePending();
    }

    if (IsCancelled()) {
        SetEngineState(TAV_ENGINE_CANCELLED);
        Log(LOG_BACKUP_CANCELLED);
        FireOnCancelled();
    } else {
        SetEngineState(TAV_ENGINE_FINISHED);
        Log(BuildFinishBackupLog(m_counts));
        FireOnFinish();
    }
    m_selection = nullptr;
    ClearPending();
    return 1;
}

uint32_t CTavEngineFiles::LoadOrCreateRoot() {
    TavNodeRec root;
    if (m_baseline->LoadRoot(root, MODULE_FILES_ROOT)) return root.nodeId;
    TavNodeRec* node = CTavRepository::CreateNode();
    node->flags = NODE_DIRECTORY | NODE_TOUCHED;
    node->attributes = TAV_ATTR_DIRECTORY;
    node->moduleId = MODULE_FILES_ROOT;
    node->chunkSize = VerifyChunkSize(0);
    Utf8ToUtf16Field(ROOT_NODE_NAME, node->name, NODE_NAME_CHARS);
    const uint32_t id = m_baseline->AddNode(*node, 1);
    CTavRepository::DisposeNode(node);
    return id;
}

bool CTavEngineFiles::IsExcluded(const std::string& path, bool folder) const {
    if (m_excluded.Has(path)) return true;
    return folder && path != "/" && m_excluded.HasFolderForm(path);
}

bool CTavEngineFiles::IsPartial(const std::string& path) const {
    return bool(m_selection->SearchInPartial(path));
}

// The sources in index order, each normalized once. Sources that are excluded, not valid,
// too long to be stored, or that lie below (or repeat) another source are not taken.
void CTavEngineFiles::CollectSources(std::vector<CSource>& sources) {
    sources.clear();
    // The job's exclusions, asked about every item of the walk: a set of exact paths.
    m_excluded.Clear();
    for (int i = 0; i < m_selection->GetExcludeCount(); ++i)
        if (std::optional<std::string> path = m_selection->GetExclude(i)) m_excluded.Add(*path);
    if (m_selection->SearchInExcludes(ROOT_PATH)) return;
    std::vector<CSource> taken;
    // A source that an excluded path names exactly is not walked, and the run says so: the
    // user asked for it, and a default exclusion (/media, /mnt) may not be what they meant.
    auto excludedSource = [&](const std::string& path) {
        const std::string shown = filespath::Printable(path);
        Log(plat::Format(LOG_SOURCE_EXCLUDED, shown.c_str()));
        ItemError(shown, WHY_SOURCE_EXCLUDED, false);
    };
    for (int i = 0; i < m_selection->GetFileCount(); ++i) {
        const std::optional<std::string> jobPath = m_selection->GetFile(i);
        if (!jobPath) continue;
        if (IsExcluded(*jobPath, true)) {
            excludedSource(*jobPath);
            continue;
        }
        CSource source;
        source.jobPath = *jobPath;
        if (!NormalizeSource(*jobPath, source.path)) {
            const std::string shown = filespath::Printable(*jobPath);
            Log(plat::Format(LOG_INVALID_PATH, shown.c_str()));
            ItemError(shown, WHY_INVALID_PATH, false);
            continue;
        }
        if (source.path != *jobPath && IsExcluded(source.path, true)) {
            excludedSource(source.path);
            continue;
        }
        if (!plat::IsValidUtf8(source.path)) {
            const std::string shown = filespath::Printable(source.path);
            Log(plat::Format(LOG_NAME_NOT_UTF8, shown.c_str()));
            ItemError(shown, WHY_NOT_UTF8, false);
            continue;
        }
        if (source.path.size() > NODE_NAME_MAX_UTF8) {
            Log(plat::Format(LOG_PATH_TOO_LONG, source.path.c_str()));
            ItemError(source.path, WHY_TOO_LONG, false);
            continue;
        }
        taken.push_back(std::move(source));
    }
    // Nested sources: a source below another one is reached through it. "/" lies below no
    // other source.
    std::unordered_map<std::string, size_t> first;
    for (size_t i = 0; i < taken.size(); ++i) first.emplace(taken[i].path, i);
    for (size_t i = 0; i < taken.size(); ++i) {
        const std::string& path = taken[i].path;
        if (first[path] != i) continue;  // the same path spelled twice
        bool nested = false;
        for (std::string up = path; !nested && up != "/" && !up.empty();) {
            up = plat::DirName(up);
            nested = first.count(up) != 0;
        }
        if (!nested) sources.push_back(std::move(taken[i]));
    }
}

// Under the new-file mode "only if all files in the same folder were selected", a folder that
// holds an excluded file takes no new files.
void CTavEngineFiles::CollectPartlySelectedFolders() {
    m_partlySelected.clear();
    if ((m_word & TAV_COND_NEWFILE_MASK) != TAV_COND_NEWFILE_ALLSELECTED) return;
    for (int i = 0; i < m_selection->GetExcludeCount(); ++i) {
        const std::optional<std::string> path = m_selection->GetExclude(i);
        TavFindData found;
        std::string folder, pattern;
        if (!path || !plat::GetFindData(*path, found) || found.kind == TavFileKind::Directory ||
            !NormalizePath(*path, folder, pattern))
            continue;
        m_partlySelected.insert(folder);
    }
}

// The module root's previous items: each is matched with the source of its name and brought
// up to date; an item that no source names any more is marked deleted.
void CTavEngineFiles::MatchPreviousItems(uint32_t rootId, std::vector<CSource>& sources) {
    std::unordered_map<std::string, size_t> byPath;
    for (size_t i = 0; i < sources.size(); ++i) byPath.emplace(sources[i].path, i);
    TavNodeRec root;
    if (!m_baseline->LoadNode(root, rootId)) return;
    // A damaged table could link the siblings in a circle: never visit more than it holds.
    int32_t budget = m_baseline->count;
    TavNodeRec child;
    for (uint32_t id = root.firstChildId; id != TAV_NONE && budget-- > 0 && !IsCancelled();
         id = child.nextSiblingId) {
        if (!m_baseline->LoadNode(child, id)) break;
        if (child.flags & NODE_DELETED) continue;
        auto found = byPath.find(Utf16FieldToUtf8(child.name, NODE_NAME_CHARS));
        if (found == byPath.end() || sources[found->second].matched) {
            DeleteItem(child.nodeId, true);
            continue;
        }
        CSource& source = sources[found->second];
        source.matched = true;
        TavNodeRec node = child;
        if (!BackupPreviousSource(node, source)) source.matched = false;
    }
}

// Brings one previous top-level item up to date. False when the item on disk is of another
// kind now: its node is gone and the source is to be stored as new.
bool CTavEngineFiles::BackupPreviousSource(TavNodeRec& node, const CSource& source) {
    const bool wasFolder = (node.flags & NODE_DIRECTORY) != 0;
    TavFindData found;
    if (!plat::GetFindData(source.path, found)) {
        // Kept as it was: a source that is missing now (an unmounted disk, a renamed folder)
        // keeps its last backup, and the log says why it was not read.
        const std::string why = plat::ErrorText(plat::GetLastError());
        Log(plat::Format(wasFolder ? LOG_CANNOT_OPEN_FOLDER : LOG_CANNOT_OPEN_ITEM, source.path.c_str()));
        Log(plat::Format(LOG_REASON, why.c_str()));
        ItemError(filespath::Printable(source.path), why, false);
        return true;
    }
    found.name = source.path;
    if (found.kind == TavFileKind::Other) {
        Log(plat::Format(LOG_SPECIAL_FILE, source.path.c_str()));
        DeleteItem(node.nodeId, true);
        return true;
    }
    const bool isFolder = found.kind == TavFileKind::Directory;
    if (isFolder != wasFolder) {
        DeleteItem(node.nodeId, false);
        return false;
    }
    m_currentPath = source.path;
    Progress(source.path);
    if (isFolder) {
        if (CheckUpToDate(node, found, m_word))
            UpdateFolder(node, found);
        else
            KeepUnchanged(node, found);
        DescendInto(node.nodeId, source.path, nullptr);
    } else if (CheckUpToDate(node, found, m_word)) {
        AddPending(TAV_NONE, node.nodeId, node.chunkSize, found, source.path);
    } else {
        KeepUnchanged(node, found);
    }
    return true;
}

// A source without a previous item: stored as new (sources are always added).
void CTavEngineFiles::AddNewSource(uint32_t rootId, const CSource& source) {
    TavFindData found;
    if (!plat::GetFindData(source.path, found)) {
        const std::string why = plat::ErrorText(plat::GetLastError());
        const std::string shown = filespath::Printable(source.jobPath);
        Log(plat::Format(LOG_CANNOT_OPEN_ITEM, shown.c_str()));
        Log(plat::Format(LOG_REASON, why.c_str()));
        ItemError(shown, why, false);
        return;
    }
    found.name = source.path;
    if (found.kind == TavFileKind::Other) {
        Log(plat::Format(LOG_SPECIAL_FILE, source.path.c_str()));
        return;
    }
    m_currentPath = source.path;
    Progress(source.path);
    if (found.kind == TavFileKind::Directory) {
        const uint32_t id = AddItem(rootId, found, source.path);
        if (id == TAV_NONE)
            ItemError(source.path, StoreFailure(), m_lastRepError.empty());
        else
            DescendInto(id, source.path, nullptr);
        return;
    }
    AddPending(rootId, TAV_NONE, 0, found, source.path);
}
