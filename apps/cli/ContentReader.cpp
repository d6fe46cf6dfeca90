// Content chains and item data.
#include "ContentReader.h"

#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "BaselineView.h"
#include "CliCommon.h"
#include "RepositoryNotes.h"
#include "tavrep/MD5Checksum.h"

namespace tavctl {

namespace {

constexpr uint32_t CONTENT_KIND_MASK = ~BLOCK_NEXT_IMAGE_MASK;
constexpr uint32_t MODULE_OE_STORE = MakeFourCC('o', 'e', 'm', 'g');
constexpr size_t MAX_NAMED_DAMAGE = 5;  // damaged blocks of one chain named beside the first

std::string At(TavPosition p) {
    return "image " + std::to_string(p.image) + " offset " + std::to_string(p.offset);
}

std::string Where(TavPosition p) { return "content block at " + At(p); }

uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace


std::string ReadChain(CTavRepository& rep, TavPosition start, const DataSink& sink,
                      ReadStats& stats, bool allDamage) {
    std::unordered_set<uint64_t> seen;
    std::string first;                 // the first damaged block's problem
    std::vector<TavPosition> damaged;  // the damaged blocks behind it
    bool feeding = true;               // the sink hears the bytes until the first damage
    const auto finish = [&](std::string problem) {
        if (first.empty()) return problem;
        if (!problem.empty()) damaged.clear();  // the chain cannot be followed: say that
        std::string text = first;
        if (!damaged.empty()) {
            text += "; " + std::to_string(damaged.size()) + " more damaged block" +
                    (damaged.size() == 1 ? "" : "s") + " in the chain (";
            for (size_t i = 0; i < damaged.size() && i < MAX_NAMED_DAMAGE; ++i)
                text += (i > 0 ? ", " : "") + At(damaged[i]);
            text += damaged.size() > MAX_NAMED_DAMAGE ? ", ...)" : ")";
        }
        if (!problem.empty()) text += "; then " + problem;
        return text;
    };
    for (TavPosition p = start; p.offset != 0;) {
        if (!seen.insert((uint64_t(p.image) << 32) | p.offset).second)
            return finish("the content chain loops back to image " + std::to_string(p.image) +
                          " offset " + std::to_string(p.offset));
        if (p.image >= LAST_STARTED_IMAGE) return finish(Where(p) + ": no such image");
        CTavImage* image = rep.GetImageFromID(p.image);
        if (image == nullptr)
            return finish(Where(p) + ": image file " + rep.ImagePathOf(p.image) + " cannot be opened");
        TavBlockData block;
        try {
            block = image->ReadBlock(p.offset, TavBlockUse::Content);
        } catch (CTavException* e) {
            const std::string problem = Where(p) + ": " + TakeException(e);
            // The header may still name the next block: the rest of the chain is checked too.
            if (!allDamage || !image->ReadBlockHeader(p.offset, block) ||
                (block.kind & CONTENT_KIND_MASK) != BLOCK_KIND_CONTENT)
                return finish(problem);
            if (first.empty()) first = problem;
            else damaged.push_back(p);
            feeding = false;
            p = {block.kind & BLOCK_NEXT_IMAGE_MASK, block.link};
            continue;
        }
        if ((block.kind & CONTENT_KIND_MASK) != BLOCK_KIND_CONTENT) {
            char kind[16];
            std::snprintf(kind, sizeof(kind), "0x%08X", block.kind);
            return finish(Where(p) + ": not a content block (kind " + kind + ")");
        }
        ++stats.blocks;
        stats.bytes += block.data.size();
        if (feeding && !block.data.empty() && !sink(block.data.data(), block.data.size())) return "";
        p = {block.kind & BLOCK_NEXT_IMAGE_MASK, block.link};
    }
    return finish("");
}

ContentLayout LayoutOf(const TavNodeRec& node) {
    if (IsFolder(node) || node.content.offset == 0) return ContentLayout::None;
    if (node.moduleId == MODULE_OE_STORE) return ContentLayout::ChunkTable;
    return ContentLayout::Plain;
}

std::string ReadItemData(CTavRepository& rep, const TavNodeRec& node, bool verifyChunks,
                         const DataSink& sink, ReadStats& stats, bool allDamage) {
    const ContentLayout layout = LayoutOf(node);
    if (layout == ContentLayout::None) return "";
    if (layout == ContentLayout::Plain) return ReadChain(rep, node.content, sink, stats, allDamage);

    // A chunk table: {position, MD5 of the chunk, 16 zero bytes} per chunk, in file order.
    std::vector<uint8_t> table;
    bool tooLarge = false;
    std::string problem = ReadChain(
        rep, node.content,
        [&](const uint8_t* bytes, size_t count) {
            tooLarge = table.size() + count > MAX_CHUNK_TABLE_BYTES;
            if (!tooLarge) table.insert(table.end(), bytes, bytes + count);
            return !tooLarge;
        },
        stats);
    if (!problem.empty()) return "chunk table: " + problem;
    if (tooLarge)
        return "the chunk table is larger than " + std::to_string(MAX_CHUNK_TABLE_BYTES) + " bytes";
    if (table.size() % CHUNK_RECORD_SIZE != 0)
        return "the chunk table's length " + std::to_string(table.size()) +
               " is not a multiple of 40 bytes";
    bool feeding = true;  // the sink hears the bytes until it stops or a chunk is damaged
    std::string first;    // the first damaged chunk's problem
    std::vector<size_t> damaged;  // the damaged chunks behind it
    for (size_t i = 0; i < table.size() / CHUNK_RECORD_SIZE; ++i) {
        const uint8_t* record = table.data() + i * CHUNK_RECORD_SIZE;
        const TavPosition chunk{GetLE32(record), GetLE32(record + 4)};
        std::vector<uint8_t> bytes;
        if (chunk.offset == 0) {
            problem = "chunk " + std::to_string(i) + " has no stored content";
        } else {
            problem = ReadChain(
                rep, chunk,
                [&](const uint8_t* b, size_t count) {
                    tooLarge = bytes.size() + count > MAX_CHUNK_BYTES;
                    if (!tooLarge) bytes.insert(bytes.end(), b, b + count);
                    return !tooLarge;
                },
                stats, allDamage);
            if (!problem.empty()) problem = "chunk " + std::to_string(i) + ": " + problem;
            else if (tooLarge) problem = "chunk " + std::to_string(i) + " is longer than a chunk may be";
        }
        if (problem.empty() && verifyChunks) {
            uint8_t digest[16];
            CMD5Checksum::Hash(bytes.data(), bytes.size(), digest);
            if (std::memcmp(digest, record + 8, 16) != 0)
                problem = "chunk " + std::to_string(i) + " does not match its checksum";
        }
        if (!problem.empty()) {
            if (!allDamage) return problem;
            if (first.empty()) first = problem;
            else damaged.push_back(i);
            feeding = false;
            continue;
        }
        if (feeding && !bytes.empty() && !sink(bytes.data(), bytes.size())) {
            if (!allDamage) return "";
            feeding = false;
        }
    }
    if (first.empty() || damaged.empty()) return first;
    first += "; " + std::to_string(damaged.size()) + " more damaged chunk" + (damaged.size() == 1 ? "" : "s") + " (";
    for (size_t i = 0; i < damaged.size() && i < MAX_NAMED_DAMAGE; ++i)
        first += (i > 0 ? ", " : "") + std::to_string(damaged[i]);
    return first + (damaged.size() > MAX_NAMED_DAMAGE ? ", ...)" : ")");
}

std::string CompareWithNode(const TavNodeRec& node, uint64_t length, const uint32_t* fingerprint) {
    if (LayoutOf(node) == ContentLayout::None) {
        if (!IsFolder(node) && node.Size() != 0)
            return "no content is stored, but the item's size is " + std::to_string(node.Size());
        return "";
    }
    if (length != node.Size())
        return "the stored content holds " + std::to_string(length) +
               " bytes, the item's size is " + std::to_string(node.Size());
    if (fingerprint != nullptr && (node.flags & NODE_HAS_FINGERPRINT) &&
        std::memcmp(fingerprint, node.fingerprint, sizeof(node.fingerprint)) != 0)
        return "the stored content does not match its fingerprint";
    return "";
}

}  // namespace tavctl
