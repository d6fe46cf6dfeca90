// CTavLiveSet: following chains by block headers, and giving back unused images.
#include "tavrep/LiveSet.h"

#include <algorithm>
#include <cstdlib>

#include "ByteOrder.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "platform/TestHooks.h"
#include "tavrep/TavRepository.h"

namespace {
}  // namespace

struct CTavLiveSet::ImageState {
    std::unique_ptr<plat::CFile> file;
    uint64_t size = 0;
    bool opened = false;
    bool live = false;
    bool whole = false;  // kept whole
    uint64_t end = 0;    // end of the last used block
};

CTavLiveSet::CTavLiveSet(CTavRepository& repository) : m_repository(repository) {}
CTavLiveSet::~CTavLiveSet() = default;

CTavLiveSet::ImageState* CTavLiveSet::Image(uint32_t id) {
    if (id > MAX_IMAGE_ID) return nullptr;
    if (m_images.size() <= id) m_images.resize(size_t(id) + 1);
    if (!m_images[id]) m_images[id] = std::make_unique<ImageState>();
    return m_images[id].get();
}

void CTavLiveSet::Mark(uint32_t id, uint64_t end) {
    ImageState* s = Image(id);
    if (s == nullptr) return;
    s->live = true;
    s->end = std::max(s->end, end);
}

bool CTavLiveSet::Failed(TavPosition p, const char* problem) {
    std::string path = m_repository.GetImagePath(p.image);
    m_error = "image " + std::to_string(p.image) + (path.empty() ? "" : " (" + path + ")") +
              ", block at offset " + std::to_string(p.offset) + ": " + problem;
    return false;
}

bool CTavLiveSet::ReadHeader(TavPosition p, uint32_t& length, uint32_t& kind, uint32_t& link) {
    ImageState* s = Image(p.image);
    if (s == nullptr) return Failed(p, "image number out of range");
    if (!s->opened) {
        s->opened = true;
        CTavImage* image = m_repository.GetImageFromID(p.image);
        if (image != nullptr) {
            image->ReleaseReadHandle();
            s->file = plat::CFile::Open(image->Path(), plat::FileAccess::Read,
                                        plat::FileDisposition::OpenExisting);
            if (s->file) s->size = uint64_t(std::max<int64_t>(s->file->Size(), 0));
        }
    }
    if (!s->file) return Failed(p, "the image file cannot be opened");
    uint8_t raw[BLOCK_HEADER_SIZE];
    if (uint64_t(p.offset) + BLOCK_HEADER_SIZE > s->size ||
        s->file->ReadAt(raw, sizeof(raw), p.offset) != int64_t(sizeof(raw)))
        return Failed(p, "the block header lies beyond the end of the file");
    ++m_headersRead;
    const uint32_t self = tavrep::GetLE32(raw);
    length = tavrep::GetLE32(raw + 4);
    kind = tavrep::GetLE32(raw + 12);
    link = tavrep::GetLE32(raw + 16);
    if (self != p.offset && self != BLOCK_SELF_MARKER) return Failed(p, "no block header there");
    if (uint64_t(p.offset) + BLOCK_HEADER_SIZE + length > s->size)
        return Failed(p, "the block runs past the end of the file");
    return true;
}

bool CTavLiveSet::AddBlock(TavPosition p) {
    if (p.offset == 0) return true;
    if (m_seen.count((uint64_t(p.image) << 32) | p.offset) != 0) return true;
    uint32_t length, kind, link;
    if (!ReadHeader(p, length, kind, link)) return false;
    m_seen.insert((uint64_t(p.image) << 32) | p.offset);
    m_liveBytes += BLOCK_HEADER_SIZE + uint64_t(length);
    Mark(p.image, uint64_t(p.offset) + BLOCK_HEADER_SIZE + length);
    return true;
}

bool CTavLiveSet::AddTableAfter(TavPosition p) {
    if (p.offset == 0) return true;
    uint32_t length, kind, link;
    if (!ReadHeader(p, length, kind, link)) return false;
    const uint64_t next = uint64_t(p.offset) + BLOCK_HEADER_SIZE + length;
    ImageState* s = Image(p.image);
    if (s == nullptr || next + BLOCK_HEADER_SIZE > s->size || next > 0xFFFFFFFFull) return true;
    uint8_t raw[BLOCK_HEADER_SIZE];
    if (s->file->ReadAt(raw, sizeof(raw), next) != int64_t(sizeof(raw))) return true;
    if (tavrep::GetLE32(raw + 12) != BLOCK_KIND_BASELINES) return true;
    return AddBlock({p.image, uint32_t(next)});
}

bool CTavLiveSet::AddChain(TavPosition p) {
    while (p.offset != 0) {
        const uint64_t key = (uint64_t(p.image) << 32) | p.offset;
        if (!m_seen.insert(key).second) return true;  // walked before (or a loop)
        uint32_t length, kind, link;
        if (!ReadHeader(p, length, kind, link)) return false;
        m_liveBytes += BLOCK_HEADER_SIZE + uint64_t(length);
        Mark(p.image, uint64_t(p.offset) + BLOCK_HEADER_SIZE + length);
        if ((kind & ~BLOCK_NEXT_IMAGE_MASK) != BLOCK_KIND_CONTENT || link == 0) return true;
        p = {kind & BLOCK_NEXT_IMAGE_MASK, link};
    }
    return true;
}

void CTavLiveSet::KeepImagesUpTo(uint32_t imageId) {
    for (uint32_t id = 0; id <= imageId && id <= MAX_IMAGE_ID; ++id) {
        ImageState* s = Image(id);
        s->live = true;
        s->whole = true;
    }
}

void CTavLiveSet::CloseFiles() {
    for (auto& s : m_images)
        if (s) {
            s->file.reset();
            s->opened = false;  // opened again when needed
        }
}

bool CTavLiveSet::IsLive(uint32_t id) const {
    return id < m_images.size() && m_images[id] && m_images[id]->live;
}

uint64_t CTavLiveSet::LiveEnd(uint32_t id) const {
    if (id >= m_images.size() || !m_images[id]) return 0;
    return m_images[id]->whole ? UINT64_MAX : m_images[id]->end;
}

namespace {

uint64_t FileBytes(const std::string& path) {
    TavFindData fd;
    return plat::GetFindData(path, fd) ? fd.Size() : 0;
}

}  // namespace

TavReclaimResult FindUnusedImages(CTavRepository& repository, const CTavLiveSet& live) {
    TavReclaimResult result;
    const uint32_t current = repository.GetCurrentImageID();
    if (current == TAV_NONE) return result;
    for (uint32_t id = 0; id <= current; ++id) {
        const std::string path = repository.GetImagePath(id);
        if (path.empty()) continue;
        const uint64_t bytes = FileBytes(path);
        if (id == 0) {
            const uint64_t end = std::max<uint64_t>(live.LiveEnd(0), FIRST_DATA_BLOCK_OFFSET);
            if (end < bytes) result.cutBytes = bytes - end;
            continue;
        }
        if (!live.IsLive(id)) result.deleted.push_back({id, path, bytes});
    }
    return result;
}

TavReclaimResult ReclaimUnusedImages(CTavRepository& repository, const CTavLiveSet& live,
                                     TavPosition entry) {
    TavReclaimResult found = FindUnusedImages(repository, live);
    TavReclaimResult result;
    repository.ReleaseReadHandles();
    for (const TavReclaimResult::Image& image : found.deleted) {
        // Holding the file for writing keeps readers out while it goes; a reader that
        // holds it now keeps it until a later run.
        uint32_t error = 0;
        auto file = plat::CFile::Open(image.path, plat::FileAccess::ReadWrite,
                                      plat::FileDisposition::OpenExisting, &error);
        if (!file) {
            if (error == plat::ERR_FILE_NOT_FOUND) continue;
            (error == plat::ERR_SHARING_VIOLATION ? result.busy : result.failed).push_back(image);
            continue;
        }
        if (!plat::RemoveFile(image.path)) {
            result.failed.push_back(image);
            result.error = image.path + ": " + std::to_string(plat::GetLastError());
            continue;
        }
        result.deleted.push_back(image);
        plat::CrashStep("image-deleted");
    }
    if (found.cutBytes > 0) {
        const std::string path = repository.GetImagePath(0);
        const uint64_t end = std::max<uint64_t>(live.LiveEnd(0), FIRST_DATA_BLOCK_OFFSET);
        // Image 0's entry point may name a baseline table behind the cut: it names the
        // newest table first.
        const TavPosition own = repository.GetEntryPoint(0, 3);
        const bool entryBehindCut = own.offset != 0 && (own.image != 0 || own.offset >= end);
        repository.ReleaseReadHandles();
        bool entryOk = true;
        if (entryBehindCut) entryOk = entry.offset != 0 && repository.SetEntryPoint(0, 3, entry) != 0;
        repository.ReleaseReadHandles();
        plat::CrashStep("image0-entry");
        uint32_t error = 0;
        auto file = entryOk ? plat::CFile::Open(path, plat::FileAccess::ReadWrite,
                                                plat::FileDisposition::OpenExisting, &error)
                            : nullptr;
        if (!file) {
            TavReclaimResult::Image whole{0, path, found.cutBytes};
            (entryOk && error != plat::ERR_SHARING_VIOLATION ? result.failed : result.busy).push_back(whole);
        } else if (file->Sync() && file->Truncate(end) && file->Sync()) {
            result.cutBytes = found.cutBytes;
        } else {
            result.failed.push_back({0, path, found.cutBytes});
        }
    }
    return result;
}
