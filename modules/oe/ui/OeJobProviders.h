// The Outlook Express part of a job in the editor's tree: the module root ("oert") with
// the machine's identities ("oeid"), each with its "Messages" group and mail folders
// ("oemg", read from the identity's "folders.dbx") and its settings items ("oeit"). Check
// states come from the job's exclusions (CTavJobOeHelper) when an item is listed; the
// tree's states go back into the job only through Save.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/DbxFolderList.h"
#include "core/TavJobOeHelper.h"
#include "tavui/TavTlcDataRep.h"

class CTreeListCtrl;

constexpr uint32_t OE_JOB_ROOT = TlcTag('o', 'e', 'r', 't');
constexpr uint32_t OE_JOB_IDENTITY = TlcTag('o', 'e', 'i', 'd');
constexpr uint32_t OE_JOB_FOLDER = TlcTag('o', 'e', 'm', 'g');
constexpr uint32_t OE_JOB_ITEM = TlcTag('o', 'e', 'i', 't');
// The folder id of the "Messages" group; real folders have higher ids.
constexpr uint32_t OE_MESSAGES_FOLDER_ID = 1;

// The folders one identity's "folders.dbx" lists, read once and shared by its items.
struct COeFolderSet {
    std::string storeDirectory;  // with its trailing '/'; empty when the identity has none
    std::string foldersFile;     // empty when the store folder has no folder list
    std::vector<DbxFolderEntry> folders;
    // Why the list is missing or incomplete (shown in the "Messages" details); empty if whole.
    std::string problem;
    bool damaged = false;  // the file is there but could not be read completely
};

// Base of the four: the identity, the key and the job's exclusions (owned by the root).
class COeJobProvider : public CTlcDataProvider {
public:
    COeJobProvider(CTavJobOeHelper* helper, std::string identifier, std::string key)
        : m_helper(helper), m_identifier(std::move(identifier)), m_key(std::move(key)) {}
    const std::string& Identifier() const { return m_identifier; }
    const std::string& Key() const { return m_key; }
    CTavJobOeHelper* Helper() const { return m_helper; }
    // The editor marks the job modified; the job itself is written by Save.
    void OnTreeItemStateChanged() override;

protected:
    CTavJobOeHelper* m_helper;
    std::string m_identifier;
    std::string m_key;
};

class COeJobRoot : public COeJobProvider {
public:
    COeJobRoot(CTreeListCtrl* control, std::unique_ptr<CTavJobOeHelper> helper);
    ~COeJobRoot() override;
    uint32_t ProviderID() const override { return OE_JOB_ROOT; }
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    std::vector<std::string> RenderChildRow(const CTlcDataProvider& child) const override;
    CTreeListCtrl* Control() const { return m_control; }

    // The state the job gives the root: 2 when it names no identity, else worked out from
    // the states of the identities it shows.
    int StateFromJob() const;
    // Takes the states from the job again and forgets the listed identities (their tree
    // items too); they are listed anew when the tree needs them.
    void Load();
    // Writes the tree's check states into the job.
    void Save();

private:
    void SaveFolder(CTlcDataProvider& folder);
    std::unique_ptr<CTavJobOeHelper> m_owned;
    CTreeListCtrl* m_control;
};

class COeJobIdentity : public COeJobProvider {
public:
    COeJobIdentity(CTavJobOeHelper* helper, const std::string& identifier, const std::string& displayName);
    uint32_t ProviderID() const override { return OE_JOB_IDENTITY; }
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    int InitialCheckState(int parentState) const override;
    // The state the job gives the identity under a root in `rootState`.
    int StateFromJob(int rootState) const;
};

// The "Messages" group (folder id 1) or one mail folder.
class COeJobFolder : public COeJobProvider {
public:
    // `entry` describes the folder; the group's has folder id 1 and the name "Messages".
    COeJobFolder(CTavJobOeHelper* helper, const std::string& identifier, const std::string& key,
                 DbxFolderEntry entry, std::shared_ptr<COeFolderSet> folders, bool hasChildren);
    uint32_t ProviderID() const override { return OE_JOB_FOLDER; }
    bool MayHaveChildren() const override { return m_hasChildren; }
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    bool ShowsDetails() const override { return true; }
    std::vector<std::vector<std::string>> GetDetailRows() const override;
    int InitialCheckState(int parentState) const override;

    uint32_t FolderId() const { return m_entry.id; }
    const DbxFolderEntry& Entry() const { return m_entry; }
    std::string DbxName() const { return m_entry.fileName.value_or(""); }
    // The live store file: store folder + ".dbx" name (empty when either is missing).
    std::string StorePath() const;
    const COeFolderSet* Folders() const { return m_folders.get(); }

private:
    // Reads the identity's folder list (the group does, once); says so when it is damaged.
    void ReadFolders();
    DbxFolderEntry m_entry;
    std::shared_ptr<COeFolderSet> m_folders;
    bool m_hasChildren;
};

class COeJobItem : public COeJobProvider {
public:
    COeJobItem(CTavJobOeHelper* helper, const std::string& identifier, const std::string& name,
               const std::string& key);
    uint32_t ProviderID() const override { return OE_JOB_ITEM; }
    int InitialCheckState(int parentState) const override;
};

// Reads a store folder's folder list ("folders.dbx" in any letter case).
std::shared_ptr<COeFolderSet> ReadOeFolderSet(const std::string& storeDirectory);
