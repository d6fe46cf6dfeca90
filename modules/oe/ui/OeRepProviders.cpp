// Outlook Express items of the repository tree.
#include "OeRepProviders.h"

#include "core/OeTexts.h"
#include "tavrep/BaselineDetails.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"
#include "tavui/TavImageList.h"

namespace {
constexpr uint32_t MAX_CHILDREN = 1u << 20;
constexpr uint32_t MESSAGES_FOLDER_ID = 1;

std::string NameOf(const TavNodeRec& node) { return Utf16FieldToUtf8(node.name, NODE_NAME_CHARS); }

TavNodeRec* Copy(const TavNodeRec& node) {
    TavNodeRec* copy = CTavRepository::CreateNode();
    *copy = node;
    return copy;
}
}  // namespace

std::vector<TavNodeRec> COeRepProvider::StoredChildren(const TavNodeRec& node) const {
    std::vector<TavNodeRec> children;
    if (m_baseline == nullptr) return children;
    uint32_t id = node.firstChildId;
    TavNodeRec child;
    while (id != TAV_NONE && children.size() < MAX_CHILDREN && m_baseline->LoadNode(child, id) == 1) {
        if ((child.flags & NODE_DELETED) == 0) children.push_back(child);
        if (child.nextSiblingId == id) break;
        id = child.nextSiblingId;
    }
    return children;
}

std::vector<uint8_t> COeRepProvider::Extra(const TavNodeRec& node) const {
    if (m_repository == nullptr || node.extra.offset == 0) return {};
    try {
        CTavRepContent* content = m_repository->GetContent(node.extra);
        if (content == nullptr) return {};
        std::vector<uint8_t> data = content->data;
        content->Dispose();
        return data;
    } catch (CTavException* e) {
        e->Delete();
        return {};
    }
}

COeRepRoot::COeRepRoot(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline)
    : COeRepProvider(node, repository, baseline) {
    SetKind(TLC_KIND_FOLDER);
    SetName(NameOf(*node));
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
}

int COeRepRoot::GetChildren(CTlcChildSink& sink) {
    for (const TavNodeRec& child : StoredChildren(*m_node))
        if (child.moduleId == OE_TAG_IDENTITY)
            sink.TreeInsertChild(this, new COeRepIdentity(Copy(child), m_repository, m_baseline));
    sink.ChildrenDone(this);
    return 1;
}

int COeRepRoot::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 2;
    if (index < 0 || index > 1) return 0;
    *column = index == 0 ? TlcColumn{"Name", 150, false} : TlcColumn{"ID", 300, false};
    return 1;
}

std::vector<std::string> COeRepRoot::RenderChildRow(const CTlcDataProvider& child) const {
    const auto* identity = dynamic_cast<const COeRepIdentity*>(&child);
    return {child.Name(), identity != nullptr ? identity->Identifier() : std::string()};
}

COeRepIdentity::COeRepIdentity(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline)
    : COeRepProvider(node, repository, baseline), m_identifier(NameOf(*node)) {
    SetKind(TLC_KIND_FOLDER);
    const std::vector<uint8_t> extra = Extra(*node);
    const auto record = DecodeIdentityRecord(extra.data(), extra.size());
    SetName(record && !record->displayName.empty() ? record->displayName : m_identifier);
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
}

int COeRepIdentity::GetChildren(CTlcChildSink& sink) {
    for (const TavNodeRec& child : StoredChildren(*m_node)) {
        if (child.moduleId == OE_TAG_MESSAGE && NameOf(child) == oetext::MSGROOT_NODE_NAME) {
            OeFolderRecord messages;
            messages.folderId = MESSAGES_FOLDER_ID;
            messages.name = "Messages";
            sink.TreeInsertChild(this, new COeRepGroup(Copy(child), child, messages, m_repository, m_baseline));
        } else if (child.moduleId == OE_TAG_ITEM) {
            sink.TreeInsertChild(this, new COeRepItem(Copy(child), m_repository, m_baseline));
        }
    }
    sink.ChildrenDone(this);
    return 1;
}

int COeRepIdentity::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 1;
    if (index != 0) return 0;
    *column = {"Items", 200, false};
    return 1;
}

COeRepGroup::COeRepGroup(TavNodeRec* node, const TavNodeRec& msgroot, OeFolderRecord record,
                         CTavRepository* repository, CTavRepBaselineDetails* baseline)
    : COeRepProvider(node, repository, baseline), m_msgroot(msgroot), m_record(std::move(record)) {
    SetKind(TLC_KIND_FOLDER);
    SetName(m_record.name.empty() ? NameOf(*node) : m_record.name);
    SetIcons(tavui::CTavImageList::FOLDER_ICON, tavui::CTavImageList::OPEN_FOLDER_ICON);
}

int COeRepGroup::GetChildren(CTlcChildSink& sink) {
    for (const TavNodeRec& child : StoredChildren(m_msgroot)) {
        const std::vector<uint8_t> extra = Extra(child);
        const auto record = DecodeFolderRecord(extra.data(), extra.size());
        if (!record || record->parentId != m_record.folderId || record->folderId == m_record.folderId) continue;
        sink.TreeInsertChild(this, new COeRepGroup(Copy(child), m_msgroot, *record, m_repository, m_baseline));
    }
    sink.ChildrenDone(this);
    return 1;
}

int COeRepGroup::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 2;
    if (index < 0 || index > 1) return 0;
    *column = index == 0 ? TlcColumn{"Fields", 100, false} : TlcColumn{"Values", 250, false};
    return 1;
}

std::vector<std::vector<std::string>> COeRepGroup::GetDetailRows() const {
    return {{"Folder Name", m_record.name},
            {"Folder ID", std::to_string(m_record.folderId)},
            {"Message Count", std::to_string(m_record.messages)},
            {"Unread Messages", std::to_string(m_record.unread)},
            {"Folder Status", m_record.active == 1 ? "Active" : "Inactive"},
            {"Dbx Filename", NameOf(*m_node)}};
}

COeRepItem::COeRepItem(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline)
    : COeRepProvider(node, repository, baseline) {
    SetKind(TLC_KIND_FILE);
    SetName(NameOf(*node));
}

bool OeCanViewDbx(const CTlcDataProvider* provider) {
    const auto* group = dynamic_cast<const COeRepGroup*>(provider);
    return group != nullptr && group->Record().folderId > 1;
}

bool OeCanExtract(const CTlcDataProvider* provider) {
    return dynamic_cast<const COeRepItem*>(provider) != nullptr || OeCanViewDbx(provider);
}
