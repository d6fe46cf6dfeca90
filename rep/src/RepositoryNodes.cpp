// CTavRepository: adding, updating and deleting nodes of a working table.
#include <cstring>

#include "platform/Clock.h"
#include "tavrep/TavRepository.h"

TavNodeRec* CTavRepository::CreateNode() {
    auto* node = new TavNodeRec;
    std::memset(node, 0, sizeof(*node));
    node->parentId = TAV_NONE;
    node->firstChildId = TAV_NONE;
    node->nextSiblingId = TAV_NONE;
    node->updateBaseline = TAV_NONE;
    node->stamp = plat::NowSeconds();
    return node;
}

void CTavRepository::DisposeNode(TavNodeRec* node) { delete node; }

// Stores the content an item has: a symbolic link's target text, a file's bytes, or (no
// path) one empty block. {0, 0} on failure.
TavPosition CTavRepository::StoreItemContent(const TavFindData& findData, const char* path,
                                             uint32_t chunk, CTavRepositoryObserver* observer,
                                             CMD5Checksum& md5) {
    if (findData.attributes & TAV_ATTR_REPARSE_POINT) {
        const std::string& target = findData.linkTarget;
        md5.Reset();
        md5.Update(target.data(), target.size());
        return AddContent(target.data(), uint32_t(target.size()), {0, 0});
    }
    // The node records the listed size: the chain must hold exactly that many bytes.
    if (path != nullptr) return AddFileContent(path, chunk, observer, &md5, findData.Size());
    return AddBlock(nullptr, 0, 0, BLOCK_KIND_CONTENT);
}

namespace {
void CopyFindData(TavNodeRec& node, const TavFindData& findData) {
    node.attributes = findData.attributes;
    node.created = findData.created;
    node.accessed = findData.accessed;
    node.written = findData.written;
    node.sizeHigh = findData.sizeHigh;
    node.sizeLow = findData.sizeLow;
}
}  // namespace

uint32_t CTavRepository::AddNode(CTavRepBaselineDetails* table, uint32_t parentId,
                                 uint32_t moduleId, const TavFindData* findData, const char* path,
                                 uint32_t chunkSize, TavPosition extra,
                                 CTavRepositoryObserver* observer) {
    if (table == nullptr || findData == nullptr) return TAV_NONE;
    TavNodeRec parent;
    if (!table->LoadNode(parent, parentId)) return TAV_NONE;
    const uint32_t chunk = VerifyChunkSize(chunkSize);
    CMD5Checksum md5;
    const bool directory = (findData->attributes & TAV_ATTR_DIRECTORY) != 0;
    TavPosition content{0, 0};
    if (!directory) {
        content = StoreItemContent(*findData, path, chunk, observer, md5);
        if (content.offset == 0) return TAV_NONE;
    }
    TavNodeRec* node = CreateNode();
    CopyFindData(*node, *findData);
    Utf8ToUtf16Field(findData->name, node->name, NODE_NAME_CHARS);
    node->chunkSize = chunk;
    node->content = content;
    node->extra = extra;
    node->nextSiblingId = parent.firstChildId;
    node->parentId = parentId;
    node->moduleId = moduleId;
    node->flags = NODE_TOUCHED;
    if (directory) {
        node->flags |= NODE_DIRECTORY;
    } else {
        node->flags |= NODE_HAS_FINGERPRINT;
        md5.GetHash(node->fingerprint);
    }
    const uint32_t id = table->AddNode(*node, 0);
    DisposeNode(node);
    if (id == TAV_NONE) return TAV_NONE;
    parent.firstChildId = id;
    table->UpdateNode(parent);
    return id;
}

int CTavRepository::UpdateNode(CTavRepBaselineDetails* table, TavNodeRec& node,
                               const TavFindData* findData, const char* path, TavPosition extra,
                               CTavRepositoryObserver* observer) {
    if (table == nullptr || findData == nullptr) return 0;
    CMD5Checksum md5;
    const bool directory = (findData->attributes & TAV_ATTR_DIRECTORY) != 0;
    const bool link = (findData->attributes & TAV_ATTR_REPARSE_POINT) != 0;
    bool stored = false;
    if (!directory && (path != nullptr || link)) {
        const uint32_t chunk = VerifyChunkSize(node.chunkSize);
        const TavPosition content = StoreItemContent(*findData, path, chunk, observer, md5);
        // Content that could not be stored leaves the node as it was: it keeps its earlier
        // version (and its size and times, so that the next run tries the item again).
        if (content.offset == 0) return 0;
        node.chunkSize = chunk;
        node.content = content;
        stored = true;
    }
    CopyFindData(node, *findData);
    node.extra = extra;
    const bool wasDirectory = (node.flags & NODE_DIRECTORY) != 0;
    node.flags = (node.flags & ~NODE_UNCHANGED) | NODE_UPDATED | NODE_TOUCHED;
    // The fingerprint follows the content: when no content was stored it stays as it was,
    // so it never stops matching the content the node keeps.
    if (!wasDirectory && stored) {
        md5.GetHash(node.fingerprint);
        node.flags |= NODE_HAS_FINGERPRINT;
    }
    node.updateBaseline = table->baselineNumber;
    node.stamp = plat::NowSeconds();
    node.updateCount += 1;
    return table->UpdateNode(node) != TAV_NONE ? 1 : 0;
}

int CTavRepository::DeleteNode(CTavRepBaselineDetails* table, uint32_t nodeId) {
    if (table == nullptr) return 0;
    TavNodeRec node;
    if (!table->LoadNode(node, nodeId)) return 0;
    if (node.flags & NODE_DELETED) return 1;
    node.flags |= NODE_DELETED | NODE_TOUCHED;
    return table->UpdateNode(node) != TAV_NONE ? 1 : 0;
}
