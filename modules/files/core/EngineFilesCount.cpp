// CTavEngineFiles backup: counting a run's work before anything is stored, so that a
// progress display knows its totals from the start. The count walks the sources as the run
// will, compares each entry with the previous items the same way (WillStoreContent), and
// keeps each folder's listing for the walk, which then does not list the folder again.
#include "platform/Utf8.h"
#include "platform/TextFormat.h"
#include "core/EngineFilesItems.h"
#include "core/FileFilter.h"
#include "core/PathText.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "tavengine/TavWords.h"

namespace {

// Listings kept for the walk: about 150 bytes an entry, so at most some 40 MB. A larger
// tree is counted whole, and the rest of it is listed again when the walk gets there.
constexpr size_t MAX_KEPT_ENTRIES = 250000;

// The items below `parent` that are not marked deleted, by name. A damaged table never
// makes this loop endless.
void LoadChildren(CTavRepBaselineDetails& baseline, uint32_t parentId, std::vector<TavNodeRec>& nodes,
                  std::unordered_map<std::string, size_t>& byName) {
    TavNodeRec parent;
    if (parentId == TAV_NONE || !baseline.LoadNode(parent, parentId)) return;
    int32_t budget = baseline.count;
    TavNodeRec child;
    for (uint32_t id = parent.firstChildId; id != TAV_NONE && budget-- > 0; id = child.nextSiblingId) {
        if (!baseline.LoadNode(child, id)) break;
        if (child.flags & NODE_DELETED) continue;
        byName.emplace(Utf16FieldToUtf8(child.name, NODE_NAME_CHARS), nodes.size());
        nodes.push_back(child);
    }
}

}  // namespace

void CTavEngineFiles::CountWork(uint32_t rootId, const std::vector<CSource>& sources) {
    m_listings.clear();
    m_keptEntries = 0;
    m_done = TavRunWork{};
    BeginWorkCount();
    std::vector<TavNodeRec> previous;
    std::unordered_map<std::string, size_t> byPath;
    LoadChildren(*m_baseline, rootId, previous, byPath);
    TavRunWork total;
    for (const CSource& source : sources) {
        if (IsCancelled()) return;
        TavFindData found;
        if (!plat::GetFindData(source.path, found) || found.kind == TavFileKind::Other) continue;
        const auto it = byPath.find(source.path);
        const TavNodeRec* node = it == byPath.end() ? nullptr : &previous[it->second];
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
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(folder, entries)) return;  // the walk lists it again and says why
    std::vector<TavNodeRec> children;
    std::unordered_map<std::string, size_t> byName;
    LoadChildren(*m_baseline, nodeId, children, byName);
    const int allSelected = AllSelected(folder);

    for (const TavFindData& entry : entries) {
        if (entry.kind == TavFileKind::Other) continue;
        const std::string path = filespath::Join(folder, entry.name);
        const auto it = byName.find(entry.name);
        const TavNodeRec* node = it == byName.end() ? nullptr : &children[it->second];
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
    if (m_keptEntries + entries.size() <= MAX_KEPT_ENTRIES) {
        m_keptEntries += entries.size();
        m_listings.emplace(folder, std::move(entries));
    }
}

bool CTavEngineFiles::TakeListing(const std::string& folder, std::vector<TavFindData>& entries) {
    const auto kept = m_listings.find(folder);
    if (kept == m_listings.end()) return plat::ListDirectory(folder, entries);
    entries = std::move(kept->second);
    m_listings.erase(kept);
    return true;
}
