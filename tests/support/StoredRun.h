// What a run left in a repository: the newest committed baseline read node by node, and a
// restore run made the way the programs make it.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/EngineRun.h"
#include "support/RepBuilder.h"
#include "tavengine/TavEngine.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"

namespace tavtest {

// Reads the newest committed baseline of an image below one module's root.
class CBaselineReader {
public:
    CBaselineReader(const std::string& imagePath, uint32_t rootTag) : m_rootTag(rootTag) {
        Caught([&] {
            if (m_rep.Attach(imagePath, nullptr))
                m_table = m_rep.LoadBaseline(m_rep.GetLatestBaselineNumber());
        });
    }
    ~CBaselineReader() {
        if (m_table) m_table->Dispose();
    }
    CBaselineReader(const CBaselineReader&) = delete;
    CBaselineReader& operator=(const CBaselineReader&) = delete;

    bool Ok() const { return m_table != nullptr; }
    uint32_t Number() const { return m_table ? m_table->baselineNumber : TAV_NONE; }
    CTavRepository& Rep() { return m_rep; }

    std::optional<TavNodeRec> Root() {
        TavNodeRec node;
        if (!m_table || !m_table->LoadRoot(node, m_rootTag)) return std::nullopt;
        return node;
    }
    // The live children of a node in stored order (a sibling loop ends the walk).
    std::vector<TavNodeRec> Children(const TavNodeRec& parent) {
        std::vector<TavNodeRec> out;
        uint32_t id = parent.firstChildId;
        for (int guard = 0; m_table && id != TAV_NONE && guard < 100000; ++guard) {
            TavNodeRec node;
            if (!m_table->LoadNode(node, id)) break;
            if (!(node.flags & NODE_DELETED)) out.push_back(node);
            id = node.nextSiblingId;
        }
        return out;
    }
    std::optional<TavNodeRec> Child(const TavNodeRec& parent, const std::string& name) {
        for (const TavNodeRec& node : Children(parent))
            if (Name(node) == name) return node;
        return std::nullopt;
    }
    // A node below the root by the names on its way.
    std::optional<TavNodeRec> Path(const std::vector<std::string>& names) {
        std::optional<TavNodeRec> node = Root();
        for (const std::string& name : names) {
            if (!node) return std::nullopt;
            node = Child(*node, name);
        }
        return node;
    }
    std::vector<std::string> ChildNames(const std::optional<TavNodeRec>& parent) {
        std::vector<std::string> names;
        if (parent)
            for (const TavNodeRec& node : Children(*parent)) names.push_back(Name(node));
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Content(TavPosition position) { return ReadChain(m_rep, position); }
    static std::string Name(const TavNodeRec& node) {
        return Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
    }

private:
    uint32_t m_rootTag;
    CTavRepository m_rep;
    CTavRepBaselineDetails* m_table = nullptr;
};

struct RestoreRun {
    int32_t pre = -1;     // PreRestoreProcess; -1 when it was not called
    int32_t result = -1;  // Restore; -1 when it was not called
    uint32_t state = 99;
};

// PreRestoreProcess (when `pre`) and Restore of `engine` over the image, as the browser runs
// them; Restore is skipped when the first answers other than 1 and `stopAtPre`. `engine` is
// not disposed, so the caller can read its counters.
inline RestoreRun RunRestore(const std::string& imagePath, const std::string& request,
                             CTavEngine& engine, CEngineRecorder& recorder, bool pre = false,
                             bool stopAtPre = true) {
    RestoreRun out;
    CTavRepository rep;
    if (rep.Attach(imagePath, nullptr) != 1) {
        ADD_FAILURE() << "cannot attach " << imagePath;
        return out;
    }
    engine.SubscribeNotify(&recorder);
    if (pre) out.pre = engine.PreRestoreProcess(request, &rep);
    if (!pre || out.pre == 1 || !stopAtPre) {
        out.result = engine.Restore(request, &rep);
        out.state = engine.GetEngineState();
    }
    return out;
}

}  // namespace tavtest
