// CTavEngineFiles: a folder's previous items in the compact form the count and the walk share.
#include <algorithm>
#include <cstring>

#include "core/EngineFilesItems.h"

void CTavEngineFiles::CPreviousItems::Reserve(size_t n) {
    nodes.reserve(n);
    nameEnds.reserve(n);
    taken.reserve(n);
    byName.reserve(n);
}

void CTavEngineFiles::CPreviousItems::Add(const TavNodeRec& node, std::string name) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&node);
    std::array<uint8_t, REST_BYTES>& rest = nodes.emplace_back();
    std::memcpy(rest.data(), bytes, NAME_AT);
    std::memcpy(rest.data() + NAME_AT, bytes + NAME_AT + NAME_BYTES, REST_BYTES - NAME_AT);
    // The name up to its last non-zero unit: mostly up to its first zero, but a damaged
    // record's units after that come back too.
    static constexpr char16_t ZEROS[NODE_NAME_CHARS] = {};
    size_t length = 0;
    while (length < NODE_NAME_CHARS && node.name[length] != 0) ++length;
    if (std::memcmp(node.name + length, ZEROS, (NODE_NAME_CHARS - length) * sizeof(char16_t))) {
        length = NODE_NAME_CHARS;
        while (node.name[length - 1] == 0) --length;
    }
    names.append(node.name, length);
    nameEnds.push_back(uint32_t(names.size()));
    taken.push_back(0);
    byName.emplace(std::move(name), uint32_t(nodes.size() - 1));
}

size_t CTavEngineFiles::CPreviousItems::Find(const std::string& name) const {
    const auto it = byName.find(name);
    return it == byName.end() || taken[it->second] ? NONE : it->second;
}

void CTavEngineFiles::CPreviousItems::GetFields(size_t i, TavNodeRec& node) const {
    auto* bytes = reinterpret_cast<uint8_t*>(&node);
    std::memcpy(bytes, nodes[i].data(), NAME_AT);
    std::memcpy(bytes + NAME_AT + NAME_BYTES, nodes[i].data() + NAME_AT, REST_BYTES - NAME_AT);
}

void CTavEngineFiles::CPreviousItems::Get(size_t i, TavNodeRec& node) const {
    GetFields(i, node);
    const size_t start = i == 0 ? 0 : nameEnds[i - 1];
    const size_t length = nameEnds[i] - start;
    std::copy(names.begin() + long(start), names.begin() + long(nameEnds[i]), node.name);
    std::fill(node.name + length, node.name + NODE_NAME_CHARS, char16_t(0));
}

uint32_t CTavEngineFiles::CPreviousItems::NodeIdOf(size_t i) const {
    static_assert(offsetof(TavNodeRec, nodeId) == 0);
    uint32_t id;
    std::memcpy(&id, nodes[i].data(), sizeof id);
    return id;
}
