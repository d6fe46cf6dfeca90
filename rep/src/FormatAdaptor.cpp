// Format adaptors of versions 2.0 and 2.1, and the working-file record codec.
//
// On-disk node record, version 2.1 (368 bytes; 2.0 is 344 bytes without 28-35 and 344-367):
//   0 nodeId  4 parentId  8 firstChildId  12 nextSiblingId  16 updateBaseline
//   20 content{image,offset}  28 extra{image,offset}  36 flags  40 name (UTF-8, 260 bytes)
//   300 updateCount  304 attributes  308 sizeHigh  312 sizeLow  316 created  324 accessed
//   332 written  340 stamp  344 moduleId  348 chunkSize  352 fingerprint (4 words)
// On-disk baseline header, 2.1 (612 bytes): 0 image  4 nodeTable  8 number  12 name (UTF-8,
//   64)  76 time  80 type  84..96 reserved x4  100 description (UTF-8, 512).
// Version 2.0 (604 bytes): 0 image  4 nodeTable  8 number  12 name  76 time  80 reserved0
//   84 reserved1  88 full-backup flag  92 description.
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <string>

#include "ByteOrder.h"
#include "tavrep/FormatAdaptor.h"

using tavrep::LEReader;
using tavrep::LEWriter;

namespace {

constexpr uint32_t NODE_DISK_2_1 = 368;
constexpr uint32_t NODE_DISK_2_0 = 344;
constexpr uint32_t HEADER_DISK_2_1 = 612;
constexpr uint32_t HEADER_DISK_2_0 = 604;
constexpr uint32_t NAME_FIELD = 260;
constexpr const char* INVALID_PARAMETERS = "Invalid parameters";
constexpr const char* ALTERNATIVE_NAME_USED = "Name is too long, alternative name used.";
constexpr const char* FILES_ROOT_NAME = "Files and Folders";

// Length of the longest prefix of `s` that is at most `limit` bytes and does not end
// inside a UTF-8 sequence.
size_t Utf8CutLength(const std::string& s, size_t limit) {
    if (s.size() <= limit) return s.size();
    size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return n;
}

// Writes a zero-terminated UTF-8 text into a fixed field of `field` bytes.
void PutTextField(uint8_t* out, size_t field, const std::string& text) {
    std::memset(out, 0, field);
    std::memcpy(out, text.data(), Utf8CutLength(text, field - 1));
}

std::string GetTextField(const uint8_t* in, size_t field) {
    size_t n = 0;
    while (n < field && in[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(in), n);
}

uint32_t IdToDisk(uint32_t id, uint32_t diskSize) {
    if (id == TAV_NONE) return TAV_NONE;
    uint64_t v = uint64_t(id / NODE_REC_SIZE) * diskSize;
    return v >= TAV_NONE ? TAV_NONE : uint32_t(v);
}

uint32_t IdFromDisk(uint32_t id, uint32_t diskSize) {
    if (id == TAV_NONE) return TAV_NONE;
    uint64_t v = uint64_t(id / diskSize) * NODE_REC_SIZE;
    return v >= TAV_NONE ? TAV_NONE : uint32_t(v);
}

class CFormatAdaptor : public CTavFormatAdaptor {
public:
    explicit CFormatAdaptor(uint32_t version) : m_v21(version != FORMAT_2_0), m_version(version) {}

    int NodeToDisk(uint8_t* out, const TavNodeRec* node, const TavNodeRec* alternative) override {
        if (out == nullptr || node == nullptr) return Fail();
        const uint32_t size = NodeDiskSize();
        std::memset(out, 0, size);
        LEWriter w(out);
        w.U32(IdToDisk(node->nodeId, size));
        w.U32(IdToDisk(node->parentId, size));
        w.U32(IdToDisk(node->firstChildId, size));
        w.U32(IdToDisk(node->nextSiblingId, size));
        w.U32(node->updateBaseline);
        w.U32(node->content.image);
        w.U32(node->content.offset);
        if (m_v21) {
            w.U32(node->extra.image);
            w.U32(node->extra.offset);
        } else {
            w = LEWriter(out + 36);
        }
        w.U32(node->flags);
        std::string name = Utf16FieldToUtf8(node->name, NODE_NAME_CHARS);
        m_message.clear();
        if (name.size() + 1 > NODE_NAME_MAX_UTF8 && alternative != nullptr) {
            name = Utf16FieldToUtf8(alternative->name, NODE_NAME_CHARS);
            m_message = ALTERNATIVE_NAME_USED;
        }
        PutTextField(w.Pos(), NAME_FIELD, name);
        w = LEWriter(out + 300);
        w.U32(node->updateCount);
        w.U32(node->attributes);
        w.U32(node->sizeHigh);
        w.U32(node->sizeLow);
        for (const TavFileTime* t : {&node->created, &node->accessed, &node->written}) {
            w.U32(t->low);
            w.U32(t->high);
        }
        w.U32(node->stamp);
        if (m_v21) {
            w.U32(node->moduleId);
            w.U32(node->chunkSize);
            for (uint32_t f : node->fingerprint) w.U32(f);
        }
        return 1;
    }

    int NodeFromDisk(TavNodeRec* node, const uint8_t* in) override {
        if (node == nullptr || in == nullptr) return Fail();
        const uint32_t size = NodeDiskSize();
        std::memset(node, 0, sizeof(*node));
        LEReader r(in);
        node->nodeId = IdFromDisk(r.U32(), size);
        node->parentId = IdFromDisk(r.U32(), size);
        node->firstChildId = IdFromDisk(r.U32(), size);
        node->nextSiblingId = IdFromDisk(r.U32(), size);
        node->updateBaseline = r.U32();
        node->content.image = r.U32();
        node->content.offset = r.U32();
        if (m_v21) {
            node->extra.image = r.U32();
            node->extra.offset = r.U32();
        } else {
            r.Skip(8);
        }
        node->flags = r.U32();
        std::string name = GetTextField(in + 40, NAME_FIELD);
        r = LEReader(in + 300);
        node->updateCount = r.U32();
        node->attributes = r.U32();
        node->sizeHigh = r.U32();
        node->sizeLow = r.U32();
        for (TavFileTime* t : {&node->created, &node->accessed, &node->written}) {
            t->low = r.U32();
            t->high = r.U32();
        }
        node->stamp = r.U32();
        if (m_v21) {
            node->moduleId = r.U32();
            node->chunkSize = r.U32();
            for (uint32_t& f : node->fingerprint) f = r.U32();
        } else {
            node->extra = {0, 0};
            node->chunkSize = 65536;
            const bool root = node->parentId == TAV_NONE;
            node->moduleId = root ? MODULE_FILES_ROOT : MODULE_FILES_ITEM;
            if (root) name = FILES_ROOT_NAME;
        }
        Utf8ToUtf16Field(name, node->name, NODE_NAME_CHARS);
        m_message.clear();
        return 1;
    }

    int HeaderToDisk(uint8_t* out, const TavBaselineHeaderRec* h) override {
        if (out == nullptr || h == nullptr) return Fail();
        std::memset(out, 0, HeaderDiskSize());
        LEWriter w(out);
        w.U32(h->image);
        w.U32(h->nodeTable);
        w.U32(h->number);
        PutTextField(out + 12, 64, Utf16FieldToUtf8(h->name, 64));
        w = LEWriter(out + 76);
        w.U32(h->time);
        if (m_v21) {
            w.U32(h->type);
            for (uint32_t v : h->reserved) w.U32(v);
            PutTextField(out + 100, 512, Utf16FieldToUtf8(h->description, 512));
        } else {
            w.U32(h->reserved[0]);
            w.U32(h->reserved[1]);
            w.U32(((h->type >> 12) & 0xF) == 1 ? 1 : 0);
            PutTextField(out + 92, 512, Utf16FieldToUtf8(h->description, 512));
        }
        m_message.clear();
        return 1;
    }

    int HeaderFromDisk(TavBaselineHeaderRec* h, const uint8_t* in) override {
        if (h == nullptr || in == nullptr) return Fail();
        std::memset(h, 0, sizeof(*h));
        LEReader r(in);
        h->image = r.U32();
        h->nodeTable = r.U32();
        h->number = r.U32();
        Utf8ToUtf16Field(GetTextField(in + 12, 64), h->name, 64);
        r = LEReader(in + 76);
        h->time = r.U32();
        if (m_v21) {
            h->type = r.U32();
            for (uint32_t& v : h->reserved) v = r.U32();
            Utf8ToUtf16Field(GetTextField(in + 100, 512), h->description, 512);
        } else {
            h->reserved[0] = r.U32();
            h->reserved[1] = r.U32();
            h->type = (r.U32() & 1) ? 0x10001000 : 0x10002000;
            Utf8ToUtf16Field(GetTextField(in + 92, 512), h->description, 512);
        }
        m_message.clear();
        return 1;
    }

    uint32_t NodeDiskSize() const override { return m_v21 ? NODE_DISK_2_1 : NODE_DISK_2_0; }
    uint32_t HeaderDiskSize() const override { return m_v21 ? HEADER_DISK_2_1 : HEADER_DISK_2_0; }
    uint32_t FormatVersion() const override { return m_version; }

private:
    int Fail() {
        m_message = INVALID_PARAMETERS;
        return 0;
    }
    bool m_v21;  // 2.1 and 2.2 share the 2.1 layout
    uint32_t m_version;
};

}  // namespace

CTavFormatAdaptor* MakeFormatAdaptor(uint32_t version) {
    if (version == FORMAT_2_2 || version == FORMAT_2_1 || version == FORMAT_2_0)
        return new CFormatAdaptor(version);
    return nullptr;
}

bool ImageNeedsNewerReader(const TavRepHeader& header) {
    if (header.version == FORMAT_2_0 || header.version == FORMAT_2_1) return false;
    if (header.version != FORMAT_2_2) return true;
    return (header.reserved & ~IMAGE_FEATURES_KNOWN) != 0;
}

std::string NewerReaderText(uint32_t imageId) {
    return "image " + std::to_string(imageId) + " needs a newer version of Tavora";
}

namespace {
// On a little-endian machine the record in memory is the record on disk: its fields are
// 32-bit words and UTF-16 units in disk order, without padding.
constexpr bool NODE_REC_AS_ON_DISK =
    std::endian::native == std::endian::little && std::is_trivially_copyable_v<TavNodeRec> &&
    offsetof(TavNodeRec, content) == 20 && offsetof(TavNodeRec, flags) == 36 &&
    offsetof(TavNodeRec, name) == 40 && offsetof(TavNodeRec, updateCount) == 560 &&
    offsetof(TavNodeRec, created) == 576 && offsetof(TavNodeRec, stamp) == 600 &&
    offsetof(TavNodeRec, fingerprint) == 612 && sizeof(TavNodeRec) == NODE_REC_SIZE &&
    offsetof(TavPosition, offset) == 4 && offsetof(TavFileTime, high) == 4;
}  // namespace

void EncodeNodeRec(const TavNodeRec& n, uint8_t out[NODE_REC_SIZE]) {
    if constexpr (NODE_REC_AS_ON_DISK) {
        std::memcpy(out, &n, NODE_REC_SIZE);
        return;
    }
    LEWriter w(out);
    for (uint32_t v : {n.nodeId, n.parentId, n.firstChildId, n.nextSiblingId, n.updateBaseline,
                       n.content.image, n.content.offset, n.extra.image, n.extra.offset, n.flags})
        w.U32(v);
    for (char16_t c : n.name) w.U16(uint16_t(c));
    for (uint32_t v : {n.updateCount, n.attributes, n.sizeHigh, n.sizeLow, n.created.low,
                       n.created.high, n.accessed.low, n.accessed.high, n.written.low,
                       n.written.high, n.stamp, n.moduleId, n.chunkSize})
        w.U32(v);
    for (uint32_t v : n.fingerprint) w.U32(v);
}

void DecodeNodeRec(const uint8_t in[NODE_REC_SIZE], TavNodeRec& n) {
    if constexpr (NODE_REC_AS_ON_DISK) {
        std::memcpy(&n, in, NODE_REC_SIZE);
        return;
    }
    LEReader r(in);
    for (uint32_t* v : {&n.nodeId, &n.parentId, &n.firstChildId, &n.nextSiblingId,
                        &n.updateBaseline, &n.content.image, &n.content.offset, &n.extra.image,
                        &n.extra.offset, &n.flags})
        *v = r.U32();
    for (char16_t& c : n.name) c = char16_t(r.U16());
    for (uint32_t* v : {&n.updateCount, &n.attributes, &n.sizeHigh, &n.sizeLow, &n.created.low,
                        &n.created.high, &n.accessed.low, &n.accessed.high, &n.written.low,
                        &n.written.high, &n.stamp, &n.moduleId, &n.chunkSize})
        *v = r.U32();
    for (uint32_t& v : n.fingerprint) v = r.U32();
}
