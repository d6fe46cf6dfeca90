// Outlook Express items of the job tree: listing and check states.
#include "OeJobProviders.h"

#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <set>

#include "core/DbxFileInput.h"
#include "core/OeIdentities.h"
#include "core/OeTexts.h"
#include "core/TavOeEngine.h"
#include "tavengine/TavJobHelper.h"
#include "tavui/Prompt.h"
#include "tavui/TavImageList.h"
#include "tavui/TreeListCtrl.h"

namespace {

constexpr const char* MESSAGES_NAME = "Messages";
// The settings items in the order the tree shows them: (name shown, job key).
constexpr std::pair<const char*, const char*> SETTINGS_CHILDREN[] = {
    {"Preference", ".Preference."},
    {"Rules", ".Rules."},
    {"Blocksenders", ".Blocksenders."},
    {"Signatures", ".Signatures."},
};
constexpr const char* NO_STORE_FOLDER = "The message store folder of this identity cannot be found.";
constexpr const char* NO_FOLDER_LIST = "The message store folder holds no folder list (folders.dbx).";
constexpr const char* CANNOT_OPEN_LIST = "Cannot open \"%s\".";
constexpr const char* DAMAGED_LIST = "\"%s\" is damaged (%s); the folders that could be read are shown.";

std::string Format(const char* pattern, const std::string& a, const std::string& b = {}) {
    std::string out;
    int which = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += which++ == 0 ? a : b;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// A search answer of the job's exclusions as a folder's or group's state.
int FolderState(int answer, int parentState) {
    if (answer == 1 || answer == 2) return TLC_UNCHECKED;
    if (answer == 4) return TLC_PARTLY;
    return parentState == TLC_UNCHECKED ? TLC_UNCHECKED : TLC_CHECKED;
}

}  // namespace

void COeJobProvider::OnTreeItemStateChanged() {
    if (m_helper != nullptr && m_helper->GetJob() != nullptr) m_helper->GetJob()->NotifyChange(1);
}

// --- root ---

COeJobRoot::COeJobRoot(CTreeListCtrl* control, std::unique_ptr<CTavJobOeHelper> helper)
    : COeJobProvider(helper.get(), {}, {}), m_owned(std::move(helper)), m_control(control) {
    SetKind(TLC_KIND_FOLDER);
    SetName(oetext::ROOT_NODE_NAME);
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
    SetCheckStateRaw(StateFromJob());
}

// The identities are released before the job model they read.
COeJobRoot::~COeJobRoot() { ClearChildren(); }

int COeJobRoot::StateFromJob() const {
    if (m_helper->GetIdentityNode(0).IsEmpty()) return TLC_CHECKED;
    // An identity the job does not name is not backed up, so it shows unchecked; the root
    // sums up what its identities show.
    bool all1 = true, all2 = true;
    for (const OeIdentity& identity : COeIdentities::EnumIdentities()) {
        const int state = COeJobIdentity(m_helper, identity.identifier, {}).StateFromJob(TLC_PARTLY);
        all1 = all1 && state == TLC_UNCHECKED;
        all2 = all2 && state == TLC_CHECKED;
    }
    return all2 ? TLC_CHECKED : all1 ? TLC_UNCHECKED : TLC_PARTLY;
}

int COeJobRoot::GetChildren(CTlcChildSink& sink) {
    for (const OeIdentity& identity : COeIdentities::EnumIdentities())
        sink.TreeInsertChild(this, new COeJobIdentity(m_helper, identity.identifier, identity.displayName));
    sink.ChildrenDone(this);
    return 1;
}

int COeJobRoot::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 2;
    if (index < 0 || index > 1) return 0;
    *column = index == 0 ? TlcColumn{"Name", 150, false} : TlcColumn{"ID", 300, false};
    return 1;
}

std::vector<std::string> COeJobRoot::RenderChildRow(const CTlcDataProvider& child) const {
    const auto* identity = dynamic_cast<const COeJobIdentity*>(&child);
    return {child.Name(), identity != nullptr ? identity->Identifier() : std::string()};
}

void COeJobRoot::Load() {
    auto* item = static_cast<QTreeWidgetItem*>(TreeItem());
    bool wasShown = false;
    if (m_control != nullptr && item != nullptr) {
        // The list and the selection may show identities about to go: they let go first,
        // and the tree's items go before their providers.
        CTlcDataProvider* shown = m_control->SelectedTreeProvider();
        wasShown = shown != nullptr && shown->TopMostParent() == this;
        if (wasShown) m_control->ClearList();
        const QSignalBlocker quiet(m_control->Tree());
        if (wasShown) m_control->Tree()->setCurrentItem(item);
        qDeleteAll(item->takeChildren());
        item->setExpanded(false);
    }
    ClearChildren();
    SetCheckStateRaw(StateFromJob());
    if (item != nullptr) {
        const QSignalBlocker quiet(item->treeWidget());
        item->setCheckState(0, CheckState() == TLC_CHECKED  ? Qt::Checked
                               : CheckState() == TLC_PARTLY ? Qt::PartiallyChecked
                                                            : Qt::Unchecked);
        item->addChild(new QTreeWidgetItem(QStringList("dummy")));
    }
    if (wasShown) {
        // Shows the root's list again.
        m_control->Tree()->setCurrentItem(nullptr);
        m_control->SelectProvider(this);
    }
}

// --- identity ---

COeJobIdentity::COeJobIdentity(CTavJobOeHelper* helper, const std::string& identifier,
                               const std::string& displayName)
    : COeJobProvider(helper, identifier, oetext::KEY_IDENTITY) {
    SetKind(TLC_KIND_FOLDER);
    SetName(displayName.empty() ? identifier : displayName);
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
}

int COeJobIdentity::StateFromJob(int rootState) const {
    if (rootState != TLC_PARTLY) return rootState;
    XMLNode element;
    if (!m_helper->GetIdentityNode(m_identifier, element)) return TLC_UNCHECKED;
    const int answer = m_helper->SearchExcludedItem(m_identifier, oetext::KEY_IDENTITY, OE_SEARCH_ALL);
    if (answer == 1 || answer == 2) return TLC_UNCHECKED;
    return answer == 4 ? TLC_PARTLY : TLC_CHECKED;
}

int COeJobIdentity::InitialCheckState(int parentState) const { return StateFromJob(parentState); }

int COeJobIdentity::GetChildren(CTlcChildSink& sink) {
    DbxFolderEntry messages;
    messages.id = OE_MESSAGES_FOLDER_ID;
    messages.name = MESSAGES_NAME;
    sink.TreeInsertChild(this, new COeJobFolder(m_helper, m_identifier, oetext::KEY_MESSAGES, messages, nullptr, true));
    for (const auto& [name, key] : SETTINGS_CHILDREN)
        sink.TreeInsertChild(this, new COeJobItem(m_helper, m_identifier, name, key));
    sink.ChildrenDone(this);
    return 1;
}

int COeJobIdentity::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 1;
    if (index != 0) return 0;
    *column = {"Items", 200, false};
    return 1;
}

// --- folders ---

std::shared_ptr<COeFolderSet> ReadOeFolderSet(const std::string& storeDirectory) {
    auto set = std::make_shared<COeFolderSet>();
    set->storeDirectory = storeDirectory;
    if (storeDirectory.empty()) {
        set->problem = NO_STORE_FOLDER;
        return set;
    }
    set->foldersFile = CTavOeEngine::FindFoldersFile(storeDirectory);
    if (set->foldersFile.empty()) {
        set->problem = NO_FOLDER_LIST;
        return set;
    }
    DbxFileInput input(set->foldersFile);
    if (!input.IsOpen()) {
        set->problem = Format(CANNOT_OPEN_LIST, set->foldersFile);
        set->damaged = true;
        return set;
    }
    DbxFolderList list = ReadDbxFolders(input);
    set->folders = std::move(list.folders);
    if (!list.error.empty()) {
        set->problem = Format(DAMAGED_LIST, set->foldersFile, list.error);
        set->damaged = true;
    }
    return set;
}

COeJobFolder::COeJobFolder(CTavJobOeHelper* helper, const std::string& identifier, const std::string& key,
                           DbxFolderEntry entry, std::shared_ptr<COeFolderSet> folders, bool hasChildren)
    : COeJobProvider(helper, identifier, key), m_entry(std::move(entry)), m_folders(std::move(folders)),
      m_hasChildren(hasChildren) {
    SetKind(TLC_KIND_FOLDER);
    SetName(m_entry.name.value_or(""));
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
}

int COeJobFolder::InitialCheckState(int parentState) const {
    return FolderState(m_helper->SearchExcludedItem(m_identifier, m_key, OE_SEARCH_ALL), parentState);
}

void COeJobFolder::ReadFolders() {
    std::string directory;
    if (!CTavOeEngine::GetOeDir(m_identifier, directory)) directory.clear();
    m_folders = ReadOeFolderSet(directory);
    if (m_folders->damaged)
        tavui::SharedPrompt().Message(nullptr, m_folders->problem, tavui::PromptIcon::Warning);
}

int COeJobFolder::GetChildren(CTlcChildSink& sink) {
    if (m_folders == nullptr) ReadFolders();
    // The ids on the way up: a damaged list whose parent links loop lists a folder once.
    std::set<uint32_t> above;
    for (CTlcDataProvider* p = this; p != nullptr; p = p->Parent())
        if (auto* folder = dynamic_cast<COeJobFolder*>(p)) above.insert(folder->FolderId());
    std::set<uint32_t> parents;
    for (const DbxFolderEntry& f : m_folders->folders) parents.insert(f.parentId);
    for (const DbxFolderEntry& f : m_folders->folders) {
        if (f.parentId != m_entry.id || !f.name || above.count(f.id) != 0) continue;
        const bool hasChildren = parents.count(f.id) != 0 && f.id != f.parentId;
        sink.TreeInsertChild(this, new COeJobFolder(m_helper, m_identifier, m_key + *f.name + ".", f,
                                                    m_folders, hasChildren));
    }
    sink.ChildrenDone(this);
    return 1;
}

int COeJobFolder::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 2;
    if (index < 0 || index > 1) return 0;
    *column = index == 0 ? TlcColumn{"Fields", 100, false} : TlcColumn{"Values", 250, false};
    return 1;
}

std::string COeJobFolder::StorePath() const {
    if (m_folders == nullptr || m_folders->storeDirectory.empty() || DbxName().empty()) return {};
    return m_folders->storeDirectory + DbxName();
}

std::vector<std::vector<std::string>> COeJobFolder::GetDetailRows() const {
    std::vector<std::vector<std::string>> rows = {
        {"Folder Name", Name()},
        {"Folder ID", std::to_string(m_entry.id)},
        {"Message Count", std::to_string(m_entry.messages)},
        {"Unread Messages", std::to_string(m_entry.unread)},
        {"Folder Status", (m_entry.flags & 1) != 0 ? "Active" : "Inactive"},
        {"Storage Path", m_folders != nullptr ? m_folders->storeDirectory + DbxName() : std::string()},
    };
    if (m_entry.id == OE_MESSAGES_FOLDER_ID && m_folders != nullptr && !m_folders->problem.empty())
        rows.push_back({"Folder List", m_folders->problem});
    return rows;
}

// --- settings items ---

COeJobItem::COeJobItem(CTavJobOeHelper* helper, const std::string& identifier, const std::string& name,
                       const std::string& key)
    : COeJobProvider(helper, identifier, key) {
    SetKind(TLC_KIND_FILE);
    SetName(name);
    SetIcons(tavui::CTavImageList::FILE_ICON, tavui::CTavImageList::FILE_ICON);
}

int COeJobItem::InitialCheckState(int parentState) const {
    if (m_helper->SearchExcludedItem(m_identifier, m_key, OE_SEARCH_EXACT | OE_SEARCH_ANCESTOR) != 0)
        return TLC_UNCHECKED;
    return parentState == TLC_UNCHECKED ? TLC_UNCHECKED : TLC_CHECKED;
}
