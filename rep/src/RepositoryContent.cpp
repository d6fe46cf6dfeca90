// CTavRepository: appending blocks, content chains, reading content back.
#include <cstring>

#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"

namespace {
constexpr const char* SRC_GET_CONTENT = "CTavRepository::GetNodeContent";
}  // namespace

void CTavRepContent::Dispose() { delete this; }
CTavRepContent::~CTavRepContent() = default;

CTavRepositoryObserver::~CTavRepositoryObserver() = default;
int32_t CTavRepositoryObserver::OnRepProgress(const char*, TavPosition, uint32_t) { return 1; }
void CTavRepositoryObserver::OnRepError(const char*, const char*) {}

CTavRepErrorCallback::~CTavRepErrorCallback() = default;
int32_t CTavRepErrorCallback::OnChangePath(CTavRepository*, std::string&) { return 0; }
int32_t CTavRepErrorCallback::OnChangeDisk(CTavRepository*, std::string&) { return 0; }

// The size an image may not reach; a record without a limit never splits.
uint64_t CTavRepository::ImageLimit() const {
    uint32_t max = m_security ? m_security->maxImageSize : 0;
    return max == 0 ? 0xFFFFFFFFull : max;
}

// Makes room for a block of `length` payload bytes: starts the next image when the
// current one would reach its limit. The current image afterwards, or null.
CTavImage* CTavRepository::ImageForBlock(uint64_t length) {
    if (m_currentImage < 0 || !m_images[size_t(m_currentImage)]) return nullptr;
    CTavImage* image = m_images[size_t(m_currentImage)].get();
    const uint32_t size = image->GetImageSize();
    if (size != 0xFFFFFFFF && uint64_t(size) + length < ImageLimit()) return image;
    const bool inTrans = image->InTrans();
    std::string path;
    BuildImagePath(path, image->Path(), uint32_t(m_currentImage) + 1);
    if (!StartNewImage(path)) return nullptr;
    CTavImage* next = m_images[size_t(m_currentImage)].get();
    if (inTrans) {
        try {
            next->BeginTrans(TAV_TRANS_TIMEOUT_MS);
        } catch (CTavException* e) {
            e->Delete();
            return nullptr;
        }
    }
    return next;
}

TavPosition CTavRepository::AddBlock(const void* payload, uint32_t length, uint32_t prefix,
                                     uint32_t kind) {
    CTavImage* image = ImageForBlock(length);
    if (image == nullptr) return {0, 0};
    uint32_t offset = image->WriteBlock(payload, length, prefix, kind, 0);
    if (offset == 0) return {0, 0};
    return {uint32_t(m_currentImage), offset};
}

void CTavRepository::LinkBlock(TavPosition previous, TavPosition next) {
    if (previous.offset == 0 || next.offset == 0) return;
    if (int64_t(previous.image) > m_currentImage || !m_images[previous.image]) return;
    m_images[previous.image]->UpdateBlockHeader(
        previous.offset, BLOCK_KIND_CONTENT | (next.image & BLOCK_NEXT_IMAGE_MASK), next.offset);
}

TavPosition CTavRepository::AddContent(const void* payload, uint32_t length, TavPosition previous) {
    TavPosition position = AddBlock(payload, length, 0, BLOCK_KIND_CONTENT);
    if (position.offset != 0 && previous.offset != 0) LinkBlock(previous, position);
    return position;
}

CTavRepContent* CTavRepository::GetContent(TavPosition position) {
    if (m_currentImage < 0) return nullptr;
    CTavImage* image = GetImageFromID(position.image);
    if (image == nullptr) throw new CTavRepException(TAVEX_NOT_FOUND, 0, SRC_GET_CONTENT);
    // The image this object is writing is not read back while its transaction is open.
    if (image->InTrans()) throw new CTavRepException(TAVEX_BUSY, 0, SRC_GET_CONTENT);
    if (position.offset == 0) return nullptr;
    TavBlockData block = image->ReadBlock(position.offset, TavBlockUse::Content);
    auto* content = new CTavRepContent;
    content->image = position.image;
    content->offset = position.offset;
    content->nextImage = block.kind & BLOCK_NEXT_IMAGE_MASK;
    content->nextOffset = block.link;
    content->size = uint32_t(block.data.size());
    content->data = std::move(block.data);
    return content;
}

// Free room for `bytes` on the volume of `path`'s folder; unknown room counts as enough
// (a write that then fails ends the chain like any write error). The volume is asked again
// only when the room it showed last, less every grant since, comes near the request: a run
// over many small files would otherwise ask once a file.
bool CTavRepository::RoomFor(uint64_t bytes, std::string& path) {
    constexpr uint64_t MARGIN = uint64_t(64) << 20;
    std::string dir = plat::DirName(path);
    if (dir.empty()) dir = ".";
    if (m_room.known && m_room.dir == dir && bytes <= m_room.left && m_room.left - bytes >= MARGIN) {
        m_room.left -= bytes;
        return true;
    }
    auto free = plat::FreeSpace(dir);
    if (!free) {
        m_room = {};
        return true;
    }
    m_room = {true, dir, *free};
    if (*free < bytes) return false;
    m_room.left -= bytes;
    return true;
}
