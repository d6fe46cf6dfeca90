// The Files and Folders part of a job in the editor's tree-list: the module root
// (CTavFilesRoot, "flrt") and the sources, folders and files below it (CTlcDataFiles,
// "file"). Their check boxes show the job's selection; StoreCheckStates (FilesSelectionSave.h)
// turns them back into selection entries.
#pragma once
#include <memory>
#include <string>

#include "core/TavJobFilesHelper.h"
#include "platform/FindData.h"
#include "tavui/TlcDataProvider.h"

class CTavFilesRoot;
class CTavJobHelper;
class CTreeListCtrl;

constexpr uint32_t FILES_ROOT_ID = 0x666C7274;  // "flrt"
constexpr uint32_t FILES_ITEM_ID = 0x66696C65;  // "file"

// Item flags.
constexpr int FILES_FLAG_FOLDER = 0x1;
constexpr int FILES_FLAG_FILTER = 0x2;
constexpr int FILES_FLAG_FILE = 0x4;

// What the root and the items share: the item's find data, path, type text and flags, the
// four list columns and their order.
class CTavFilesProvider : public CTlcDataProvider {
public:
    const std::string& FullPath() const { return m_fullPath; }
    const TavFindData& FindData() const { return m_data; }
    const std::string& TypeText() const { return m_typeText; }
    int Flags() const { return m_flags; }
    void SetFilterFlag(bool on) { m_flags = on ? (m_flags | FILES_FLAG_FILTER) : (m_flags & ~FILES_FLAG_FILTER); }
    bool IsBold() const override { return (m_flags & FILES_FLAG_FILTER) != 0; }

    int GetListColumnInfo(int index, TlcColumn* column) const override;
    std::vector<std::string> RenderChildRow(const CTlcDataProvider& child) const override;
    int ListCompareProc(const CTlcDataProvider& a, const CTlcDataProvider& b, int column) const override;

protected:
    TavFindData m_data;
    std::string m_fullPath;
    std::string m_typeText;
    int m_flags = 0;
};

// One source, folder or file.
class CTlcDataFiles : public CTavFilesProvider {
public:
    // `found`: the item's find data (false when the path cannot be read, as a source on a
    // disk that is not mounted).
    CTlcDataFiles(CTavFilesRoot* root, const std::string& fullPath, const std::string& name,
                  const TavFindData* found);
    uint32_t ProviderID() const override { return FILES_ITEM_ID; }
    int GetChildren(CTlcChildSink& sink) override;
    // Sources (the root's children) are tree items even when they are files.
    bool HasTreeItem() const override;
    void OnTreeItemStateChanged() override;
    bool Missing() const { return m_missing; }
    CTavFilesRoot* Root() const { return m_root; }

private:
    CTavFilesRoot* m_root;
    bool m_missing;
};

// The module root: owns the job's selection helper.
class CTavFilesRoot : public CTavFilesProvider {
public:
    static constexpr const char* DISPLAY_NAME = "Files and Folders";
    // `control` may be null (no window: the providers only hold their children).
    CTavFilesRoot(CTreeListCtrl* control, const XMLNode& node, CTavJobHelper* job);
    ~CTavFilesRoot() override;

    uint32_t ProviderID() const override { return FILES_ROOT_ID; }
    bool MayHaveChildren() const override { return true; }
    int GetChildren(CTlcChildSink& sink) override;
    void OnTreeItemStateChanged() override;
    // A root without children cannot be mixed: 3 becomes 2 then.
    int ConfirmTreeItemState(int state) const;

    // Adds one source as a child (with its tree item when there is a control).
    CTlcDataFiles* AddFilePathToTreeList(const std::string& path);
    // Replaces the selection by one over `node` (the job loaded again) and lists the sources
    // again.
    void Reload(const XMLNode& node, CTavJobHelper* job);

    CTavJobFilesHelper& Selection() { return *m_selection; }
    CTavJobHelper* Job() const { return m_job; }
    CTreeListCtrl* Control() const { return m_control; }
    // The job's new-file field (0x10 "Always add new files", 0x20, 0x30).
    uint32_t NewFileMode() const;
    // The check state a source of `path` takes.
    int SourceState(const std::string& path);
    // Whether an "excluded" entry lies strictly below `path`.
    bool AnyExcludedBelow(const std::string& path);
    // Whether a "partial" entry lies directly inside the folder `path`.
    bool AnyPartialInside(const std::string& path);
    void NotifyChanged();

private:
    int InitialState();
    CTreeListCtrl* m_control;
    CTavJobHelper* m_job;
    std::unique_ptr<CTavJobFilesHelper> m_selection;
};

// The provider's full path when it is one of this module's, else null.
const std::string* FilesProviderPath(const CTlcDataProvider* provider);
