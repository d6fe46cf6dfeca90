// CTavRepository::AddFileContent: stores a file as a chain of content blocks.
//
// Chunks are read on the caller's thread, encoded and fingerprinted ahead by the encode
// pool, and written in order. Because the next chunk is read before a block is written,
// a block is written with the link to its successor already in its header; only when that
// prediction fails (a new image could not be started, a write failed, the observer asked
// to stop) is the header rewritten.
//
// A caller that knows which files it will store next announces them with
// PrefetchFileContent: their first chunks are read and handed to the pool at once, so that
// small files (one chunk each) are encoded side by side instead of one after the other.
// What is stored does not change: a file announced is read and encoded exactly as
// AddFileContent would, only earlier.
#include <algorithm>
#include <deque>
#include <memory>

#include "Codecs.h"
#include "ContentSource.h"
#include "EncodePool.h"
#include "platform/File.h"
#include "platform/SysError.h"
#include "tavrep/TavRepository.h"

namespace {

constexpr const char* TEXT_ACCESS_DENIED = "***** Access denied.";
constexpr const char* TEXT_NOT_FOUND = "***** File not found.";
constexpr const char* TEXT_UNKNOWN = "***** Unknown error.";
// Header, gzip framing with the headers of two stored deflate blocks, padding.
constexpr uint64_t BLOCK_OVERHEAD = BLOCK_HEADER_SIZE + 28 + 16;
constexpr int MAX_DISK_RETRIES = 1000;

// Why a file was not stored, as OnRepError hears it.
std::string ReadErrorText(uint32_t error) {
    return "***** Not stored: read error (" + plat::ErrorText(error) + ").";
}
std::string WriteErrorText(uint32_t error) {
    if (error == plat::ERR_DISK_FULL) return "***** Not stored: disk full (" + plat::ErrorText(error) + ").";
    return "***** Not stored: the image cannot be written (" + plat::ErrorText(error) + ").";
}
constexpr const char* TEXT_NO_ROOM =
    "***** Not stored: disk full (the image folder has too little free space for it).";
constexpr const char* TEXT_CHANGED =
    "***** Not stored: the file changed while it was read (its size is not the one listed).";

const char* OpenErrorText(uint32_t error) {
    if (error == plat::ERR_SHARING_VIOLATION || error == plat::ERR_ACCESS_DENIED) return TEXT_ACCESS_DENIED;
    if (error == plat::ERR_FILE_NOT_FOUND || error == plat::ERR_PATH_NOT_FOUND) return TEXT_NOT_FOUND;
    return TEXT_UNKNOWN;
}

// Chunks of one file read ahead of the one being written: four for every thread that
// encodes (the workers and the writer, which helps them while it waits). With fewer, the
// writer and a worker often both encode while nothing more is queued, and the worker
// sleeps until the writer has written and read again: on two cores a full backup then
// spent a tenth of its time with one core idle.
size_t ChunksAhead(const tavrep::CEncodePool* pool) { return pool ? (pool->Workers() + 1) * 4 : 1; }

tavrep::ContentCoding CodingOf(const CTavImage& image, const TavImageSecurity& security) {
    uint32_t compression = image.Compression();
    int level = image.Level();
    tavrep::CheckedCompression(compression, level);
    return {compression, level, image.Encryption(), security.password};
}

}  // namespace

namespace tavrep {

CContentSource::CContentSource(std::string path, std::unique_ptr<plat::CFile> file, uint32_t chunk,
                               CEncodePool* pool)
    : m_path(std::move(path)), m_file(std::move(file)), m_chunk(chunk), m_pool(pool) {
    const int64_t size = m_file->SizeAtOpen();
    m_size = size > 0 ? uint64_t(size) : 0;
}

CContentSource::~CContentSource() { Drain(); }

void CContentSource::ReadNext(const ContentCoding& coding) {
    if (m_endOfFile) return;
    auto job = std::make_unique<EncodeJob>();
    job->raw.resize(m_chunk);
    const int64_t n = m_file->ReadFull(job->raw.data(), m_chunk,
                                       m_size > m_bytesRead ? m_size - m_bytesRead : 0);
    if (n <= 0) {  // end of file, or a read error
        if (n < 0) m_readError = plat::GetLastError() != 0 ? plat::GetLastError() : plat::ERR_GEN_FAILURE;
        m_endOfFile = true;
        return;
    }
    m_bytesRead += uint64_t(n);
    const bool first = !m_readAny;
    m_readAny = true;
    // ReadFull stops short only at the end of the file: no need to ask once more.
    if (uint64_t(n) < m_chunk) m_endOfFile = true;
    job->hashWhole = first && m_endOfFile;
    if (!job->hashWhole) {
        if (!m_chain) m_chain = std::make_shared<HashChain>();
        job->chain = m_chain;
        job->chainIndex = m_chunksRead;
    }
    ++m_chunksRead;
    job->raw.resize(size_t(n));
    job->compression = coding.compression;
    job->level = coding.level;
    job->encryption = coding.encryption;
    job->password = coding.password;
    if (m_pool != nullptr) {
        m_pool->Submit(job.get());
    } else {
        EncodeAndFinish(*job);
    }
    m_pending.push_back(std::move(job));
}

void CContentSource::Drain() {
    for (auto& job : m_pending) {
        if (m_pool != nullptr)
            m_pool->WaitHelping(*job);
        else
            job->Wait();
    }
    m_pending.clear();
}

std::unique_ptr<CContentSource> CReadAhead::Take(const std::string& path, uint32_t chunk,
                                                 const ContentCoding& coding) {
    size_t at = 0;
    while (at < m_sources.size() && m_sources[at]->Path() != path) ++at;
    if (at == m_sources.size()) return nullptr;
    std::unique_ptr<CContentSource> source = std::move(m_sources[at]);
    m_sources.erase(m_sources.begin(), m_sources.begin() + long(at) + 1);
    if (source->Chunk() != chunk) return nullptr;
    for (const auto& job : source->Pending()) {
        const ContentCoding used{job->compression, job->level, job->encryption, job->password};
        if (!(used == coding)) return nullptr;
    }
    return source;
}

}  // namespace tavrep

bool CTavRepository::PrefetchFileContent(const char* path, uint32_t chunkSize) {
    if (path == nullptr || m_currentImage < 0 || !m_images[size_t(m_currentImage)] || !m_security)
        return false;
    tavrep::CEncodePool* pool = tavrep::CEncodePool::Instance();
    if (pool == nullptr) return false;  // one core: nothing to gain
    if (!m_readAhead) m_readAhead = std::make_unique<tavrep::CReadAhead>();
    if (m_readAhead->Full()) return false;
    // A file that cannot be opened now is left to AddFileContent, which reports why; the
    // thread's last error stays as it was.
    const uint32_t lastError = plat::GetLastError();
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                                  nullptr, plat::FileHint::Sequential);
    plat::SetLastError(lastError);
    if (!file) return true;
    auto source = std::make_unique<tavrep::CContentSource>(path, std::move(file),
                                                           VerifyChunkSize(chunkSize), pool);
    const tavrep::ContentCoding coding = CodingOf(*m_images[size_t(m_currentImage)], *m_security);
    const size_t window = ChunksAhead(pool);
    while (source->Pending().size() < window && !source->EndOfFile()) source->ReadNext(coding);
    m_readAhead->Push(std::move(source));
    return true;
}

void CTavRepository::DropPrefetched() {
    if (m_readAhead) m_readAhead->Clear();
}

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
            m_images[size_t(m_currentImage)]->BeginTrans(TAV_TRANS_TIMEOUT_MS);
        } catch (CTavException* e) {
            e->Delete();
            return false;
        }
    }
    return true;
}

TavPosition CTavRepository::AddFileContent(const char* path, uint32_t chunkSize,
                                           CTavRepositoryObserver* observer, CMD5Checksum* md5,
                                           uint64_t expectedSize) {
    if (path == nullptr || m_currentImage < 0) return {0, 0};
    const uint32_t chunk = VerifyChunkSize(chunkSize);
    const TavImageSecurity& security = *m_security;
    auto codingNow = [&]() { return CodingOf(*m_images[size_t(m_currentImage)], security); };

    std::unique_ptr<tavrep::CContentSource> source;
    if (m_readAhead && !m_readAhead->Empty()) source = m_readAhead->Take(path, chunk, codingNow());
    if (!source) {
        uint32_t error = 0;
        auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                                      &error, plat::FileHint::Sequential);
        if (!file) {
            if (observer != nullptr) observer->OnRepError(path, OpenErrorText(error));
            return {0, 0};
        }
        source = std::make_unique<tavrep::CContentSource>(path, std::move(file), chunk, nullptr);
        const uint64_t chunks = (source->Size() + chunk - 1) / chunk;
        source->UsePool(chunks > 1 ? tavrep::CEncodePool::Instance() : nullptr);
    }
    const uint64_t size = expectedSize != UINT64_MAX ? expectedSize : source->Size();
    const uint64_t chunks = (size + chunk - 1) / chunk;
    // A file is stored whole or not at all: a chain cut by a failure would pass a shorter
    // file off as the item.
    auto fail = [&](const std::string& why) -> TavPosition {
        source->Drain();
        if (observer != nullptr) observer->OnRepError(path, why.c_str());
        return {0, 0};
    };
    if (!PrepareRoom(std::max(size, source->Size()) + (chunks + 1) * BLOCK_OVERHEAD))
        return fail(TEXT_NO_ROOM);
    if (md5 != nullptr) md5->Reset();

    CTavImage* start = m_images[size_t(m_currentImage)].get();
    CTavImage* image = start;
    tavrep::CEncodePool* pool = source->Pool();
    const size_t window = ChunksAhead(pool);
    std::deque<std::unique_ptr<tavrep::EncodeJob>>& pending = source->Pending();

    TavPosition first{0, 0};
    TavPosition previous{0, 0};
    TavPosition predicted{0, 0};  // where the previous block's header says the next one is
    uint64_t written = 0;
    std::string failure;
    while (true) {
        while (pending.size() < window + 1 && !source->EndOfFile() && source->BytesRead() <= size)
            source->ReadNext(codingNow());
        // A file that grew is not read on past its size; one that failed or shrank is not
        // stored either.
        if (source->ReadError() != 0) {
            failure = ReadErrorText(source->ReadError());
            break;
        }
        if (source->BytesRead() > size || (source->EndOfFile() && source->BytesRead() < size)) {
            failure = TEXT_CHANGED;
            break;
        }
        if (pending.empty()) {
            if (!source->ReadAny()) {  // empty file
                first = AddBlock(nullptr, 0, 0, BLOCK_KIND_CONTENT);
                if (first.offset == 0) failure = WriteErrorText(plat::GetLastError());
            }
            break;
        }
        tavrep::EncodeJob& job = *pending.front();
        if (pool != nullptr)
            pool->WaitHelping(job);
        else
            job.Wait();
        image = job.failed ? nullptr : ImageForBlock(job.raw.size());
        const uint32_t end = image ? image->GetImageSize() : 0;
        if (image == nullptr || end == 0xFFFFFFFF) {
            failure = WriteErrorText(job.failed ? plat::ERR_GEN_FAILURE : plat::GetLastError());
            break;
        }
        const TavPosition here{uint32_t(m_currentImage), end};
        if (previous.offset != 0 && !(predicted == here)) LinkBlock(previous, here);
        // Predict where the next block will go (the same rule ImageForBlock applies).
        TavPosition next{0, 0};
        if (pending.size() > 1) {
            const uint64_t after = uint64_t(end) + BLOCK_HEADER_SIZE + job.stored.size();
            if (after + pending[1]->raw.size() < ImageLimit())
                next = {here.image, uint32_t(after)};
            else
                next = {here.image + 1, FIRST_DATA_BLOCK_OFFSET};
        }
        const uint32_t kind = BLOCK_KIND_CONTENT | (next.offset ? (next.image & BLOCK_NEXT_IMAGE_MASK) : 0);
        const uint32_t offset = image->WriteEncodedBlock(job.stored, job.coding, kind, next.offset);
        if (offset == 0) {
            failure = WriteErrorText(plat::GetLastError());
            break;
        }
        const TavPosition p{here.image, offset};
        // The fingerprint covers exactly the chunks that were stored: the pool worked it
        // out from the same fresh start, up to this chunk.
        if (md5 != nullptr) {
            if (job.hashWhole || job.chain)
                *md5 = job.hash;
            else
                md5->Update(job.raw.data(), job.raw.size());
        }
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
    if (!failure.empty()) {
        // The blocks written so far stay unreferenced; the chain ends where it was cut.
        if (previous.offset != 0) TerminateBlock(previous);
        return fail(failure);
    }
    source->Drain();
    return first;
}

// Ends a chain at `position`: kind CONTENT without a next image, link 0.
void CTavRepository::TerminateBlock(TavPosition position) {
    if (int64_t(position.image) > m_currentImage || !m_images[position.image]) return;
    m_images[position.image]->UpdateBlockHeader(position.offset, BLOCK_KIND_CONTENT, 0);
}
