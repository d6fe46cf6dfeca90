// CTavEngineFiles: the Files and Folders engine (backup walk; restore is its other half).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tavengine/TavEngine.h"
#include "tavrep/TavRepository.h"

class CTavJobFilesHelper;
class CPosixMetaStore;
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

protected:
    bool IsCancelled() const { return m_cancel.load() != 0; }

    // One folder of the walk (BackupGoDeep): `folder` is its absolute path, `nodeId` its
    // node, `filter` the filter in force (or null).
    void BackupGoDeep(uint32_t nodeId, const std::string& folder, const TavFileFilter* filter);

private:
    struct CChild;
    struct CSource;

    // Walk steps (EngineFilesBackup.cpp).
    void CollectSources(std::vector<CSource>& sources);
    void CollectPartlySelectedFolders();
    void MatchPreviousItems(uint32_t rootId, std::vector<CSource>& sources);
    bool BackupPreviousSource(TavNodeRec& node, const CSource& source);
    void AddNewSource(uint32_t rootId, const CSource& source);
    uint32_t LoadOrCreateRoot();

    // Item workers (EngineFilesWalk.cpp).
    void HandleEntry(uint32_t parentId, const std::string& folder, int allSelected,
                     TavFindData& entry, const TavFileFilter* filter, std::vector<CChild>& children,
                     std::unordered_map<std::string, size_t>& byName);
    void DescendInto(uint32_t nodeId, const std::string& path, const TavFileFilter* parentFilter);
    uint32_t AddItem(uint32_t parentId, const TavFindData& found, const std::string& path);
    void UpdateItem(TavNodeRec& node, const TavFindData& found, const std::string& path);
    void UpdateFolder(TavNodeRec& node, const TavFindData& found);
    void KeepUnchanged(TavNodeRec& node, const TavFindData& found);
    void AddNewFile(uint32_t parentId, const TavFindData& found, const std::string& path);
    void DeleteItem(uint32_t nodeId, bool counted);
    bool ShouldAddNew(const std::string& path, int allSelected) const;
    bool CanStore(const TavFindData& found, const std::string& path);
    std::unique_ptr<TavFileFilter> FilterOf(const std::string& path) const;
    bool IsExcluded(const std::string& path, bool folder) const;
    bool IsPartial(const std::string& path) const;

    void Log(const std::string& text) { FireOnLogNotify(text); }
    void Progress(const std::string& item) { FireOnProgress(m_progressTitle, item, 0); }

    CTavRepository* m_repository = nullptr;
    CTavRepBaselineDetails* m_baseline = nullptr;
    CTavJobFilesHelper* m_selection = nullptr;
    uint32_t m_word = 0;
    uint32_t m_encoding = 0;
    TavBkLogAccount m_counts;
    std::string m_currentPath;
    std::string m_progressTitle;
    // Folders (with a trailing '/') that hold an excluded file: under the new-file mode 0x30
    // new items there are not added.
    std::unordered_set<std::string> m_partlySelected;
    std::unique_ptr<CPosixMetaStore> m_meta;
    std::atomic<int32_t> m_cancel{0};
};
