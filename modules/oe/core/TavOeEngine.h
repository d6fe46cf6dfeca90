// CTavOeEngine: the Outlook Express module's engine (backup of identities, restore).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/OeIdentityMapping.h"
#include "core/OeRecords.h"
#include "core/OeRestoreRequest.h"
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

// The counters of a restore run, in the order of the engines' restore accounts.
struct TavOeRestoreAccount {
    uint32_t succeeded = 0;
    uint32_t overwritten = 0;
    uint32_t upToDate = 0;
    uint32_t errors = 0;
};

// Asked by PreRestoreProcess to let the user confirm the identity mapping (the mapping
// dialog): 1 for OK, 0 for Cancel. It calls COeIdentityMapping::Confirm on OK and keeps
// asking while that fails. It must not throw; a throw counts as Cancel.
using OeMapIdentityPrompt = std::function<int(COeIdentityMapping& mapping)>;

// Backs up, below the module root "oert" ("Outlook Express"), one node "oeid" per identity
// of the job (named by its identifier, its display name in an identity record); below it a
// message root "<msgroot>" with one node per ".dbx" file that "folders.dbx" lists (stored
// as a table of 32 KiB chunks, each chunk a content block of its own, so that a changed
// file stores only its changed chunks; a folder record as module data) and one node "oeit"
// per settings item (an export of its key of the settings store). Nodes of the previous
// baseline that the run does not meet again are deleted.
//
// Restore (PreRestoreProcess, then Restore) reads a request "tav-restore". Without "node"
// elements it restores in place: each backed-up identity goes to the identity of this
// machine that the confirmed mapping names (its own identifier when there is none), its
// store files into that identity's store folder and its settings, rewritten to that
// identifier, into the settings store. With a location it writes files there instead and
// imports nothing: the nodes the request lists, or (without "node" elements) every
// identity as a folder named by its identifier. A restored file replaces an existing one
// only when it was written completely (and verified, when asked). Stored names that are no
// plain file name are refused.
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
    // Restores what the request names from its baseline. 1 when the run ended without cancel
    // and the work it was given was done (failed files are logged and counted); 0 for an
    // unreadable request or baseline (state 3, nothing logged), a node-list restore whose
    // node failed (state 3) or a cancel (state 2).
    int32_t Restore(const std::string& requestXml, CTavRepository* repository) override;
    // Lets the user map the backed-up identities of an in-place restore to identities of
    // this machine: presets from MapUid and equal identifiers, then the request's own
    // "identity-map" entries, then the installed prompt; without a prompt the mapping is
    // taken as it stands when it is complete. 1 to go on (the confirmed mapping is kept in
    // MapUid and for this engine's Restore), 0 to abandon (an unreadable request or
    // baseline, an entry naming an unknown identity, Cancel, or an incomplete mapping
    // without a prompt, which is logged). A restore into a location needs no mapping: 1.
    int32_t PreRestoreProcess(const std::string& requestXml, CTavRepository* repository) override;
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
    const TavOeRestoreAccount& GetRestoreAccount() const { return m_restoreAccount; }

    // The mapping the user confirmed last (backed-up identifier -> identifier here); it
    // presets the next mapping and lives as long as the module is loaded.
    static OeUidMap MapUid;
    // Installs the prompt PreRestoreProcess asks (null: none); the module's dialog installs
    // itself here.
    static void SetMapIdentityPrompt(OeMapIdentityPrompt prompt);

    // The path of the folder list of a store folder: "folders.dbx", or the entry whose name
    // matches it without regard to letter case (Outlook Express writes "Folders.dbx");
    // empty when there is none.
    static std::string FindFoldersFile(const std::string& storeDirectory);
    // Percent of a file done after `done` of `size` bytes: 100 for a file below 100 bytes,
    // else (done + size / 200) / (size / 100), never above 100.
    static uint32_t ChunkPercent(uint64_t done, uint64_t size);

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
    // Stores a chunk-table file as content and checks that every byte of it was stored;
    // {0, 0} on failure.
    TavPosition StoreChunkTable(const std::string& tablePath);

    // --- restore steps ---
    // PreRestoreProcess without its guard against exceptions.
    int32_t DoPreRestore(const std::string& requestXml, CTavRepository* repository);
    // In place: every identity that is not excluded, through the mapping. 0 when the
    // baseline has no module root.
    int DoRestore();
    // Everything that is not excluded into the location, one folder per identity (a request
    // with a location and no nodes). 0 when the baseline has no module root or the location
    // cannot be made.
    int DoRestoreTo();
    // One node of a node-list restore, written into the location. 0 when it failed.
    int DoRestoreNode(const TavNodeRec& node);
    // The location exists (made when missing); logged and false when there is none or it
    // cannot be made.
    bool EnsureLocation();
    // One identity (and what is not excluded below it) as a folder of the location.
    int RestoreIdentityTo(const std::string& directory, const TavNodeRec& identity);
    // The store files of a message root into `directory` (ending with '/'); 0 if any failed.
    int RestoreMsgFolder(const std::string& directory, const TavNodeRec& messageRoot);
    // One store file into `directory` (ending with '/'): 1 written or up to date, 0 failed.
    int RestoreMsg(const std::string& directory, const TavNodeRec& node);
    // Imports one settings item into the settings store, rewritten from `identifier` to
    // `target` (null: the identity keeps its identifier).
    int RestoreItem(const TavNodeRec& node, const std::string& identifier,
                    const std::string* target);
    // Writes the node's content to `file` (replacing it only when complete). 1 or 0.
    int RestoreReg(const std::string& file, const TavNodeRec& node);
    // A settings item into the location as "<name>.reg", counted.
    int RestoreItemFile(const std::string& directory, const TavNodeRec& node);
    std::string BuildStartRestoreLog() const;
    std::string BuildFinishRestoreLog() const;
    // The children of a node in sibling order, without deleted and excluded ones; a chain
    // that loops ends where it comes back.
    std::vector<TavNodeRec> RestoreChildren(const TavNodeRec& parent);
    bool IsExcluded(uint32_t id) const { return m_excludedIds.count(id) != 0; }
    // The node's name, checked to be a plain file name; logged and counted when it is not.
    bool PlainNodeName(const TavNodeRec& node, std::string& name);
    // Backed-up identity -> target of the in-place restore, when none was confirmed.
    OeUidMap UnconfirmedMapping(const TavNodeRec& root);
    // The backed-up identities below the module root (display names from their records).
    std::vector<OeIdentity> BackedUpIdentities(const TavNodeRec& root);
    // Starts a line of its own when the log stands inside one.
    void StartLine();

    // Logs a text and remembers whether the log now stands at a line's end.
    void Log(const std::string& text);
    // True while a dry run (TAV_RS_DRY_RUN) works out what a restore would write.
    bool DryRun() const;
    void WriteLog(const std::string& text) override { Log(text); }
    // Ends the line that "Add"/"Update" opened, when nothing else has.
    void EndItemLine(bool stored);
    // Counts one item in error and tells the observer which and why (the log has named it).
    void ItemError(const std::string& item, const std::string& reason);
    // Keeps the identity's message nodes of the previous run (its store folder cannot be
    // read now): they are not deleted at the end of the run.
    void KeepMessageNodes(const std::string& identifier);
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
    std::string m_targetDir;  // restore: the location, ending with '/'; empty for none
    TavOeRestoreAccount m_restoreAccount;
    OeRestoreRequest m_request;
    OeUidMap m_confirmedMap;  // the mapping PreRestoreProcess confirmed for this engine
    bool m_mappingConfirmed = false;
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
    // Logs an open failure of a store file by its system error; counted as an item in error.
    void LogOpenError(const std::string& fullPath, uint32_t error);
    std::string TempFilePath(const char* format, const std::string& identifier,
                             const std::string& fileName) const;
};
