// Stored nodes in the tree and list.
#include "BrowserNodeProvider.h"

#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"
#include "tavrep/BaselineDetails.h"
#include "tavui/TavFormat.h"
#include "tavui/TavImageList.h"

using namespace browsertext;

namespace {
bool IsDir(const TavNodeRec& node) { return (node.attributes & TAV_ATTR_DIRECTORY) != 0; }

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

template <typename T>
int Compare(T a, T b) { return a < b ? -1 : a > b ? 1 : 0; }

// Bounds a sibling walk: a table never holds more records than this.
constexpr uint32_t MAX_SIBLINGS = 0x7FFFFFFF / NODE_REC_SIZE;
}  // namespace

CBrowserNodeProvider::CBrowserNodeProvider(TavNodeRec* node, CTavRepository* repository,
                                           CTavRepBaselineDetails* baseline)
    : CTavTlcDataRep(node, repository, baseline) {
    const bool folder = IsDir(*node);
    SetKind(folder ? TLC_KIND_FOLDER : TLC_KIND_FILE);
    SetName(Utf16FieldToUtf8(node->name, NODE_NAME_CHARS));
    auto& images = tavui::CTavImageList::Shared();
    const int icon = images.IconIndex(Name(), folder);
    SetIcons(icon, folder ? tavui::CTavImageList::OPEN_FOLDER_ICON : icon);
    m_typeName = images.TypeName(Name(), folder);
}

bool CBrowserNodeProvider::MayHaveChildren() const {
    return Kind() == TLC_KIND_FOLDER && m_node->firstChildId != TAV_NONE;
}

int CBrowserNodeProvider::GetChildren(CTlcChildSink& sink) {
    if (m_baseline == nullptr || m_node->firstChildId == TAV_NONE) {
        sink.ChildrenDone(this);
        return 1;
    }
    TavNodeRec* node = CTavRepository::CreateNode();
    if (m_baseline->LoadNode(*node, m_node->firstChildId) != 1) {
        CTavRepository::DisposeNode(node);
        sink.ChildrenDone(this);
        return 1;
    }
    uint32_t count = 0;
    while (true) {
        const uint32_t next = node->nextSiblingId;
        // Deleted nodes (a later run removed the item) are not shown.
        if ((node->flags & NODE_DELETED) == 0) {
            auto* child = new CBrowserNodeProvider(node, m_repository, m_baseline);
            sink.TreeInsertChild(this, child);
            node = CTavRepository::CreateNode();
        }
        if (next == TAV_NONE || ++count >= MAX_SIBLINGS || !sink.GoOn(this)) break;
        if (m_baseline->LoadNode(*node, next) != 1) break;
    }
    CTavRepository::DisposeNode(node);
    sink.ChildrenDone(this);
    return 1;
}

int CBrowserNodeProvider::GetListColumnInfo(int index, TlcColumn* column) const {
    static const TlcColumn COLUMNS[COLUMN_COUNT] = {
        {"Name", 150, false},          {"Size", 100, true},           {"Type", 100, false},
        {"Version", 50, true},         {"Status", 75, false},         {"Backup Date", 125, false},
        {"File Modified", 125, false}, {"Content Image", 125, false}};
    if (column == nullptr) return COLUMN_COUNT;
    if (index < 0 || index >= COLUMN_COUNT) return 0;
    *column = COLUMNS[index];
    return 1;
}

std::string CBrowserNodeProvider::StatusText(const TavNodeRec& node) {
    if ((node.flags & NODE_UNCHANGED) == 0) return (node.flags & NODE_UPDATED) ? STATUS_UPDATED : STATUS_ADDED;
    return (node.flags & NODE_DIRECTORY) ? "" : STATUS_UNCHANGED;
}

std::string CBrowserNodeProvider::ContentImageText(const TavNodeRec& node) const {
    if (IsDir(node) || m_repository == nullptr) return {};
    std::string path = m_repository->GetImagePath(node.content.image);
    if (path.empty()) CTavRepository::BuildImagePath(path, m_repository->GetCurrentRepPath(), node.content.image);
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> CBrowserNodeProvider::RenderChildRow(const CTlcDataProvider& child) const {
    const auto* rep = dynamic_cast<const CBrowserNodeProvider*>(&child);
    if (rep == nullptr) return {child.Name()};
    const TavNodeRec& node = *rep->GetNode();
    const bool folder = IsDir(node);
    return {rep->Name(),
            folder ? std::string() : tavui::SizeText(node.Size()),
            rep->TypeName(),
            std::to_string(node.updateCount),
            StatusText(node),
            tavui::LocalTimeText(node.stamp, tavui::LIST_TIME_FORMAT),
            tavui::FileTimeText(node.written, tavui::LIST_TIME_FORMAT),
            ContentImageText(node)};
}

int CBrowserNodeProvider::ListCompareProc(const CTlcDataProvider& a, const CTlcDataProvider& b,
                                          int column) const {
    const auto* pa = dynamic_cast<const CBrowserNodeProvider*>(&a);
    const auto* pb = dynamic_cast<const CBrowserNodeProvider*>(&b);
    if (pa == nullptr || pb == nullptr) return CompareNoCase(a.Name(), b.Name());
    const TavNodeRec& x = *pa->GetNode();
    const TavNodeRec& y = *pb->GetNode();
    switch (column) {
        case 1: return Compare(x.Size(), y.Size());
        case 2: return CompareNoCase(pa->TypeName(), pb->TypeName());
        case 3: return Compare(x.updateCount, y.updateCount);
        case 4: return Compare(x.flags & NODE_UPDATED, y.flags & NODE_UPDATED);
        case 5: return Compare(x.stamp, y.stamp);
        case 6: return Compare(x.written.Ticks(), y.written.Ticks());
        case 7: return Compare(x.content.image, y.content.image);
        default: return CompareNoCase(pa->Name(), pb->Name());
    }
}
