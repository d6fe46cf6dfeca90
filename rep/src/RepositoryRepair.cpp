// CTavRepository: finding and removing what unfinished runs left behind, and setting aside
// images whose newest baselines cannot be read.
#include <algorithm>

#include "ByteOrder.h"
#include "SecurityRecord.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavrep/TavRepository.h"

namespace {

constexpr const char* SET_ASIDE_SUFFIX = ".set-aside";

uint64_t FileBytes(const std::string& path) {
    TavFindData data;
    return plat::GetFindData(path, data) ? data.Size() : 0;
}

// Where the block at `offset` ends (its header and stored bytes); 0 when it cannot be read.
uint64_t BlockEnd(const std::string& path, uint32_t offset) {
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    uint8_t header[BLOCK_HEADER_SIZE];
    if (!file || file->ReadAt(header, sizeof(header), offset) != int64_t(sizeof(header))) return 0;
    return uint64_t(offset) + BLOCK_HEADER_SIZE + tavrep::GetLE32(header + 4);
}

// A file of at most the fixed blocks that is not an image (yet): empty, or the start of an
// image header block (self 0, length 16), as a run killed while making the image leaves it.
// Anything else is not ours to remove. A file that a writer holds is taken to be one that
// is being made (it is reported, never removed).
enum class Made { No, Cut, Held };
Made CutWhileMade(const std::string& path, uint64_t size) {
    if (size == 0) return Made::Cut;
    uint32_t error = 0;
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting, &error);
    if (!file) return error == plat::ERR_SHARING_VIOLATION ? Made::Held : Made::No;
    uint8_t head[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const size_t want = size < 8 ? size_t(size) : 8;
    if (file->ReadAt(head, want, 0) != int64_t(want)) return Made::No;
    for (size_t i = 0; i < 4 && i < want; ++i)
        if (head[i] != 0) return Made::No;
    return want < 8 || tavrep::GetLE32(head + 4) == 16 ? Made::Cut : Made::No;
}

bool NotAfter(const TavPosition& a, const TavPosition& b) {
    return a.image != b.image ? a.image < b.image : a.offset <= b.offset;
}

}  // namespace

// Takes the image as a writer would (its lock and the file's exclusive hold), without
// waiting; false when another writer holds it.
bool CTavRepository::HoldAsWriter(CTavImage& image) {
    if (image.InTrans()) return false;  // this object writes it
    try {
        image.BeginTrans(0);
    } catch (CTavException* e) {
        e->Delete();
    }
    return image.InTrans();
}

std::vector<TavLeftover> CTavRepository::FindLeftovers() {
    std::vector<TavLeftover> found;
    if (m_currentImage < 0 || m_entryCandidates.empty()) return found;
    // What a newer version of Tavora wrote is never taken for what a killed run left.
    if (!m_newerImages.empty()) return found;
    const TavPosition newest = m_entryCandidates.front();
    const std::string seenFrom = GetCurrentRepPath();
    for (uint32_t id : SeriesImageIds(seenFrom)) {
        if (id <= newest.image) continue;
        TavLeftover left;
        left.image = id;
        left.path = PathOfImageSeenFrom(seenFrom, id);
        left.size = FileBytes(left.path);
        CTavImage* image = int64_t(id) <= m_currentImage ? m_images[id].get() : nullptr;
        // Holds no block of anything: an image of this id with its fixed blocks at most, or
        // the start of one.
        bool leftover = left.size <= FIRST_DATA_BLOCK_OFFSET && image != nullptr;
        bool held = false;
        if (left.size <= FIRST_DATA_BLOCK_OFFSET && image == nullptr) {
            const Made made = CutWhileMade(left.path, left.size);
            leftover = made != Made::No;
            held = made == Made::Held;
        }
        if (!leftover && image != nullptr) {
            // The image of a run that never committed still names an older baseline table
            // in an intact security record (a damaged one proves nothing).
            try {
                TavBlockData block = image->ReadBlock(SECURITY_BLOCK_OFFSET);
                if (block.data.size() >= SECURITY_RECORD_SIZE &&
                    tavrep::SecurityRecordIntact(block.data.data(), id, GetCurrentImageID())) {
                    const TavPosition entry{tavrep::GetLE32(block.data.data() + 24),
                                            tavrep::GetLE32(block.data.data() + 28)};
                    leftover = entry.offset != 0 && NotAfter(entry, newest);
                }
            } catch (CTavException* e) {
                e->Delete();
            }
            image->ReleaseReadHandle();
        }
        if (!leftover) continue;
        std::unique_ptr<CTavImage> probe;
        if (image == nullptr) {
            probe = std::make_unique<CTavImage>(left.path, *m_security);
            image = probe.get();
        }
        left.busy = held || !HoldAsWriter(*image);
        image->EndTrans();
        found.push_back(left);
    }
    // The tail behind the newest baseline table, when that table can be read.
    if (m_baselines && m_baselines->entryPoint == newest && int64_t(newest.image) <= m_currentImage &&
        m_images[newest.image]) {
        CTavImage& image = *m_images[newest.image];
        TavLeftover tail;
        tail.image = newest.image;
        tail.path = image.Path();
        tail.size = FileBytes(tail.path);
        tail.keep = BlockEnd(tail.path, newest.offset);
        if (tail.keep != 0 && tail.size > tail.keep) {
            tail.busy = !HoldAsWriter(image);
            image.EndTrans();
            found.push_back(tail);
        }
    }
    std::sort(found.begin(), found.end(), [](const TavLeftover& a, const TavLeftover& b) {
        return a.image > b.image;
    });
    return found;
}

std::vector<TavLeftover> CTavRepository::RemoveLeftovers(const std::vector<TavLeftover>& leftovers) {
    std::vector<TavLeftover> done;
    bool blocked = false;  // an image above is in use: the series must stay without gaps
    for (const TavLeftover& left : leftovers) {
        if (left.keep == 0 && blocked) continue;
        CTavImage* image = int64_t(left.image) <= m_currentImage ? m_images[left.image].get() : nullptr;
        std::unique_ptr<CTavImage> own;
        if (image == nullptr) {
            own = std::make_unique<CTavImage>(left.path, *m_security);
            image = own.get();
        }
        if (!HoldAsWriter(*image)) {
            blocked = true;
            continue;
        }
        bool ok;
        if (left.keep == 0) {
            ok = plat::RemoveFile(left.path);
        } else {
            ok = image->TruncateTo(left.keep) && image->Sync();
        }
        image->EndTrans();
        image->ReleaseReadHandle();
        if (!ok) {
            blocked = true;
            continue;
        }
        if (left.keep == 0 && int64_t(left.image) <= m_currentImage) {
            m_images[left.image].reset();
            m_adaptors[left.image].reset();
        }
        done.push_back(left);
    }
    while (m_currentImage >= 0 && !m_images[size_t(m_currentImage)]) --m_currentImage;
    return done;
}

// The newest baseline of `list` has a node table that can be read.
bool CTavRepository::NodeTableReadable(const TavBaselineList& list) {
    if (list.items.empty()) return false;
    const TavBaselineHeaderRec& newest = list.items.back();
    CTavImage* image = GetImageFromID(newest.image);
    if (image == nullptr) return false;
    try {
        TavBlockData block = image->ReadBlock(newest.nodeTable);
        image->ReleaseReadHandle();
        const uint32_t size = m_adaptors[newest.image]->NodeDiskSize();
        return block.kind == BLOCK_KIND_NODES && block.data.size() >= size && block.data.size() % size == 0;
    } catch (CTavException* e) {
        e->Delete();
        image->ReleaseReadHandle();
        return false;
    }
}

bool CTavRepository::SetAsideDamaged(std::vector<TavSetAside>& done, std::string& problem) {
    if (m_currentImage < 0) return false;
    if (!m_newerImages.empty()) {
        problem = NewerReaderText(*m_newerImages.begin()) +
                  ": setting images aside would hide the baselines it holds; open the repository "
                  "with a newer version of Tavora";
        return false;
    }
    TavPosition intact{0, 0};
    for (const TavPosition& entry : m_entryCandidates) {
        TavBaselineList list;
        bool ok = false;
        try {
            ok = ReadBaselineTable(entry, list) && NodeTableReadable(list);
        } catch (CTavException* e) {
            e->Delete();
        }
        if (ok) {
            intact = entry;
            break;
        }
    }
    ReleaseReadHandles();
    if (intact.offset == 0) {
        problem = "no baseline table whose newest baseline can be read was found";
        return false;
    }
    // Newest first, each held as a writer while it is renamed; the series stays contiguous.
    for (int32_t id = m_currentImage; id > int32_t(intact.image); --id) {
        CTavImage* image = m_images[size_t(id)].get();
        if (image == nullptr) continue;
        if (!HoldAsWriter(*image)) {
            problem = "image " + std::to_string(id) + " (" + image->Path() + ") is in use";
            return false;
        }
        std::string to = image->Path() + SET_ASIDE_SUFFIX;
        for (int n = 2; plat::PathExists(to); ++n)
            to = image->Path() + SET_ASIDE_SUFFIX + "." + std::to_string(n);
        const bool renamed = plat::RenameFile(image->Path(), to);
        image->EndTrans();
        if (!renamed) {
            problem = "image " + std::to_string(id) + " (" + image->Path() + ") cannot be renamed";
            return false;
        }
        done.push_back({uint32_t(id), image->Path(), to});
        m_images[size_t(id)].reset();
        m_adaptors[size_t(id)].reset();
    }
    while (m_currentImage >= 0 && !m_images[size_t(m_currentImage)]) --m_currentImage;
    // Entry points that named what was set aside (or a newer table in the same image) name
    // the intact table now.
    for (int32_t id = 0; id <= m_currentImage; ++id) {
        if (!m_images[size_t(id)]) continue;
        const TavPosition entry = GetEntryPoint(uint32_t(id), 3);
        if (entry.offset != 0 && !NotAfter(entry, intact)) SetEntryPoint(uint32_t(id), 3, intact);
        m_images[size_t(id)]->ReleaseReadHandle();
    }
    try {
        Detach();
    } catch (CTavException* e) {
        e->Delete();
    }
    return true;
}
