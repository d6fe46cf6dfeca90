// CTavOeEngine: the Outlook Express module's engine (backup of identities, restore).
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "core/OeRecords.h"
#include "core/OeStrings.h"
#include "tavengine/TavEngine.h"
#include "tavrep/TavRepository.h"

namespace plat {
class CFile;
class CRegistry;
}  // namespace plat
class CTavJobOeHelper;

// One node of the module's tree as the baseline held it when the run started (all but the
// module root). A node the run meets again is taken off the list; what is left at the end
// is deleted from the baseline.
struct TavOeExistingNode {
    uint32_t nodeId = TAV_NONE;
    uint32_t tag = 0;
    std::string identifier;
    std::string name;
};

// A node the run added or changed whose module data is written at the end of the run
// (UpdateCustomData): identity nodes, the message root and message-store nodes.
struct TavOeActualNode {
    std::string sourcePath;
    std::string name;  // for an identity: its display name
    std::string identifier;
    uint32_t tag = 0;
    uint32_t nodeId = TAV_NONE;
    std::string tempPath;  // the chunk-table file; empty when none
    uint32_t fingerprint[4] = {};
};

// The counters of a backup run, in the order of the engines' backup accounts.
struct TavOeBackupAccount {
    uint32_t added = 0;
    uint32_t updated = 0;
    uint32_t deleted = 0;
    uint32_t skipped = 0;
    uint32_t errors = 0;
};

// Backs up, below the module root "oert" ("Outlook Express"), one node "oeid" per identity
// of the job (named by its identifier, its display name in an identity record); below it a
// message root "<msgroot>" with one node per ".dbx" file that "folders.dbx" lists (stored
// as a table of 32 KiB chunks, each chunk a content block of its own, so that a changed
// file stores only its changed chunks; a folder record as module data) and one node "oeit"
// per settings item (an export of its key of the settings store). Nodes of the previous
// baseline that the run does not meet again are deleted.
//
// One engine serves one run at a time on the caller's thread; CancelOperation may come
// from another thread. Release it with Dispose.
class CTavOeEngine : public CTavEngine, public CTavRepositoryObserver {
public:
    CTavOeEngine();
    ~CTavOeEngine() override;

    // 1 when the backup ran to its end without cancel. An unreadable job, a repository
    // that fails or throws: state 3 and 0. Cancelled: state 2 and 0.
    int32_t Backup(const std::string& jobXml, CTavRepository* repository,
                   CTavRepBaselineDetails* baseline) override;
    int32_t Restore(const std::string& requestXml, CTavRepository* repository) override;
    void CancelOperation() override;
    int32_t ContinueChecksum() override;

    // Repository observer: progress of stored content (0 once cancelled) and its errors.
    int32_t OnRepProgress(const char* path, TavPosition position, uint32_t percent) override;
    void OnRepError(const char* path, const char* message) override;

    // --- identities and settings (also used by restore and the views) ---
    static int GetIdenName(const std::string& identifier, std::string& name);
    static int OpenOeKey(const std::string& identifier, plat::CRegistry& key);
    static int GetOeDir(const std::string& identifier, std::string& directory);
    static int ExportReg(const std::string& file, const std::string& key);

    // "<identifier>.<tag as %08X>.<name in lower case>"; the engine's maps compare these
    // keys without regard to letter case.
    static std::string MakeNodeKey(const std::string& identifier, uint32_t tag,
                                   const std::string& name);
    // The local time as asctime writes it, without its line feed.
    static std::string LocalTimeText();

    const TavOeBackupAccount& GetBackupAccount() const { return m_account; }

protected:
    using ExistingList = std::map<std::string, TavOeExistingNode, COeCaseLess>;
    using ActualList = std::map<std::string, TavOeActualNode, COeCaseLess>;
    using FolderMap = std::map<std::string, OeFolderRecord, COeCaseLess>;

    // --- backup steps, in the order DoBackup runs them ---
    void DoBackup();
    void PrepareBackup();
    void ClearBackup();
    void PrepareExistingList();
    // One "identity" element of the job: skipped, or its node, message files and settings.
    void BackupIdentity(TavNodeRec& root, const std::string& identifier);
    // The identity node under the module root, found or added; false when it cannot be.
    bool BackupIden(TavNodeRec& root, const std::string& identifier,
                    const std::string& displayName, TavNodeRec& identityNode);
    void PrepareMsgFolders(const std::string& identifier, const std::string& storeDirectory);
    // Backs up one listed file of the store folder. The node id added or updated, or
    // TAV_NONE when the file was not stored (not listed, unchanged, empty or failed).
    uint32_t BackupMsg(TavNodeRec& identityNode, const std::string& identifier,
                       const std::string& storeDirectory, const TavFindData& findData);
    uint32_t DoBackupMsg(const std::string& fullPath, const std::string& identifier,
                         uint32_t parentId, const TavFindData& findData);
    uint32_t DoUpdateMsg(const std::string& fullPath, const std::string& identifier,
                         TavNodeRec& node, const TavFindData& findData);
    void BackupItem(TavNodeRec& identityNode, const std::string& identifier,
                    const std::string& exportFile, const std::string& itemName);
    void UpdateCustomData();

    // --- helpers ---
    // The first child of `parent` with this tag and name (letter case ignored); with
    // `deep`, children of other tags are searched too. Deleted nodes are passed over.
    bool SeekBaselineNode(const TavNodeRec& parent, uint32_t tag, const std::string& name,
                          bool deep, TavNodeRec& found);
    void RemoveFromExistList(const std::string& identifier, uint32_t tag, const std::string& name);
    void CreateExistingNode(const std::string& identifier, uint32_t tag, const std::string& name,
                            uint32_t nodeId);
    void CreateActualNode(const std::string& key, TavOeActualNode node);
    void AddFoldersStructureInfo(const std::string& identifier, const std::string& dbxName,
                                 const std::string& title);
    // Adds a node under `parent` and reloads `parent`, so that later searches under it
    // find the new child. TAV_NONE on failure.
    uint32_t AddChildNode(TavNodeRec& parent, uint32_t tag, const TavFindData& findData,
                          const char* sourcePath, uint32_t chunkSize);
    std::string BuildStartBackupLog() const;
    std::string BuildFinishBackupLog() const;
    // Deletes from the baseline every node still on the existing list (counted deleted).
    void DeleteLeftNodes();
    // The path of the folder list of a store folder: "folders.dbx", or the entry whose name
    // matches it without regard to letter case (Outlook Express writes "Folders.dbx");
    // empty when there is none.
    static std::string FindFoldersFile(const std::string& storeDirectory);
    // Stores a chunk-table file as content and checks that every byte of it was stored;
    // {0, 0} on failure.
    TavPosition StoreChunkTable(const std::string& tablePath);

    // Logs a text and remembers whether the log now stands at a line's end.
    void Log(const std::string& text);
    // Ends the line that "Add"/"Update" opened, when nothing else has.
    void EndItemLine(bool stored);
    // Logs `why` and marks the run as failed (the repository cannot be written, the
    // temporary folder cannot be made): it stops as a cancel does, and Backup answers 0
    // with state 3, so that the caller rolls the run back.
    void FailRun(const std::string& why);
    bool Stopped() const { return m_cancel.load() != 0 || m_runFailed; }

    // --- state ---
    std::string m_tempDir;  // ends with '/'
    std::atomic<uint32_t> m_cancel{0};
    CTavRepository* m_repository = nullptr;
    CTavRepBaselineDetails* m_baseline = nullptr;
    std::unique_ptr<CTavJobOeHelper> m_jobHelper;
    TavOeBackupAccount m_account;
    uint32_t m_command = 0;
    uint32_t m_encoding = 0;
    std::set<uint32_t> m_excludedIds;  // restore
    ExistingList m_existing;
    ActualList m_actual;
    FolderMap m_folders;
    std::string m_targetDir;  // restore
    bool m_runFailed = false;
    bool m_atLineEnd = true;
    std::set<std::string, COeCaseLess> m_identitiesDone;  // identities met in this run

private:
    // Reads the store file into the chunk table file; shared by DoBackupMsg and
    // DoUpdateMsg. `previous` is the earlier table (null for none).
    enum class ChunkResult { Stored, Empty, Failed, Stopped };
    ChunkResult StoreChunks(plat::CFile& source, const std::string& fullPath, uint64_t size,
                            const std::string& tablePath, plat::CFile* previous,
                            uint32_t fingerprint[4]);
    // Writes the node's stored chunk table to `path`; false when the file cannot be written
    // (a table that cannot be read back only leaves the file shorter).
    bool WritePreviousTable(const TavNodeRec& node, const std::string& path);
    // Logs an open failure of a store file by its system error.
    void LogOpenError(uint32_t error);
    std::string TempFilePath(const char* format, const std::string& identifier,
                             const std::string& fileName) const;
};
