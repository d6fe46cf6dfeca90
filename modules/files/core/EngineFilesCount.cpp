// CTavEngineFiles backup: counting a run's work before anything is stored, so that a
// progress display knows its totals from the start. The count walks the sources as the run
// will, compares each entry with the previous items the same way (WillStoreContent), and
// keeps each folder's listing and previous items for the walk, which then neither lists the
// folder nor loads its items again: with the count the run does hardly more work than
// without it.
#include <algorithm>
#include <cstring>

#include "platform/Utf8.h"
#include "platform/TextFormat.h"
#include "core/EngineFilesItems.h"
#include "core/FileFilter.h"
#include "core/PathText.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "tavengine/TavWords.h"

namespace {

// What the count keeps for the walk: some 15 MB for 50,000 files. The rest of a larger tree
// is counted all the same, and listed and loaded again when the walk gets there.
constexpr size_t MAX_KEPT_BYTES = size_t(64) << 20;
// Rough heap cost of one listed entry and of one previous item with its name in the index.
constexpr size_t ENTRY_BYTES = sizeof(TavFindData) + 48;
constexpr size_t CHILD_BYTES = sizeof(TavNodeRec) - sizeof(TavNodeRec::name) + 4 + 48;

}  // namespace

void CTavEngineFiles::CCountedFolder::Keep(const TavNodeRec& node) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&node);
    std::array<uint8_t, REST_BYTES>& rest = nodes.emplace_back();
    std::memcpy(rest.data(), bytes, NAME_AT);
    std::memcpy(rest.data() + NAME_AT, bytes + NAME_AT + NAME_BYTES, REST_BYTES - NAME_AT);
    size_t length = NODE_NAME_CHARS;
    while (length > 0 && node.name[length - 1] == 0) --length;
    names.append(node.name, length);
    nameEnds.push_back(uint32_t(names.size()));
}

void CTavEngineFiles::CCountedFolder::Restore(size_t i, TavNodeRec& node) const {
    auto* bytes = reinterpret_cast<uint8_t*>(&node);
    std::memcpy(bytes, nodes[i].data(), NAME_AT);
    std::memcpy(bytes + NAME_AT + NAME_BYTES, nodes[i].data() + NAME_AT, REST_BYTES - NAME_AT);
    const size_t start = i == 0 ? 0 : nameEnds[i - 1];
    std::fill(std::begin(node.name), std::end(node.name), char16_t(0));
    std::copy(names.begin() + long(start), names.begin() + long(nameEnds[i]), node.name);
}

// A damaged table never makes this loop endless.
void CTavEngineFiles::LoadPreviousItems(const TavNodeRec& parent, std::vector<CChild>& children,
                                        std::unordered_map<std::string, size_t>& byName) {
    int32_t budget = m_baseline->count;
    CChild child;
    for (uint32_t id = parent.firstChildId; id != TAV_NONE && budget-- > 0;
         id = child.node.nextSiblingId) {
        if (!m_baseline->LoadNode(child.node, id)) break;
        if (child.node.flags & NODE_DELETED) continue;
        byName.emplace(Utf16FieldToUtf8(child.node.name, NODE_NAME_CHARS), children.size());
        children.push_back(child);
    }
}

void CTavEngineFiles::CountWork(uint32_t rootId, const std::vector<CSource>& sources) {
    m_counted.clear();
    m_keptBytes = 0;
    m_done = TavRunWork{};
    BeginWorkCount();
    std::vector<CChild> previous;
    std::unordered_map<std::string, size_t> byPath;
    TavNodeRec root;
    if (m_baseline->LoadNode(root, rootId)) LoadPreviousItems(root, previous, byPath);
    TavRunWork total;
    for (const CSource& source : sources) {
        if (IsCancelled()) return;
        TavFindData found;
        if (!plat::GetFindData(source.path, found) || found.kind == TavFileKind::Other) continue;
        const auto it = byPath.find(source.path);
        const TavNodeRec* node = it == byPath.end() ? nullptr : &previous[it->second].node;
        const bool wasFolder = node != nullptr && (node->flags & NODE_DIRECTORY) != 0;
        if (found.kind == TavFileKind::Directory) {
            // A folder that was a file before is stored anew.
            CountFolder(wasFolder ? node->nodeId : TAV_NONE, source.path, nullptr, total);
        } else if (node == nullptr || wasFolder || CheckUpToDate(*node, found, m_word)) {
            // A source file without a previous file is always stored.
            ++total.files;
            total.bytes += found.Size();
        }
    }
    if (!IsCancelled()) SetWorkTotal(total);
}

void CTavEngineFiles::CountFolder(uint32_t nodeId, const std::string& folder,
                                  const TavFileFilter* parentFilter, TavRunWork& total) {
    if (IsCancelled()) return;
    // The filter in force, as DescendInto chooses it.
    const std::unique_ptr<TavFileFilter> own = TavFileFilter::Of(*m_selection, folder);
    const TavFileFilter* filter =
        own ? own.get()
            : (parentFilter != nullptr && parentFilter->recursive ? parentFilter : nullptr);
    auto kept = std::make_unique<CCountedFolder>();
    CCountedFolder& counted = *kept;
    counted.nodeId = nodeId;
    std::vector<TavFindData>& entries = counted.entries;
    if (!plat::ListDirectory(folder, entries)) return;  // the walk lists it again and says why
    std::vector<CChild> children;
    std::unordered_map<std::string, size_t> byName;
    TavNodeRec parent;
    if (nodeId != TAV_NONE && m_baseline->LoadNode(parent, nodeId))
        LoadPreviousItems(parent, children, byName);
    else
        counted.nodeId = TAV_NONE;  // no items: the walk uses them only for a node without any
    const int allSelected = AllSelected(folder);

    for (const TavFindData& entry : entries) {
        if (entry.kind == TavFileKind::Other) continue;
        const std::string path = filespath::Join(folder, entry.name);
        const auto it = byName.find(entry.name);
        const TavNodeRec* node = it == byName.end() ? nullptr : &children[it->second].node;
        if (entry.kind != TavFileKind::Directory) {
            if (WillStoreContent(entry, path, allSelected, filter, node)) {
                ++total.files;
                total.bytes += entry.Size();
            }
            continue;
        }
        if (IsExcluded(path, true) || !plat::IsValidUtf8(entry.name) ||
            entry.name.size() > NODE_NAME_MAX_UTF8)
            continue;
        if (node == nullptr) {
            if (ShouldAddNew(path, allSelected)) CountFolder(TAV_NONE, path, filter, total);
        } else if (node->flags & NODE_DIRECTORY) {
            CountFolder(node->nodeId, path, filter, total);
        } else if (CheckShouldBeAdded(path, allSelected, m_word)) {
            CountFolder(TAV_NONE, path, filter, total);  // a file before, a folder now
        }
    }
    // A progress report per folder: the display shows the count growing, and a stop asked
    // for meanwhile is heard.
    SetWorkCounted(total);
    FireOnProgress(m_progressTitle, folder, 0);
    const size_t cost = entries.size() * ENTRY_BYTES + children.size() * CHILD_BYTES;
    if (m_keptBytes + cost <= MAX_KEPT_BYTES) {
        m_keptBytes += cost;
        counted.nodes.reserve(children.size());
        for (const CChild& child : children) counted.Keep(child.node);
        m_counted.emplace(folder, std::move(kept));
    }
}

bool CTavEngineFiles::TakeFolder(const std::string& folder, const TavNodeRec& parent,
                                 std::vector<TavFindData>& entries, std::vector<CChild>& children,
                                 std::unordered_map<std::string, size_t>& byName) {
    const auto kept = m_counted.find(folder);
    if (kept == m_counted.end()) {
        LoadPreviousItems(parent, children, byName);
        return plat::ListDirectory(folder, entries);
    }
    CCountedFolder& counted = *kept->second;
    entries = std::move(counted.entries);
    // The items are the count's when the walk reached the same node, or a new one where the
    // count found none: nothing changes a folder's items before the walk gets to it.
    const bool same = counted.nodeId == parent.nodeId ||
                      (counted.nodeId == TAV_NONE && parent.firstChildId == TAV_NONE);
    if (same) {
        children.resize(counted.nodes.size());
        for (size_t i = 0; i < children.size(); ++i) {
            counted.Restore(i, children[i].node);
            byName.emplace(Utf16FieldToUtf8(children[i].node.name, NODE_NAME_CHARS), i);
        }
    }
    m_counted.erase(kept);
    if (!same) LoadPreviousItems(parent, children, byName);
    return true;
}
