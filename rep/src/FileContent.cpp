// CTavRepository::AddFileContent: stores a file as a chain of content blocks.
//
// Chunks are read and fingerprinted on the caller's thread, encoded ahead by the encode
// pool, and written in order. Because the next chunk is read before a block is written,
// a block is written with the link to its successor already in its header; only when that
// prediction fails (a new image could not be started, a write failed, the observer asked
// to stop) is the header rewritten.
#include <deque>
#include <memory>

#include "EncodePool.h"
#include "platform/File.h"
#include "platform/SysError.h"
#include "tavrep/TavRepository.h"

namespace {

constexpr const char* TEXT_ACCESS_DENIED = "***** Access denied.";
constexpr const char* TEXT_NOT_FOUND = "***** File not found.";
constexpr const char* TEXT_UNKNOWN = "***** Unknown error.";
constexpr uint32_t TRANS_TIMEOUT_MS = 5000;
constexpr uint32_t FIRST_BLOCK_OF_NEW_IMAGE = 312;  // behind the two fixed blocks
constexpr uint64_t BLOCK_OVERHEAD = 20 + 18 + 16;  // header, gzip framing, padding
constexpr int MAX_DISK_RETRIES = 1000;

const char* OpenErrorText(uint32_t error) {
    if (error == plat::ERR_SHARING_VIOLATION || error == plat::ERR_ACCESS_DENIED) return TEXT_ACCESS_DENIED;
    if (error == plat::ERR_FILE_NOT_FOUND || error == plat::ERR_PATH_NOT_FOUND) return TEXT_NOT_FOUND;
    return TEXT_UNKNOWN;
}

}  // namespace

// Checks the room for `needed` bytes beside the current image, asking OnChangeDisk when it
// is short; a path changed by the callback starts the next image there.
bool CTavRepository::PrepareRoom(uint64_t needed) {
    const std::string current = GetCurrentRepPath();
    std::string buffer = current;
    for (int attempt = 0; !RoomFor(needed, buffer); ++attempt)
        if (attempt >= MAX_DISK_RETRIES || m_errorCallback->OnChangeDisk(this, buffer) == 0) return false;
    if (buffer == current) return true;
    const bool inTrans = m_images[size_t(m_currentImage)]->InTrans();
    if (!StartNewImage(buffer)) return false;
    if (inTrans) {
        try {
            m_images[size_t(m_currentImage)]->BeginTrans(TRANS_TIMEOUT_MS);
        } catch (CTavException* e) {
            e->Delete();
            return false;
        }
    }
    return true;
}

TavPosition CTavRepository::AddFileContent(const char* path, uint32_t chunkSize,
                                           CTavRepositoryObserver* observer, CMD5Checksum* md5) {
    if (path == nullptr || m_currentImage < 0) return {0, 0};
    uint32_t error = 0;
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                                  &error, plat::FileHint::Sequential);
    if (!file) {
        if (observer != nullptr) observer->OnRepError(path, OpenErrorText(error));
        return {0, 0};
    }
    const uint32_t chunk = VerifyChunkSize(chunkSize);
    const int64_t fileSize = file->Size();
    const uint64_t size = fileSize > 0 ? uint64_t(fileSize) : 0;
    const uint64_t chunks = (size + chunk - 1) / chunk;
    if (!PrepareRoom(size + (chunks + 1) * BLOCK_OVERHEAD)) return {0, 0};
    if (md5 != nullptr) md5->Reset();

    CTavImage* start = m_images[size_t(m_currentImage)].get();
    CTavImage* image = start;
    const TavImageSecurity& security = *m_security;
    tavrep::CEncodePool* pool = chunks > 1 ? tavrep::CEncodePool::Instance() : nullptr;
    const size_t window = pool ? pool->Workers() * 2 + 2 : 1;

    std::deque<std::unique_ptr<tavrep::EncodeJob>> pending;
    bool endOfFile = false;
    bool readAny = false;
    auto readNext = [&]() {
        auto job = std::make_unique<tavrep::EncodeJob>();
        job->raw.resize(chunk);
        int64_t n = file->ReadFull(job->raw.data(), chunk);
        if (n <= 0) {  // end of file, or a read error that ends the chain here
            endOfFile = true;
            return;
        }
        readAny = true;
        job->raw.resize(size_t(n));
        CTavImage* target = m_images[size_t(m_currentImage)].get();
        job->compression = target->Compression();
        job->level = target->Level();
        job->encryption = target->Encryption();
        job->password = security.password;
        if (pool != nullptr) {
            pool->Submit(job.get());
        } else {
            tavrep::EncodeOnThisThread(*job);
            job->MarkDone();
        }
        pending.push_back(std::move(job));
    };
    auto drain = [&]() {
        for (auto& job : pending) job->Wait();
        pending.clear();
    };

    TavPosition first{0, 0};
    TavPosition previous{0, 0};
    TavPosition predicted{0, 0};  // where the previous block's header says the next one is
    uint64_t written = 0;
    while (true) {
        while (pending.size() < window + 1 && !endOfFile) readNext();
        if (pending.empty()) {
            if (!readAny) first = AddBlock(nullptr, 0, 0, BLOCK_KIND_CONTENT);  // empty file
            break;
        }
        tavrep::EncodeJob& job = *pending.front();
        job.Wait();
        image = job.failed ? nullptr : ImageForBlock(job.raw.size());
        const uint32_t size = image ? image->GetImageSize() : 0;
        if (image == nullptr || size == 0xFFFFFFFF) {
            if (previous.offset != 0) TerminateBlock(previous);
            break;
        }
        const TavPosition here{uint32_t(m_currentImage), size};
        if (previous.offset != 0 && !(predicted == here)) LinkBlock(previous, here);
        // Predict where the next block will go (the same rule ImageForBlock applies).
        TavPosition next{0, 0};
        if (pending.size() > 1) {
            const uint64_t after = uint64_t(size) + 20 + job.stored.size();
            if (after + pending[1]->raw.size() < ImageLimit())
                next = {here.image, uint32_t(after)};
            else
                next = {here.image + 1, FIRST_BLOCK_OF_NEW_IMAGE};
        }
        const uint32_t kind = BLOCK_KIND_CONTENT | (next.offset ? (next.image & BLOCK_NEXT_IMAGE_MASK) : 0);
        const uint32_t offset = image->WriteEncodedBlock(job.stored, job.coding, kind, next.offset);
        if (offset == 0) {
            if (previous.offset != 0) TerminateBlock(previous);
            break;
        }
        const TavPosition p{here.image, offset};
        // The fingerprint covers exactly the chunks that were stored.
        if (md5 != nullptr) md5->Update(job.raw.data(), job.raw.size());
        if (first.offset == 0) first = p;
        previous = p;
        predicted = next;
        ++written;
        pending.pop_front();
        if (observer != nullptr) {
            uint64_t percent = chunks > 0 ? (100 * written + chunks / 2) / chunks : 100;
            if (percent > 100) percent = 100;
            if (observer->OnRepProgress(path, p, uint32_t(percent)) == 0) {
                if (next.offset != 0) TerminateBlock(p);
                break;
            }
        }
    }
    drain();
    return first;
}

// Ends a chain at `position`: kind CONTENT without a next image, link 0.
void CTavRepository::TerminateBlock(TavPosition position) {
    if (int64_t(position.image) > m_currentImage || !m_images[position.image]) return;
    m_images[position.image]->UpdateBlockHeader(position.offset, BLOCK_KIND_CONTENT, 0);
}
