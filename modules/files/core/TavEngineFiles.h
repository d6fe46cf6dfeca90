// CTavEngineFiles: the Files and Folders engine (backup walk; restore is its other half).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/PathSet.h"
#include "core/TavRestoreParam.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavWords.h"
#include "tavrep/TavRepository.h"

class CTavJobFilesHelper;
class CPosixMetaStore;
class CRestoreMetaReader;
class CRestoreWriter;
struct TavFileFilter;

// The counters of one backup run, in the order of the finish log's fields.
struct TavBkLogAccount {
    uint32_t added = 0;    // files stored as new items
    uint32_t updated = 0;  // files stored again because they changed
    uint32_t deleted = 0;  // items marked deleted
    uint32_t skipped = 0;  // files found unchanged
    uint32_t errors = 0;   // items in error
};

// Made by CreateEngineFiles; released with Dispose. One engine runs one operation at a time
// on the caller's thread; CancelOperation may be called from anywhere.
//
// A backup walks the job's sources with absolute paths (the process's current directory is
// never changed), never follows symbolic links (a link is stored as a node with attribute
// 0x400 whose content is its target text) and passes over sockets, FIFOs and devices with a
// log line. Each stored item's mode, owner and group are kept in its node's extra data (see
// PosixMeta.h).
//
// A restore works with absolute target paths as well. Stored names are checked before
// anything is written, each file is written beside its target under a temporary name and
// renamed over it only when complete (and verified, when asked), and files are written in
// the order of their contents in the images (see EngineFilesRestore.cpp, RestorePaths.h,
// RestoreWriter.h).
class CTavEngineFiles : public CTavEngine, public CTavRepositoryObserver {
public:
    CTavEngineFiles();
    ~CTavEngineFiles() override;

    // --- CTavEngine ---
    // Backs up the job's "files" node into `baseline` (loaded from the repository's latest
    // baseline, inside the repository's open transaction). 1 when the run finished; 0 when the
    // job text does not parse, when an error of the repository ended the walk (state 3), or
    // when the run was cancelled (state 2).
    int32_t Backup(const std::string& jobXml, CTavRepository* repository,
                   CTavRepBaselineDetails* baseline) override;
    // Restores what the request (see TavRestoreParam.h) names from the attached repository.
    // The engine loads the baseline itself. 1 when the run finished (items in error are
    // counted and logged; see GetRestoreCounts); 0 when the request does not parse, when
    // the baseline cannot be loaded (state 3), or when the run was cancelled (state 2).
    int32_t Restore(const std::string& requestXml, CTavRepository* repository) override;
    void CancelOperation() override;
    int32_t ContinueChecksum() override;

    // --- the module's own ---
    // The walk over `selection` with the backup command word `word`, into the repository and
    // baseline of the Backup call that runs it: 1, or 0 when there is no repository or the
    // module's root node cannot be stored. An exception of the repository (CTavException*)
    // passes to the caller. The two paths are not used.
    virtual int32_t Backup(CTavJobFilesHelper& selection, uint32_t word, const char* unused1,
                           const char* unused2);

    // Restores the whole module part of the request's baseline (every top-level item that is
    // not excluded), to the original paths or below the location at their original absolute
    // paths. 1, or 0 when the baseline cannot be loaded. The repository library's exception
    // for an unreadable baseline (CTavException*) passes to the caller after the repository
    // was detached (state 3).
    virtual int32_t Restore(CTavRestoreParam& param);
    // Restores one stored item with everything below it: a folder to its original path, or
    // below the location (a deeper folder by its name, a top-level one at its absolute
    // path); a file to its original path, or into the location. The result of the last
    // file written (0 or 1), 1 when none was written, 0 when the item cannot be restored.
    // Exceptions as for Restore(param), without a change of state.
    virtual int32_t RestoreNode(uint32_t nodeId, CTavRestoreParam& param);

    // The counters of the last restore run (kept after the run).
    const TavRsLogAccount& GetRestoreCounts() const { return m_restoreCounts; }
    std::string BuildStartRestoreLog() const;
    static std::string BuildFinishRestoreLog(const TavRsLogAccount& counts);

    // --- CTavRepositoryObserver ---
    int32_t OnRepProgress(const char* path, TavPosition position, uint32_t percent) override;
    void OnRepError(const char* path, const char* message) override;

    int32_t CheckFileSizeToWrite(uint32_t high, uint32_t low) { return 1; }
    CTavRepository* GetRepository() const { return m_repository; }
    CTavJobFilesHelper* GetWorkingJob() const { return m_selection; }
    // The counters of the last backup run (kept after the run for the runner's summary).
    const TavBkLogAccount& GetBackupCounts() const { return m_counts; }

    std::string BuildStartBackupLog(uint32_t word) const;
    static std::string BuildFinishBackupLog(const TavBkLogAccount& counts);

    // The bytes of noted contents (files to store) past which the walk stores them before
    // it goes on; by default 64 MB, some 300,000 files.
    static constexpr size_t DEFAULT_PENDING_LIMIT = size_t(64) << 20;
    void SetPendingLimit(size_t bytes) { m_pendingLimit = bytes; }

protected:
    bool IsCancelled() const { return m_cancel.load() != 0; }

    // One folder of the walk (BackupGoDeep): `folder` is its absolute path, `nodeId` its
    // node, `filter` the filter in force (or null).
    void BackupGoDeep(uint32_t nodeId, const std::string& folder, const TavFileFilter* filter);

    struct CRestoreList;
    // Collects the items inside the restored folder `folder` (its node), whose target is
    // `path`: files join the list, sub folders (with the word's 0x8) are made and collected.
    void RestoreGoDeep(const TavNodeRec& folder, const std::string& path, CRestoreList& list);
    // Writes one file or link to `path` under the word's overwrite, time and verify bits:
    // 1 when written or kept as up to date, 0 when it failed (logged and counted). The
    // existing file at `path` is replaced only by a complete (and verified) file.
    int32_t RestoreFile(const TavNodeRec& node, const std::string& path, uint32_t word);

private:
    struct CPreviousItems;
    struct CSource;
    struct CPendingStore;

    // Restore steps (EngineFilesRestore.cpp, EngineFilesRestoreFile.cpp).
    CTavRepBaselineDetails* LoadRestoreBaseline(const CTavRestoreParam& param);
    void BeginRestore(CTavRestoreParam& param);
    void CollectTopLevel(const TavNodeRec& item, CRestoreList& list);
    bool CollectNode(const TavNodeRec& node, CRestoreList& list);
    int32_t WriteFileList(CRestoreList& list);
    void FinishFolders(CRestoreList& list);
    bool CopyContent(const TavNodeRec& node, const std::string& path, CRestoreWriter& writer,
                     std::string* linkText);
    bool VerifyWritten(const TavNodeRec& node, const CRestoreWriter& writer,
                       const std::string* linkText);
    void RestoreError(const char* format, const std::string& path);
    // True while a dry run (TAV_RS_DRY_RUN) works out what a restore would do.
    bool DryRun() const { return (m_restoreWord & TAV_RS_DRY_RUN) != 0; }
    // Counts (and logs) an existing file the overwrite rule keeps.
    void KeepExisting(const TavNodeRec& node, const TavFindData& existing, const std::string& path,
                      bool verbose);

    // Walk steps (EngineFilesBackup.cpp).
    void CollectSources(std::vector<CSource>& sources);
    void CollectPartlySelectedFolders();
    void MatchPreviousItems(uint32_t rootId, std::vector<CSource>& sources);
    bool BackupPreviousSource(TavNodeRec& node, const CSource& source);
    void AddNewSource(uint32_t rootId, const CSource& source);
    uint32_t LoadOrCreateRoot();

    // The items below `parent` that are not marked deleted; `expected` is a guess of their
    // number.
    void LoadPreviousItems(const TavNodeRec& parent, CPreviousItems& items, size_t expected);
    // Contents to store, found by the walk and stored after it (EngineFilesPending.cpp).
    // A new item under `parentId`, or the changed file of node `nodeId` (`chunkSize` its
    // chunk size).
    void AddPending(uint32_t parentId, uint32_t nodeId, uint32_t chunkSize,
                    const TavFindData& found, const std::string& path);
    // Stores the pending contents in the order they were found, announcing the files ahead.
    void StorePending();
    void StoreOnePending(const CPendingStore& pending);
    void ClearPending();
    // The walk's total so far, told the observer after each folder.
    void NoteWorkFound();
    // A file's content was handed to the repository (stored or not): it counts as done.
    void WorkDone(const TavFindData& found);

    // Item workers (EngineFilesWalk.cpp).
    void HandleEntry(uint32_t parentId, const std::string& folder, int allSelected,
                     TavFindData& entry, const TavFileFilter* filter, CPreviousItems& items);
    // Whether the walk takes an entry at all, before previous items count.
    bool TakesEntry(const TavFindData& entry, const std::string& path,
                    const TavFileFilter* filter);
    void DescendInto(uint32_t nodeId, const std::string& path, const TavFileFilter* parentFilter);
    uint32_t AddItem(uint32_t parentId, const TavFindData& found, const std::string& path);
    void UpdateItem(TavNodeRec& node, const TavFindData& found, const std::string& path);
    void UpdateFolder(TavNodeRec& node, const TavFindData& found);
    void KeepUnchanged(TavNodeRec& node, const TavFindData& found);
    void AddNewFile(uint32_t parentId, const TavFindData& found, const std::string& path);
    void DeleteItem(uint32_t nodeId, bool counted);
    bool ShouldAddNew(const std::string& path, int allSelected) const;
    // 0 when `folder` holds an excluded file under the new-file mode 0x30, else 1.
    int AllSelected(const std::string& folder) const;
    bool CanStore(const TavFindData& found, const std::string& path);
    std::unique_ptr<TavFileFilter> FilterOf(const std::string& path) const;
    bool IsExcluded(const std::string& path, bool folder) const;
    bool IsPartial(const std::string& path) const;

    void Log(const std::string& text) { FireOnLogNotify(text); }
    // Counts one item in error and tells the observer which and why; `logIt` writes the
    // line "***** <path>: <reason>" too (for failures no other log line has named).
    void ItemError(const std::string& path, const std::string& reason, bool logIt);
    // Why the repository could not store the item just handed to it (its last OnRepError
    // text, or a general reason).
    std::string StoreFailure() const;
    void Progress(const std::string& item) { FireOnProgress(m_progressTitle, item, 0); }

    CTavRepository* m_repository = nullptr;
    CTavRepBaselineDetails* m_baseline = nullptr;
    CTavJobFilesHelper* m_selection = nullptr;
    uint32_t m_word = 0;
    uint32_t m_encoding = 0;
    TavBkLogAccount m_counts;
    std::string m_currentPath;
    std::string m_progressTitle;
    std::string m_lastRepError;  // the repository's last OnRepError text, without "***** "
    // Folders (with a trailing '/') that hold an excluded file: under the new-file mode 0x30
    // new items there are not added.
    std::unordered_set<std::string> m_partlySelected;
    CPathSet m_excluded;  // the job's excluded paths, for the walk's many questions
    std::unique_ptr<CPosixMetaStore> m_meta;
    // The contents the walk found to store and not stored yet, and the bytes they take.
    std::vector<CPendingStore> m_pending;
    size_t m_pendingBytes = 0;
    size_t m_pendingLimit = DEFAULT_PENDING_LIMIT;
    // The work found so far (the run's total once the walk ended), whether a part of it was
    // stored before the walk ended (a very large run), the work done so far and the size of
    // the file being stored.
    TavRunWork m_found;
    bool m_storedEarly = false;
    uint32_t m_foldersWalked = 0;  // for the walk's progress reports
    TavRunWork m_done;
    uint64_t m_currentSize = 0;
    // Restore state: the counters, the run's command word and the stored records it reads.
    TavRsLogAccount m_restoreCounts;
    uint32_t m_restoreWord = 0;
    bool m_restoreOwners = false;  // owner and group are set (the process runs as root)
    std::unique_ptr<CRestoreMetaReader> m_restoreMeta;
    std::atomic<int32_t> m_cancel{0};
};
