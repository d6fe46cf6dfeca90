// Checking a repository.
#include "RepoChecker.h"

#include <algorithm>
#include <set>
#include <utility>

#include "CliCommon.h"
#include "JobFile.h"
#include "ProgressMeter.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tavrep/MD5Checksum.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

constexpr uint8_t UNREAD = 0;
constexpr uint8_t LOADED = 1;
constexpr uint8_t VISITED = 2;

uint32_t Index(uint32_t id) { return id / NODE_REC_SIZE; }

}  // namespace

CRepoChecker::CRepoChecker(CRepoSession& session, bool readData, CProgress& progress,
                           Reporter report)
    : m_session(session),
      m_rep(session.Rep()),
      m_readData(readData),
      m_progress(progress),
      m_report(std::move(report)) {}

void CRepoChecker::Report(const std::string& where, const std::string& what) {
    ++m_problems;
    m_progress.Clear();
    m_report(where.empty() ? what : where + ": " + what);
}

void CRepoChecker::Run() {
    m_start = plat::NowMillis();
    CheckImages();
    CheckBaselineTable();
    if (m_readData) CheckEarlierBaselineTables();
    const TavBaselineList* list = m_rep.GetBaselineList();
    if (list == nullptr) return;
    const std::vector<TavBaselineHeaderRec> headers = list->items;
    for (size_t i = 0; i < headers.size(); ++i) CheckBaseline(headers[i], i, headers.size());
    m_rep.ReleaseReadHandles();
    m_progress.Clear();
}

// Every image file of the series that exists must open as the image its name says and
// have a readable security block. Missing files show up where something needs them.
void CRepoChecker::CheckImages() {
    const uint32_t last = m_rep.GetCurrentImageID();
    // Whole images that unfinished runs left are named apart (they are no damage).
    std::set<uint32_t> leftovers;
    for (const TavLeftover& left : m_rep.FindLeftovers())
        if (left.keep == 0) leftovers.insert(left.image);
    for (uint32_t id = 0; last != TAV_NONE && id <= last; ++id) {
        const std::string path = m_rep.ImagePathOf(id);
        if (!plat::PathExists(path) || leftovers.count(id) != 0) continue;
        const std::string where = "image " + std::to_string(id) + " (" + path + ")";
        if (m_rep.GetImageFromID(id) == nullptr) {
            Report(where, "cannot be opened as image " + std::to_string(id) +
                              " (not an image file, another image number or unknown format)");
            continue;
        }
        try {
            m_rep.GetEntryPoint(id, 3);
        } catch (CTavException* e) {
            Report(where, "security block: " + TakeException(e));
        }
    }
    for (const TavSecurityMismatch& m : m_rep.GetSecurityMismatches())
        Report("image " + std::to_string(m.image) + " (" + m_rep.ImagePathOf(m.image) + ")",
               m.damaged ? "the security record is damaged"
                         : "the security record names another password than the other images");
}

void CRepoChecker::CheckBaselineTable() {
    for (uint32_t id : m_rep.GetNewerImages())
        Report("image " + std::to_string(id) + " (" + m_rep.ImagePathOf(id) + ")",
               "needs a newer version of Tavora; its baselines and contents were not checked");
    for (const TavPosition& entry : m_rep.GetUnreadableTables())
        if (m_rep.GetNewerImages().count(entry.image) == 0)
        Report("baseline table in image " + std::to_string(entry.image) + " (" +
                   m_rep.ImagePathOf(entry.image) + ") offset " + std::to_string(entry.offset),
               "cannot be read; the repository opens at the baselines before it and no backup "
               "runs into it until tavctl check --repair sets the damaged images aside");
    const TavBaselineList* list = m_rep.GetBaselineList();
    if (list == nullptr || list->items.empty()) {
        Report("baseline table", "holds no baselines");
        return;
    }
    for (size_t i = 1; i < list->items.size(); ++i) {
        if (list->items[i].number <= list->items[i - 1].number)
            Report("baseline table",
                   "baseline " + std::to_string(list->items[i].number) + " follows baseline " +
                       std::to_string(list->items[i - 1].number) + " (numbers must rise)");
    }
}

// Every image names the baseline table that was newest when it was last written; the older
// ones stay as fallbacks for a damaged newest one. Each is decoded (and so checked).
void CRepoChecker::CheckEarlierBaselineTables() {
    const TavBaselineList* list = m_rep.GetBaselineList();
    std::set<std::pair<uint32_t, uint32_t>> seen;
    if (list != nullptr) seen.insert({list->entryPoint.image, list->entryPoint.offset});
    for (const TavPosition& p : m_rep.GetUnreadableTables()) seen.insert({p.image, p.offset});
    const uint32_t last = m_rep.GetCurrentImageID();
    for (uint32_t id = 0; last != TAV_NONE && id <= last; ++id) {
        TavPosition entry{0, 0};
        try {
            if (m_rep.GetImageFromID(id) == nullptr) continue;
            entry = m_rep.GetEntryPoint(id, 3);
        } catch (CTavException* e) {
            TakeException(e);  // the image check above reports it
            continue;
        }
        if (entry.offset == 0 || !seen.insert({entry.image, entry.offset}).second) continue;
        CTavImage* image = entry.image <= last ? m_rep.GetImageFromID(entry.image) : nullptr;
        if (image == nullptr) continue;
        try {
            image->ReadBlock(entry.offset);
        } catch (CTavException* e) {
            Report("earlier baseline table in image " + std::to_string(entry.image) + " (" +
                       m_rep.ImagePathOf(entry.image) + ") offset " + std::to_string(entry.offset),
                   TakeException(e));
        }
    }
}

void CRepoChecker::CheckBaseline(const TavBaselineHeaderRec& header, size_t index, size_t total) {
    m_baselineName = "baseline " + std::to_string(header.number);
    ++m_baselines;
    std::string problem;
    std::unique_ptr<CBaselineView> view = m_session.LoadBaseline(header.number, problem);
    if (!view) {
        Report(m_baselineName, "node table in image " + std::to_string(header.image) + " (" +
                                   m_rep.ImagePathOf(header.image) + ") offset " +
                                   std::to_string(header.nodeTable) + ": " + problem);
        return;
    }
    if (view->Count() == 0) {
        Report(m_baselineName, "the node table is empty");
        return;
    }
    std::vector<Links> links;
    LoadLinks(*view, links);

    // Real roots first, then what deleted items left behind (a deleted folder's items stay
    // as deleted records without a parent), then whatever is left is not linked at all.
    for (uint32_t i = 0; i < links.size(); ++i)
        if (links[i].state == LOADED && links[i].parent == TAV_NONE)
            WalkFrom(*view, links, i * NODE_REC_SIZE);
    for (uint32_t i = 0; i < links.size(); ++i)
        if (links[i].state == LOADED && (links[i].flags & NODE_DELETED))
            WalkFrom(*view, links, i * NODE_REC_SIZE);
    for (uint32_t i = 0; i < links.size(); ++i) {
        if (links[i].state != LOADED) continue;
        TavNodeRec node;
        view->Load(i * NODE_REC_SIZE, node);
        Report(m_baselineName,
               view->Describe(node) + ": not linked into the tree (no root leads to it)");
        WalkFrom(*view, links, i * NODE_REC_SIZE);
    }
    CheckContents(*view, links, index, total);
}

void CRepoChecker::LoadLinks(const CBaselineView& view, std::vector<Links>& links) {
    links.assign(view.Count(), Links{});
    TavNodeRec node;
    for (uint32_t i = 0; i < links.size(); ++i) {
        const uint32_t id = i * NODE_REC_SIZE;
        if (!view.Load(id, node)) {
            Report(m_baselineName, "record " + std::to_string(i) + " (" + IdText(id) +
                                       ") cannot be read or does not carry its own id");
            continue;
        }
        Links& l = links[i];
        l.parent = node.parentId;
        l.firstChild = node.firstChildId;
        l.nextSibling = node.nextSiblingId;
        l.flags = node.flags;
        l.state = LOADED;
        auto checkLink = [&](uint32_t& link, const char* what) {
            if (link == TAV_NONE || view.IsValidId(link)) return;
            Report(m_baselineName, view.Describe(node) + ": its " + what + " link " + IdText(link) +
                                       " is outside the node table");
            link = TAV_NONE;
        };
        checkLink(l.firstChild, "first-child");
        checkLink(l.nextSibling, "next-sibling");
        // A deleted item may keep the id of a parent removed since; that is not damage.
        if (!(node.flags & NODE_DELETED)) checkLink(l.parent, "parent");
    }
}

// Marks everything below `start` visited. An item reached a second time means a loop or
// an item listed in two places; an item whose parent link names another item is listed
// under the wrong parent.
void CRepoChecker::WalkFrom(const CBaselineView& view, std::vector<Links>& links, uint32_t start) {
    if (links[Index(start)].state == VISITED) return;
    links[Index(start)].state = VISITED;
    std::vector<uint32_t> stack{start};
    TavNodeRec parent, child;
    while (!stack.empty()) {
        const uint32_t p = stack.back();
        stack.pop_back();
        for (uint32_t c = links[Index(p)].firstChild; c != TAV_NONE;
             c = links[Index(c)].nextSibling) {
            Links& l = links[Index(c)];
            if (l.state == UNREAD) break;  // already reported
            if (l.state == VISITED) {
                view.Load(p, parent);
                view.Load(c, child);
                Report(m_baselineName, view.Describe(parent) + ": its list of items reaches " +
                                           IdText(c) + " (" + NodeName(child) +
                                           ") a second time (a loop or an item listed twice)");
                break;
            }
            l.state = VISITED;
            if (l.parent != p && !(l.flags & NODE_DELETED)) {
                view.Load(p, parent);
                view.Load(c, child);
                Report(m_baselineName, view.Describe(child) + ": listed under " +
                                           view.Describe(parent) + " but its parent link is " +
                                           IdText(l.parent));
            }
            stack.push_back(c);
        }
    }
}

void CRepoChecker::CheckContents(const CBaselineView& view, const std::vector<Links>& links,
                                 size_t index, size_t total) {
    TavNodeRec node;
    for (uint32_t i = 0; i < links.size(); ++i) {
        m_progress.Update([&] {
            // The whole check's share done: whole baselines, and this one's items.
            const double done =
                (double(index) + double(i + 1) / double(links.size())) / double(total);
            const double seconds = double(plat::NowMillis() - m_start) / 1000.0;
            std::string line = plat::Format("%3d%%  ", int(done * 100)) + m_baselineName + " (" +
                               std::to_string(index + 1) + " of " + std::to_string(total) +
                               "): item " + std::to_string(i + 1) + " of " +
                               std::to_string(links.size()) + ", " + FormatBytes(m_stats.bytes) +
                               " read";
            if (seconds >= 1.0) {
                line += ", " + FormatBytes(uint64_t(double(m_stats.bytes) / seconds)) + "/s";
                if (done > 0 && done < 1)
                    line += ", " + FormatDuration(uint64_t(seconds * (1 - done) / done + 0.5)) + " left";
            }
            return line;
        });
        if (links[i].state == UNREAD || !view.Load(i * NODE_REC_SIZE, node)) continue;
        ++m_items;
        const ChainResult& content = ReadContent(node, false);
        if (!content.problem.empty()) {
            Report(m_baselineName, view.Describe(node) + ": " + content.problem);
        } else {
            const std::string problem =
                CompareWithNode(node, content.length, m_readData ? content.fingerprint : nullptr);
            if (!problem.empty()) Report(m_baselineName, view.Describe(node) + ": " + problem);
        }
        if (node.extra.offset != 0) {
            const ChainResult& extra = ReadContent(node, true);
            if (!extra.problem.empty())
                Report(m_baselineName, view.Describe(node) + ": module data: " + extra.problem);
        }
    }
}

const CRepoChecker::ChainResult& CRepoChecker::ReadContent(const TavNodeRec& node, bool extra) {
    static const ChainResult NOTHING;
    const TavPosition start = extra ? node.extra : node.content;
    const ContentLayout layout = extra ? ContentLayout::Plain : LayoutOf(node);
    if (layout == ContentLayout::None) return NOTHING;
    // The same stored content is shared by the items of every baseline that carried it
    // over; it is read once. The layout is part of the key: the same block read as a
    // chunk table gives other data.
    const ChainKey key{start.image, start.offset, layout == ContentLayout::ChunkTable};
    auto& cache = m_chains[extra ? 1 : 0];
    auto found = cache.find(key);
    if (found != cache.end()) return found->second;

    ChainResult result;
    CMD5Checksum md5;
    const DataSink sink = [&](const uint8_t* bytes, size_t count) {
        if (m_readData) md5.Update(bytes, count);
        result.length += count;
        return true;
    };
    if (extra) {
        result.problem = ReadChain(m_rep, start, sink, m_stats, true);
    } else {
        TavNodeRec probe = node;  // only the layout and position matter for reading
        result.problem = ReadItemData(m_rep, probe, m_readData, sink, m_stats, true);
    }
    if (m_readData) md5.GetHash(result.fingerprint);
    return cache.emplace(key, std::move(result)).first->second;
}

}  // namespace tavctl
