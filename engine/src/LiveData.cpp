// MarkLiveData: what the kept baselines use, walked node by node.
#include <vector>

#include "tavengine/TavModFactory.h"
#include "tavengine/TavRetention.h"
#include "tavrep/TavRepository.h"

namespace {

struct SinkState {
    CTavLiveSet* live;
    bool ok = true;
};

void Sink(void* context, uint32_t image, uint32_t offset) {
    auto* state = static_cast<SinkState*>(context);
    if (state->ok && !state->live->AddChain({image, offset})) state->ok = false;
}

// The index of the module root each node belongs to (the node below the repository root
// whose parent is the root or none), or SIZE_MAX for the repository root.
std::vector<size_t> ModuleRoots(const std::vector<TavNodeRec>& nodes) {
    const size_t count = nodes.size();
    std::vector<size_t> root(count, SIZE_MAX - 1);  // SIZE_MAX - 1: not yet known
    auto index = [&](uint32_t id) -> size_t {
        if (id == TAV_NONE || id % NODE_REC_SIZE != 0 || id / NODE_REC_SIZE >= count) return SIZE_MAX;
        return id / NODE_REC_SIZE;
    };
    if (count > 0) root[0] = SIZE_MAX;
    std::vector<size_t> path;
    for (size_t i = 1; i < count; ++i) {
        path.clear();
        size_t at = i;
        size_t found = SIZE_MAX;
        // Up the parents; a chain longer than the table is a loop.
        while (path.size() <= count) {
            if (root[at] != SIZE_MAX - 1) {
                found = root[at];
                break;
            }
            path.push_back(at);
            const size_t parent = index(nodes[at].parentId);
            if (parent == SIZE_MAX || parent == 0) {
                found = at;
                break;
            }
            at = parent;
        }
        for (size_t p : path) root[p] = found;
    }
    return root;
}

}  // namespace

bool MarkLiveData(CTavRepository& repository, const std::vector<uint32_t>& numbers,
                  const CTavModFactory* hub, CTavLiveSet& live, std::string& error) {
    for (uint32_t number : numbers) {
        TavBaselineHeaderRec header;
        if (!repository.GetBaselineHeader(number, header)) {
            error = "baseline " + std::to_string(number) + " is not listed";
            return false;
        }
        if (!live.AddBlock({header.image, header.nodeTable})) {
            error = "baseline " + std::to_string(number) + ": node table: " + live.Error();
            return false;
        }
        // Baseline 0's tables stay together: image 0 is never cut below them.
        if (number == 0 && !live.AddTableAfter({header.image, header.nodeTable})) {
            error = "baseline 0: " + live.Error();
            return false;
        }
        std::vector<TavNodeRec> nodes;
        {
            CTavRepBaselineDetails* table = nullptr;
            try {
                table = repository.LoadBaseline(number);
            } catch (CTavException* e) {
                error = "baseline " + std::to_string(number) + ": " + e->Describe();
                e->Delete();
                return false;
            }
            const bool loaded = table != nullptr && table->LoadAllNodes(nodes);
            if (table != nullptr) table->Dispose();
            if (!loaded) {
                error = "baseline " + std::to_string(number) + ": its node table cannot be read";
                return false;
            }
        }
        const std::vector<size_t> roots = ModuleRoots(nodes);
        bool keptWhole = false;
        for (size_t i = 0; i < nodes.size(); ++i) {
            const TavNodeRec& node = nodes[i];
            if (!live.AddChain(node.content) || !live.AddChain(node.extra)) {
                error = "baseline " + std::to_string(number) + ": " + live.Error();
                return false;
            }
            if (roots[i] == SIZE_MAX || roots[i] == SIZE_MAX - 1) continue;
            const uint32_t rootId = nodes[roots[i]].moduleId;
            const TavModDesc* module = hub != nullptr ? hub->GetModDesc(rootId) : nullptr;
            if (module == nullptr || module->dataPositions == nullptr) {
                // Its data may name any block that existed when the baseline was saved.
                if (!keptWhole) live.KeepImagesUpTo(header.image);
                keptWhole = true;
                continue;
            }
            SinkState state{&live};
            if (module->dataPositions(&repository, &node, Sink, &state) == 0 || !state.ok) {
                error = "baseline " + std::to_string(number) + ": the " + module->name +
                        " data of an item cannot be read" +
                        (state.ok ? std::string() : ": " + live.Error());
                return false;
            }
        }
    }
    return true;
}
