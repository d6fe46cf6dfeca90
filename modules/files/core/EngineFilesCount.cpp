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

// What the count keeps for the walk: some 5 MB for 50,000 files. The rest of a larger tree
// is counted all the same, and listed and loaded again when the walk gets there.
constexpr size_t MAX_KEPT_BYTES = size_t(64) << 20;
constexpr uint32_t FOLDERS_PER_REPORT = 16;

}  // namespace

// A damaged table never makes this loop endless.
void CTavEngineFiles::LoadPreviousItems(const TavNodeRec& parent, CPreviousItems& items,
                                        size_t expected) {
    int32_t budget = m_baseline->count;
    items.Reserve(std::min<size_t>(expected, size_t(std::max<int32_t>(budget, 0))));
    TavNodeRec node;
    for (uint32_t id = parent.firstChildId; id != TAV_NONE && budget-- > 0;
         id = node.nextSiblingId) {
        if (!m_baseline->LoadNode(node, id)) break;
        if (node.flags & NODE_DELETED) continue;
        items.Add(node, Utf16FieldToUtf8(node.name, NODE_NAME_CHARS));
    }
}

void CTavEngineFiles::CountWork(uint32_t rootId, const std::vector<CSource>& sources) {
    m_counted.clear();
    m_keptBytes = 0;
    m_foldersCounted = 0;
    m_done = TavRunWork{};
    BeginWorkCount();
    CPreviousItems previous;
    TavNodeRec root;
    if (m_baseline->LoadNode(root, rootId)) LoadPreviousItems(root, previous, sources.size());
    TavRunWork total;
    for (const CSource& source : sources) {
        if (IsCancelled()) return;
        TavFindData found;
        if (!plat::GetFindData(source.path, found) || found.kind == TavFileKind::Other) continue;
        TavNodeRec scratch{};
        const size_t at = previous.Find(source.path);
        const TavNodeRec* node = at == CPreviousItems::NONE ? nullptr : &scratch;
        if (node != nullptr) previous.GetFields(at, scratch);
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
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(folder, entries)) return;  // the walk lists it again and says why
    CPreviousItems& items = counted.items;
    TavNodeRec parent;
    if (nodeId != TAV_NONE && m_baseline->LoadNode(parent, nodeId))
        LoadPreviousItems(parent, items, entries.size());
    else
        counted.nodeId = TAV_NONE;  // no items: the walk uses them only for a node without any
    const int allSelected = AllSelected(folder);

    TavNodeRec scratch{};  // its name stays empty: the count compares, never names
    std::string path = filespath::Join(folder, "");  // the folder's path, then each entry's
    const size_t prefix = path.size();
    std::vector<CEntryVerdict> verdicts(entries.size());
    for (size_t e = 0; e < entries.size(); ++e) {
        const TavFindData& entry = entries[e];
        if (entry.kind == TavFileKind::Other) continue;
        path.resize(prefix);
        path.append(entry.name);
        CEntryVerdict& verdict = verdicts[e];
        verdict.check = CheckEntry(entry, path, filter);
        if (verdict.check != CEntryVerdict::CHECK_TAKEN) continue;
        const size_t at = items.Find(entry.name);
        const TavNodeRec* node = at == CPreviousItems::NONE ? nullptr : &scratch;
        if (node != nullptr) {
            items.GetFields(at, scratch);
            verdict.previous = uint32_t(at);
        }
        if (entry.kind != TavFileKind::Directory) {
            if (StoresContent(entry, path, allSelected, node)) {
                ++total.files;
                total.bytes += entry.Size();
            }
            continue;
        }
        if (node == nullptr) {
            if (ShouldAddNew(path, allSelected)) CountFolder(TAV_NONE, path, filter, total);
        } else if (node->flags & NODE_DIRECTORY) {
            CountFolder(node->nodeId, path, filter, total);
        } else if (CheckShouldBeAdded(path, allSelected, m_word)) {
            CountFolder(TAV_NONE, path, filter, total);  // a file before, a folder now
        }
    }
    // A progress report every few folders: the display shows the count growing, and a stop
    // asked for meanwhile is heard within a few listings.
    SetWorkCounted(total);
    if (m_foldersCounted++ % FOLDERS_PER_REPORT == 0) FireOnProgress(m_progressTitle, folder, 0);
    // What keeping the folder costs is known before anything is packed: a folder past the
    // budget is dropped as it is.
    const size_t cost = CCountedFolder::Cost(entries) +
                        items.Size() * CPreviousItems::SLIM_ITEM_BYTES + items.NameBytes();
    if (m_keptBytes + cost > MAX_KEPT_BYTES) return;
    m_keptBytes += cost;
    // The walk reads the records again from the table (in the order they lie there, mostly):
    // keeping only what finds them costs far less memory.
    items.Slim(*m_baseline);
    counted.Keep(entries, verdicts);
    m_counted.emplace(folder, std::move(kept));
}

bool CTavEngineFiles::TakeFolder(const std::string& folder, const TavNodeRec& parent,
                                 std::vector<TavFindData>& entries, CPreviousItems& items,
                                 std::vector<CEntryVerdict>& verdicts) {
    const auto kept = m_counted.find(folder);
    if (kept == m_counted.end()) {
        if (!plat::ListDirectory(folder, entries)) return false;  // the caller says why
        LoadPreviousItems(parent, items, entries.size());
        return true;
    }
    CCountedFolder& counted = *kept->second;
    counted.Unpack(entries, verdicts);
    // The items are the count's when the walk reached the same node, or a new one where the
    // count found none: nothing changes a folder's items before the walk gets to it.
    const bool same = counted.nodeId == parent.nodeId ||
                      (counted.nodeId == TAV_NONE && parent.firstChildId == TAV_NONE);
    if (same)
        items = std::move(counted.items);
    else
        verdicts.clear();  // they name the count's items
    m_counted.erase(kept);
    if (!same) LoadPreviousItems(parent, items, entries.size());
    return true;
}
