// CTavEngineFiles: a folder's previous items in a compact form, found again by name.
#include <algorithm>
#include <cstring>
#include <functional>

#include "core/EngineFilesItems.h"

namespace {
size_t HashOf(std::string_view name) { return std::hash<std::string_view>()(name); }
}  // namespace

void CTavEngineFiles::CPreviousItems::Reserve(size_t n) {
    records.reserve(n);
    nameEnds.reserve(n);
    ids.reserve(n);
    keyEnds.reserve(n);
    taken.reserve(n);
    size_t slotCount = 8;
    while (slotCount < 2 * n) slotCount *= 2;
    if (slotCount > slots.size()) {
        slots.assign(slotCount, 0);
        for (uint32_t i = 0; i < ids.size(); ++i) Index(i);
    }
}

void CTavEngineFiles::CPreviousItems::Add(const TavNodeRec& node, std::string_view name) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&node);
    std::array<uint8_t, REST_BYTES>& rest = records.emplace_back();
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
    ids.push_back(node.nodeId);
    keys.append(name);
    keyEnds.push_back(uint32_t(keys.size()));
    taken.push_back(0);
    if (2 * ids.size() > slots.size())
        Reserve(ids.size());  // indexes every item, this one too
    else
        Index(uint32_t(ids.size() - 1));
}

std::string_view CTavEngineFiles::CPreviousItems::KeyOf(size_t i) const {
    const size_t start = i == 0 ? 0 : keyEnds[i - 1];
    return std::string_view(keys).substr(start, keyEnds[i] - start);
}

// The first item of a name keeps its slot: a later one of the same name is never found.
void CTavEngineFiles::CPreviousItems::Index(uint32_t i) {
    const size_t mask = slots.size() - 1;
    const std::string_view key = KeyOf(i);
    for (size_t s = HashOf(key) & mask;; s = (s + 1) & mask) {
        if (slots[s] == 0) {
            slots[s] = i + 1;
            return;
        }
        if (KeyOf(slots[s] - 1) == key) return;
    }
}

size_t CTavEngineFiles::CPreviousItems::Find(std::string_view name) const {
    if (slots.empty()) return NONE;
    const size_t mask = slots.size() - 1;
    for (size_t s = HashOf(name) & mask; slots[s] != 0; s = (s + 1) & mask) {
        const size_t i = slots[s] - 1;
        if (KeyOf(i) == name) return taken[i] ? NONE : i;
    }
    return NONE;
}

void CTavEngineFiles::CPreviousItems::Get(size_t i, TavNodeRec& node) const {
    auto* bytes = reinterpret_cast<uint8_t*>(&node);
    std::memcpy(bytes, records[i].data(), NAME_AT);
    std::memcpy(bytes + NAME_AT + NAME_BYTES, records[i].data() + NAME_AT, REST_BYTES - NAME_AT);
    const size_t start = i == 0 ? 0 : nameEnds[i - 1];
    const size_t length = nameEnds[i] - start;
    std::copy(names.begin() + long(start), names.begin() + long(nameEnds[i]), node.name);
    std::fill(node.name + length, node.name + NODE_NAME_CHARS, char16_t(0));
}
