// The Files and Folders job tree: listing sources and folders, their check states and
// list rows.
#include "FilesJobProviders.h"

#include <algorithm>

#include "FilesUiTexts.h"
#include "core/FilesTexts.h"
#include "platform/FileSystem.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"
#include "tavui/TavFormat.h"
#include "tavui/TavImageList.h"
#include "tavui/TreeListCtrl.h"

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The prefix every path strictly below `folder` starts with.
std::string BelowPrefix(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// Letter case ignored (ASCII), the rest byte by byte.
int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The first index position whose path is not below `prefix`'s start, over an index read
// through `at` (paths in byte order).
template <typename At>
int LowerBound(int count, const std::string& key, At at) {
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (at(mid).value_or(std::string()) < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

// --- shared columns ---

int CTavFilesProvider::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return int(std::size(filesui::COLUMNS));
    if (index < 0 || size_t(index) >= std::size(filesui::COLUMNS)) return 0;
    column->heading = filesui::COLUMNS[index].heading;
    column->width = filesui::COLUMNS[index].width;
    column->rightAligned = filesui::COLUMNS[index].right;
    return 1;
}

std::vector<std::string> CTavFilesProvider::RenderChildRow(const CTlcDataProvider& child) const {
    const auto* item = dynamic_cast<const CTavFilesProvider*>(&child);
    if (item == nullptr) return {child.Name()};
    const bool folder = (item->Flags() & FILES_FLAG_FOLDER) != 0;
    const bool missing = item->FindData().name.empty();
    return {item->Name(), folder || missing ? std::string() : tavui::SizeText(item->FindData().Size()),
            item->TypeText(), tavui::FileTimeText(item->FindData().written, tavui::LIST_TIME_FORMAT)};
}

int CTavFilesProvider::ListCompareProc(const CTlcDataProvider& a, const CTlcDataProvider& b, int column) const {
    const auto* l = dynamic_cast<const CTavFilesProvider*>(&a);
    const auto* r = dynamic_cast<const CTavFilesProvider*>(&b);
    if (l == nullptr || r == nullptr) return CompareNoCase(a.Name(), b.Name());
    const bool fl = (l->Flags() & FILES_FLAG_FOLDER) != 0, fr = (r->Flags() & FILES_FLAG_FOLDER) != 0;
    if (fl != fr) return fl ? -1 : 1;
    switch (column) {
        case 1: {
            const uint64_t x = l->FindData().Size(), y = r->FindData().Size();
            return x < y ? -1 : x > y ? 1 : 0;
        }
        case 2: return CompareNoCase(l->TypeText(), r->TypeText());
        case 3: {
            const uint64_t x = l->FindData().written.Ticks(), y = r->FindData().written.Ticks();
            return x < y ? -1 : x > y ? 1 : 0;
        }
        default: return CompareNoCase(l->Name(), r->Name());
    }
}

// --- one item ---

CTlcDataFiles::CTlcDataFiles(CTavFilesRoot* root, const std::string& fullPath, const std::string& name,
                             const TavFindData* found)
    : m_root(root), m_missing(found == nullptr) {
    m_fullPath = fullPath;
    if (found != nullptr) m_data = *found;
    SetName(name);
    // A source that cannot be read (a disk not mounted) shows as a folder without children.
    const bool folder = found == nullptr || found->kind == TavFileKind::Directory;
    SetKind(folder ? TLC_KIND_FOLDER : TLC_KIND_FILE);
    m_flags = folder ? FILES_FLAG_FOLDER : FILES_FLAG_FILE;
    auto& images = tavui::CTavImageList::Shared();
    const int icon = images.IconIndex(name, folder);
    SetIcons(icon, folder ? tavui::CTavImageList::OPEN_FOLDER_ICON : icon);
    m_typeText = found == nullptr ? filesui::TYPE_NOT_FOUND : images.TypeName(name, folder);
    if (!root->Selection().SearchInFilters(fullPath).IsEmpty()) m_flags |= FILES_FLAG_FILTER;
}

bool CTlcDataFiles::HasTreeItem() const { return Kind() == TLC_KIND_FOLDER || Parent() == m_root; }

int CTlcDataFiles::GetChildren(CTlcChildSink& sink) {
    if (Kind() != TLC_KIND_FOLDER || m_missing) {
        sink.ChildrenDone(this);
        return 1;
    }
    CTavJobFilesHelper& selection = m_root->Selection();
    if (selection.IsDirty()) selection.Sort();
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(m_fullPath, entries)) {
        sink.ChildrenDone(this);
        return 0;
    }
    const int own = CheckState();
    // Worked out once for the folder: whether its files that no entry names show cleared.
    bool newFilesCleared = false;
    if (own == TLC_PARTLY)
        newFilesCleared = m_root->NewFileMode() != TAV_COND_NEWFILE_ALWAYS && m_root->AnyPartialInside(m_fullPath);
    for (const TavFindData& entry : entries) {
        const std::string path = JoinPath(m_fullPath, entry.name);
        auto* child = new CTlcDataFiles(m_root, path, entry.name, &entry);
        int state = own;
        if (own == TLC_PARTLY) {
            if (!selection.SearchInExcludes(path).IsEmpty())
                state = TLC_UNCHECKED;
            else if (!selection.SearchInPartial(path).IsEmpty())
                state = TLC_CHECKED;
            else if (entry.kind == TavFileKind::Directory)
                state = m_root->AnyExcludedBelow(path) ? TLC_PARTLY : TLC_CHECKED;
            else
                state = newFilesCleared ? TLC_UNCHECKED : TLC_CHECKED;
        }
        child->SetCheckStateRaw(state);
        sink.TreeInsertChild(this, child);
        if (!sink.GoOn(this)) break;
    }
    sink.ChildrenDone(this);
    return 1;
}

void CTlcDataFiles::OnTreeItemStateChanged() { m_root->NotifyChanged(); }

// --- the root ---

CTavFilesRoot::CTavFilesRoot(CTreeListCtrl* control, const XMLNode& node, CTavJobHelper* job)
    : m_control(control), m_job(job), m_selection(std::make_unique<CTavJobFilesHelper>(node, job)) {
    SetName(DISPLAY_NAME);
    SetKind(TLC_KIND_FOLDER);
    m_fullPath = filestext::ROOT_PATH;
    m_flags = FILES_FLAG_FOLDER;
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
    m_typeText = "";
    SetCheckStateRaw(InitialState());
}

CTavFilesRoot::~CTavFilesRoot() {
    // The children point at the selection: they go first.
    ClearChildren();
}

int CTavFilesRoot::InitialState() {
    m_selection->Sort();
    if (!m_selection->SearchInExcludes(filestext::ROOT_PATH).IsEmpty()) return TLC_UNCHECKED;
    return m_selection->GetExcludeCount() > 0 ? TLC_PARTLY : TLC_CHECKED;
}

int CTavFilesRoot::ConfirmTreeItemState(int state) const {
    return state == TLC_PARTLY && Children().empty() ? TLC_CHECKED : state;
}

uint32_t CTavFilesRoot::NewFileMode() const {
    return m_job != nullptr ? (m_job->GetBackupCommand() & TAV_COND_NEWFILE_MASK) : TAV_COND_NEWFILE_ALWAYS;
}

bool CTavFilesRoot::AnyExcludedBelow(const std::string& path) {
    const std::string prefix = BelowPrefix(path);
    const int count = m_selection->GetExcludeCount();
    const int i = LowerBound(count, prefix, [&](int k) { return m_selection->GetExclude(k); });
    if (i >= count) return false;
    const std::string found = m_selection->GetExclude(i).value_or("");
    return found.size() > prefix.size() && found.compare(0, prefix.size(), prefix) == 0;
}

bool CTavFilesRoot::AnyPartialInside(const std::string& path) {
    const std::string prefix = BelowPrefix(path);
    const int count = m_selection->GetPartialCount();
    for (int i = LowerBound(count, prefix, [&](int k) { return m_selection->GetPartial(k); }); i < count; ++i) {
        const std::string found = m_selection->GetPartial(i).value_or("");
        if (found.compare(0, prefix.size(), prefix) != 0) break;
        if (found.size() > prefix.size() && found.find('/', prefix.size()) == std::string::npos) return true;
    }
    return false;
}

int CTavFilesRoot::SourceState(const std::string& path) {
    if (CheckState() == TLC_UNCHECKED || !m_selection->SearchInExcludes(path).IsEmpty()) return TLC_UNCHECKED;
    if (AnyExcludedBelow(path)) return TLC_PARTLY;
    return TLC_CHECKED;
}

CTlcDataFiles* CTavFilesRoot::AddFilePathToTreeList(const std::string& path) {
    TavFindData data;
    const bool found = plat::GetFindData(path, data);
    // A source shows its whole path.
    auto* child = new CTlcDataFiles(this, path, path, found ? &data : nullptr);
    child->SetCheckStateRaw(SourceState(path));
    if (m_control != nullptr)
        static_cast<CTlcChildSink*>(m_control)->TreeInsertChild(this, child);
    else
        AdoptChild(child);
    return child;
}

int CTavFilesRoot::GetChildren(CTlcChildSink& sink) {
    m_selection->Sort();
    SetCheckStateRaw(InitialState());
    int state = 0;
    for (int i = 0; i < m_selection->GetFileCount(); ++i) {
        const auto path = m_selection->GetFile(i);
        if (!path) continue;
        TavFindData data;
        const bool found = plat::GetFindData(*path, data);
        auto* child = new CTlcDataFiles(this, *path, *path, found ? &data : nullptr);
        child->SetCheckStateRaw(SourceState(*path));
        state |= child->CheckState();
        sink.TreeInsertChild(this, child);
    }
    SetCheckStateRaw(state == 0 ? TLC_CHECKED : ConfirmTreeItemState(state));
    sink.ChildrenDone(this);
    return 1;
}

void CTavFilesRoot::Reload(const XMLNode& node, CTavJobHelper* job) {
    m_job = job;
    m_selection = std::make_unique<CTavJobFilesHelper>(node, job);
    SetCheckStateRaw(InitialState());
    if (m_control != nullptr) {
        m_control->ReloadChildren(this);
    } else {
        ClearChildren();
        EnsureChildren();
    }
}

void CTavFilesRoot::OnTreeItemStateChanged() { NotifyChanged(); }

void CTavFilesRoot::NotifyChanged() {
    if (m_job != nullptr) m_job->NotifyChange(1);
}

const std::string* FilesProviderPath(const CTlcDataProvider* provider) {
    const auto* item = dynamic_cast<const CTavFilesProvider*>(provider);
    return item != nullptr ? &item->FullPath() : nullptr;
}
