// CRepoChecker: verifies a whole repository: every image opens, the baseline table is in
// order, every baseline's node table decodes and links consistently (ids and links in
// range, each item listed once under its own parent, no loops), every content chain can
// be read to its end and holds the item's size, and with read-data every fingerprint is
// recomputed and the earlier baseline tables are decoded too. Every block read is checked
// as it is decoded (CRC-32 and length of its gzip member, its size bound). Each problem is reported as one line naming where it is.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "BaselineView.h"
#include "ContentReader.h"
#include "Progress.h"
#include "RepoSession.h"

namespace tavctl {

class CRepoChecker {
public:
    using Reporter = std::function<void(const std::string& line)>;

    CRepoChecker(CRepoSession& session, bool readData, CProgress& progress, Reporter report);
    void Run();

    uint64_t Problems() const { return m_problems; }
    uint64_t Baselines() const { return m_baselines; }
    uint64_t Items() const { return m_items; }
    const ReadStats& Stats() const { return m_stats; }

private:
    // Links of one record, kept for the tree walk.
    struct Links {
        uint32_t parent = TAV_NONE;
        uint32_t firstChild = TAV_NONE;
        uint32_t nextSibling = TAV_NONE;
        uint32_t flags = 0;
        uint8_t state = 0;  // UNREAD, LOADED or VISITED
    };
    // What reading one chain (or one item's data) gave; shared by every item that
    // references the same stored content.
    struct ChainResult {
        std::string problem;
        uint64_t length = 0;
        uint32_t fingerprint[4] = {0, 0, 0, 0};
    };

    void Report(const std::string& where, const std::string& what);
    void CheckImages();
    void CheckBaselineTable();
    void CheckEarlierBaselineTables();
    void CheckBaseline(const TavBaselineHeaderRec& header, size_t index, size_t total);
    void LoadLinks(const CBaselineView& view, std::vector<Links>& links);
    void WalkFrom(const CBaselineView& view, std::vector<Links>& links, uint32_t start);
    void CheckContents(const CBaselineView& view, const std::vector<Links>& links, size_t index,
                       size_t total);
    const ChainResult& ReadContent(const TavNodeRec& node, bool extra);

    CRepoSession& m_session;
    CTavRepository& m_rep;
    bool m_readData;
    CProgress& m_progress;
    Reporter m_report;
    std::string m_baselineName;                             // "baseline N" while one is checked
    using ChainKey = std::tuple<uint32_t, uint32_t, bool>;  // image, offset, chunk table
    std::map<ChainKey, ChainResult> m_chains[2];            // [0] contents, [1] module data
    uint64_t m_start = 0;  // when the check began (monotonic milliseconds)
    uint64_t m_problems = 0;
    uint64_t m_baselines = 0;
    uint64_t m_items = 0;
    ReadStats m_stats;
};

}  // namespace tavctl
