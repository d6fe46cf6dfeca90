// CTavRepository: creating, attaching and detaching repositories, transactions.
#include <cstring>
#include <algorithm>
#include <set>

#include "ByteOrder.h"
#include "ContentSource.h"
#include "SecurityRecord.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace {

constexpr const char* SRC_ATTACH = "CTavRepository::Attach";
constexpr int MAX_ENTRY_HOPS = 64;

CTavRepErrorCallback& DefaultCallback() {
    static CTavRepErrorCallback instance;
    return instance;
}

}  // namespace

CTavRepository::CTavRepository() : m_errorCallback(&DefaultCallback()) {}

CTavRepository::~CTavRepository() {
    try {
        for (auto& image : m_images)
            if (image) image->EndTrans();
        Detach();
    } catch (CTavException* e) {
        e->Delete();
    }
}

int CTavRepository::CreateRepository(const std::string& path, const TavImageSecurity* security,
                                     uint32_t imageId, TavPosition entry, const uint8_t* digest) {
    if (path.empty() || security == nullptr) return 0;
    {
        auto file = plat::CFile::Open(path, plat::FileAccess::ReadWrite,
                                      plat::FileDisposition::CreateAlways);
        if (!file) return 0;
    }
    // From here the file is ours: one that could not be made whole is not left behind.
    struct CRemoveUnlessDone {
        const std::string& path;
        bool done = false;
        ~CRemoveUnlessDone() {
            if (!done) plat::RemoveFile(path);
        }
    } made{path};
    std::unique_ptr<CTavFormatAdaptor> adaptor(MakeFormatAdaptor(FORMAT_2_1));
    const uint32_t created = plat::NowSeconds();
    CTavImage image(path, *security);
    if (image.BeginTrans(TAV_TRANS_TIMEOUT_MS) == 0) return 0;

    image.SetCompression(COMPRESS_NONE);
    image.SetEncryption(ENCRYPT_NONE);
    uint8_t header[IMAGE_HEADER_RECORD_SIZE];
    tavrep::PutLE32(header, FORMAT_2_1);
    tavrep::PutLE32(header + 4, created);
    tavrep::PutLE32(header + 8, imageId);
    tavrep::PutLE32(header + 12, 0);
    // The header block lands at offset 0, so its success shows in the file's size.
    image.WriteBlock(header, sizeof(header), 0, BLOCK_KIND_HEADER, 0);
    if (image.GetImageSize() != SECURITY_BLOCK_OFFSET) return 0;

    uint8_t pwd[16];
    if (digest != nullptr) {
        std::memcpy(pwd, digest, 16);
    } else if (security->hasPassword) {
        CMD5Checksum::Hash(security->password, TAV_PASSWORD_FIELD, pwd);
    } else {
        std::memset(pwd, 0xFF, 16);
    }
    uint8_t record[SECURITY_RECORD_SIZE];
    const bool newRepository = entry.offset == 0;
    tavrep::BuildSecurityRecord(record, imageId, plat::NowSeconds(), pwd, newRepository ? TavPosition{0, 0} : entry);
    image.SetEncryption(ENCRYPT_BUILTIN);
    if (image.WriteBlock(record, SECURITY_RECORD_SIZE, 0, BLOCK_KIND_SECURITY, 0) != SECURITY_BLOCK_OFFSET)
        return 0;
    image.SetCompression(security->compression);
    image.SetEncryption(security->encryption);

    if (newRepository) {
        // The initial node table (the root "/") and baseline 0.
        TavNodeRec* root = CreateNode();
        root->nodeId = 0;
        root->attributes = TAV_ATTR_DIRECTORY;
        root->flags = NODE_DIRECTORY;
        Utf8ToUtf16Field("\\", root->name, NODE_NAME_CHARS);
        std::vector<uint8_t> disk(adaptor->NodeDiskSize());
        adaptor->NodeToDisk(disk.data(), root, nullptr);
        DisposeNode(root);
        uint32_t nodes = image.WriteBlock(disk.data(), uint32_t(disk.size()), 0, BLOCK_KIND_NODES, 0);
        if (nodes == 0) return 0;
        TavBaselineHeaderRec baseline{};
        baseline.image = imageId;
        baseline.nodeTable = nodes;
        baseline.number = 0;
        baseline.time = plat::NowSeconds();
        std::vector<uint8_t> headerDisk(adaptor->HeaderDiskSize());
        adaptor->HeaderToDisk(headerDisk.data(), &baseline);
        uint32_t table = image.WriteBlock(headerDisk.data(), uint32_t(headerDisk.size()), 0,
                                          BLOCK_KIND_BASELINES, 0);
        if (table == 0) return 0;
        tavrep::PutLE32(record + 24, imageId);
        tavrep::PutLE32(record + 28, table);
        if (!image.UpdateBlock(SECURITY_BLOCK_OFFSET, record, SECURITY_RECORD_SIZE, 0)) return 0;
    }
    // The new file and its name in the folder are on the disk before anything relies on it.
    if (!image.Sync() || !plat::SyncDirectory(plat::DirName(plat::AbsolutePath(path)))) return 0;
    image.EndTrans();
    made.done = true;
    return 1;
}

// Follows entry points from image `start` until they settle on an image whose own entry
// point names itself; bounded and safe against cycles. {0, 0} when none is usable.
TavPosition CTavRepository::SettleEntryPoint(const std::string& seenFrom, uint32_t start) {
    std::set<uint32_t> visited;
    uint32_t current = start;
    TavPosition entry = GetEntryPoint(current, 3);
    for (int hop = 0; hop < MAX_ENTRY_HOPS && entry.offset != 0; ++hop) {
        if (entry.image == current || entry.image >= LAST_STARTED_IMAGE) break;
        if (!visited.insert(entry.image).second) break;
        try {
            if (!(int64_t(entry.image) <= m_currentImage && m_images[entry.image]))
                PutImage(PathOfImageSeenFrom(seenFrom, entry.image), entry.image);
        } catch (CTavException* e) {
            e->Delete();
            break;
        }
        current = entry.image;
        TavPosition next = GetEntryPoint(current, 3);
        if (next.offset == 0) break;
        entry = next;
    }
    return entry;
}

// Reads the baseline table at `entry`; false when it cannot be read or is empty.
bool CTavRepository::ReadBaselineTable(TavPosition entry, TavBaselineList& list) {
    if (entry.offset == 0 || entry.image >= LAST_STARTED_IMAGE) return false;
    if (int64_t(entry.image) > m_currentImage || !m_images[entry.image]) return false;
    CTavFormatAdaptor* adaptor = m_adaptors[entry.image].get();
    TavBlockData block = m_images[entry.image]->ReadBlock(entry.offset);
    const uint32_t size = adaptor->HeaderDiskSize();
    if (block.data.size() < size) return false;
    list.items.resize(block.data.size() / size);
    for (size_t i = 0; i < list.items.size(); ++i) {
        adaptor->HeaderFromDisk(&list.items[i], block.data.data() + i * size);
        // A table that decodes into nonsense is not a baseline table.
        const TavBaselineHeaderRec& h = list.items[i];
        if (h.image > MAX_IMAGE_ID || (i > 0 && h.number <= list.items[i - 1].number)) return false;
    }
    list.entryPoint = entry;
    return true;
}

// The ids of the image files of `path`'s series found in its folder (image 0 by either of
// its names), ascending. A missing image in the middle does not hide the later ones.
std::vector<uint32_t> CTavRepository::SeriesImageIds(const std::string& path) const {
    std::vector<uint32_t> ids;
    std::string dir = plat::DirName(path);
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(dir.empty() ? "." : dir, entries)) return ids;
    std::string plain;
    BuildImagePath(plain, path, TAV_NONE);
    const std::string plainName = plat::BaseName(plain);
    for (const TavFindData& entry : entries) {
        if (entry.kind == TavFileKind::Directory) continue;
        if (entry.name == plainName) {
            ids.push_back(0);
            continue;
        }
        // name.NNNN.ext or name.NNNN: the digits behind the dot before the extension.
        const std::string& name = entry.name;
        size_t end = name.size() >= 4 && name[name.size() - 4] == '.' ? name.size() - 4 : name.size();
        size_t dot = name.rfind('.', end == 0 ? 0 : end - 1);
        if (dot == std::string::npos || end - dot < 5 || end - dot > 10) continue;
        uint64_t n = 0;
        bool digits = true;
        for (size_t i = dot + 1; i < end; ++i) {
            if (name[i] < '0' || name[i] > '9') digits = false;
            n = n * 10 + uint64_t(name[i] - '0');
        }
        if (!digits || n >= LAST_STARTED_IMAGE) continue;
        std::string expected;
        BuildImagePath(expected, path, uint32_t(n));
        if (plat::BaseName(expected) == name) ids.push_back(uint32_t(n));
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

int CTavRepository::Attach(const std::string& path, const TavImageSecurity* security) {
    m_lastAttachCode = 0;
    m_lastAttachDetail.clear();
    if (m_currentImage >= 0) return 0;
    m_newerImages.clear();
    if (!TestFileExisting(path)) throw new CTavRepException(TAVEX_NOT_FOUND, 2, SRC_ATTACH);
    m_security = std::make_unique<TavImageSecurity>();
    if (security != nullptr) {
        *m_security = *security;
    } else {
        InitTavImageSecure(m_security.get(), nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_NONE,
                           TAV_DEFAULT_IMAGE_SIZE);
    }
    uint32_t first;
    try {
        first = PutImage(path, TAV_NONE);
    } catch (CTavException* e) {
        m_lastAttachCode = e->code;
        m_lastAttachDetail = e->detail;
        e->Delete();
        m_security.reset();
        return 0;
    }
    try {
        // The newest committed baseline table wins, whichever image was named. Every image
        // of the series is opened (image 0 by its plain name when needed, and every image
        // up to the first one missing above the highest held), their entry points are
        // gathered, and the newest table that can be read is taken: a damaged newest image
        // leaves the repository open at the baselines before it.
        TavPosition named = SettleEntryPoint(path, first);
        for (uint32_t n : SeriesImageIds(path)) {
            if (int64_t(n) <= m_currentImage && m_images[n]) continue;
            try {
                PutImage(PathOfImageSeenFrom(path, n), n);
            } catch (CTavException* e) {
                e->Delete();
            }
        }
        std::vector<TavPosition> candidates;
        for (int32_t id = 0; id <= m_currentImage; ++id) {
            if (!m_images[size_t(id)]) continue;
            TavPosition entry = GetEntryPoint(uint32_t(id), 3);
            m_images[size_t(id)]->ReleaseReadHandle();
            if (entry.offset != 0 && entry.image < LAST_STARTED_IMAGE) candidates.push_back(entry);
        }
        std::sort(candidates.begin(), candidates.end(), [](const TavPosition& a, const TavPosition& b) {
            return a.image != b.image ? a.image > b.image : a.offset > b.offset;
        });
        TavBaselineList best;
        TavPosition bestEntry{0, 0};
        m_unreadableTables.clear();
        m_entryCandidates = candidates;
        m_entryCandidates.erase(std::unique(m_entryCandidates.begin(), m_entryCandidates.end()),
                                m_entryCandidates.end());
        for (const TavPosition& entry : candidates) {
            if (entry == bestEntry) continue;
            if (!m_unreadableTables.empty() && m_unreadableTables.back() == entry) continue;
            bool ok = false;
            try {
                ok = ReadBaselineTable(entry, best);
            } catch (CTavException* e) {
                e->Delete();
            }
            if (ok) {
                bestEntry = entry;
                break;
            }
            m_unreadableTables.push_back(entry);
        }
        ReleaseReadHandles();
        if (bestEntry.offset == 0) {
            TavPosition e = named;
            Detach();
            throw new CTavRepException(e.image > 9998 ? TAVEX_ENTRY_TOO_HIGH : TAVEX_NOT_IMAGE, 0,
                                       SRC_ATTACH);
        }
        m_baselines = std::make_unique<TavBaselineList>(std::move(best));
        m_entryImage = int32_t(bestEntry.image);
        ChooseDigest();
        ReleaseReadHandles();
        return 1;
    } catch (CTavException* e) {
        m_lastAttachCode = e->code;
        if (m_currentImage >= 0) {
            try {
                Detach();
            } catch (CTavException* inner) {
                inner->Delete();
            }
        }
        throw;
    }
}

void CTavRepository::Detach() {
    DropPrefetched();
    ClearImageSlot();
    m_security.reset();
    m_baselines.reset();
}

CTavRepErrorCallback* CTavRepository::SetRepErrorCallback(CTavRepErrorCallback* callback) {
    CTavRepErrorCallback* previous = m_errorCallback;
    m_errorCallback = callback != nullptr ? callback : &DefaultCallback();
    return previous == &DefaultCallback() ? nullptr : previous;
}

int CTavRepository::BeginTrans(uint32_t timeoutMs) {
    if (m_currentImage < 0 || !m_images[size_t(m_currentImage)]) return 0;
    m_createdInRun.clear();
    m_entryUndo.clear();
    m_baselineCountAtBegin = m_baselines ? m_baselines->items.size() : 0;
    m_entryPointAtBegin = m_baselines ? m_baselines->entryPoint : TavPosition{0, 0};
    m_room = {};  // a run asks the volume afresh
    return m_images[size_t(m_currentImage)]->BeginTrans(timeoutMs);
}

int CTavRepository::CommitTrans() {
    DropPrefetched();
    if (m_currentImage < 0) return 0;
    // Nothing is committed before every byte of the run is on the disk. A sync that fails
    // leaves the transaction open, so that RollbackTrans can still undo it.
    for (int32_t id = m_currentImage; id >= 0; --id) {
        CTavImage* image = m_images[size_t(id)].get();
        if (image != nullptr && image->InTrans() && !image->Sync()) return 0;
    }
    for (int32_t id = m_currentImage; id >= 0; --id)
        if (m_images[size_t(id)]) {
            m_images[size_t(id)]->EndTrans();
            // What a committed run appended must not count for the next run's save.
            m_images[size_t(id)]->appendedCount = 0;
        }
    m_createdInRun.clear();
    m_entryUndo.clear();
    return 1;
}

// Undoes what the transaction appended. An image started during the transaction, or one
// that held only its fixed blocks when it began, is deleted; an image that held blocks
// before is cut back to its length at BeginTrans, so committed baselines survive.
int CTavRepository::RollbackTrans() {
    DropPrefetched();
    if (m_currentImage < 0) return 0;
    for (int32_t id = 0; id <= m_currentImage; ++id) {
        CTavImage* image = m_images[size_t(id)].get();
        if (image == nullptr) continue;
        const bool held = image->InTrans();
        const bool created = m_createdInRun.count(uint32_t(id)) != 0;
        // An image that held only its fixed blocks carries nothing a baseline refers to.
        const bool emptyAtBegin = held && image->sizeAtBegin <= FIRST_DATA_BLOCK_OFFSET;
        if (created || emptyAtBegin) {
            image->EndTrans();
            image->ReleaseReadHandle();
            plat::RemoveFile(image->Path());
            image->appendedCount = 0;
            continue;
        }
        // A baseline saved in the transaction moved entry points to blocks that are being
        // undone: they name the baseline table they named before again.
        for (const auto& [undoId, before] : m_entryUndo) {
            if (undoId != uint32_t(id)) continue;
            uint8_t bytes[8];
            tavrep::PutLE32(bytes, before.image);
            tavrep::PutLE32(bytes + 4, before.offset);
            image->UpdateBlock(SECURITY_BLOCK_OFFSET, bytes, 8, 3 * 8);
        }
        if (held && image->appendedCount > 0) {
            image->TruncateTo(image->sizeAtBegin);
            image->Sync();
            image->EndTrans();
        } else {
            image->EndTrans();
        }
        image->appendedCount = 0;
    }
    // The list forgets the baselines saved in the transaction.
    if (!m_entryUndo.empty() && m_baselines && m_baselines->items.size() > m_baselineCountAtBegin) {
        m_baselines->items.resize(m_baselineCountAtBegin);
        m_baselines->entryPoint = m_entryPointAtBegin;
    }
    m_createdInRun.clear();
    m_entryUndo.clear();
    return 1;
}

// Starts image current + 1 at `path`; it carries the repository's password digest and
// newest entry point.
bool CTavRepository::StartNewImage(const std::string& path) {
    if (m_currentImage < 0 || uint32_t(m_currentImage) >= LAST_STARTED_IMAGE) return false;
    const uint32_t id = uint32_t(m_currentImage) + 1;
    TavPosition entry = m_baselines ? m_baselines->entryPoint : TavPosition{0, 0};
    if (entry.offset == 0) return false;  // never make a second "new repository"
    try {
        if (!CreateRepository(path, m_security.get(), id, entry, m_digest)) return false;
        PutImage(path, id);
    } catch (CTavException* e) {
        e->Delete();
        plat::RemoveFile(path);
        return false;
    }
    m_createdInRun.insert(id);
    return true;
}

uint32_t CTavRepository::StartFreshImage() {
    if (m_currentImage < 0 || !m_images[size_t(m_currentImage)]) return TAV_NONE;
    std::string path;
    BuildImagePath(path, m_images[size_t(m_currentImage)]->Path(), uint32_t(m_currentImage) + 1);
    if (!StartNewImage(path)) return TAV_NONE;
    m_createdInRun.erase(uint32_t(m_currentImage));  // BeginTrans starts the run afresh
    return uint32_t(m_currentImage);
}

void CTavRepository::ReleaseReadHandles() {
    for (auto& image : m_images)
        if (image) image->ReleaseReadHandle();
}
