// Worker threads that encode (compress and encrypt) content chunks ahead of the writer.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tavrep/MD5Checksum.h"

namespace tavrep {

// Bytes whose storage is not zeroed when a vector grows: a chunk buffer is sized to the
// whole chunk and then filled by a read, so clearing it first would be wasted work.
template <typename T>
struct UninitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <typename U>
    UninitAllocator(const UninitAllocator<U>&) {}
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using ChunkBytes = std::vector<uint8_t, UninitAllocator<uint8_t>>;

// The fingerprint of a file of several chunks, worked out on the threads that encode: each
// chunk is added after the one before it, so the threads that read and write the blocks
// never spend their time on it. A chunk read before its turn has come waits in `waiting`
// until the thread that adds the chunk ahead of it hands it on (ChunkAdded).
struct EncodeJob;
struct HashChain {
    std::mutex mutex;
    CMD5Checksum state;                      // touched only by the thread adding chunk `next`
    uint64_t next = 0;                       // the chunk whose turn it is
    std::map<uint64_t, EncodeJob*> waiting;  // chunks whose turn has not come
};

// One chunk travelling through the pool: the raw bytes in, the stored bytes out.
struct EncodeJob {
    ChunkBytes raw;
    std::vector<uint8_t> stored;
    uint32_t coding = 0;
    bool failed = false;
    // Parameters taken from the image at submit time.
    uint32_t compression = 0;
    int level = -1;
    uint32_t encryption = 0;
    const char* password = nullptr;  // 128-byte field, alive until the job is done
    // Set when `raw` is a whole file: the pool works out its fingerprint too, which takes
    // it off the thread that reads and writes.
    bool hashWhole = false;
    // Set for every chunk of a file of several chunks: the chunk is chunk `chainIndex` of
    // that file, and `hash` gets the fingerprint of the file's chunks up to this one. The
    // job is done only once its fingerprint is there.
    std::shared_ptr<HashChain> chain;
    uint64_t chainIndex = 0;
    CMD5Checksum hash;
    // The parts still to do (encoding, fingerprint); the job is done when the last one is.
    std::atomic<int> partsLeft{0};
    size_t hashed = 0;  // bytes of `raw` in the fingerprint so far

    void Wait();
    void MarkDone();
    bool IsDone();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
};

// Encodes `job` on the calling thread with a codec table kept per thread, adds it to its
// fingerprint and marks it done; a chunk whose turn has not come is added and marked done
// later, by the thread that adds the chunk before it.
void EncodeAndFinish(EncodeJob& job);

// The turns of a file's chunks (EncodeFingerprints.cpp).
// Whether the chunk's turn has come; if not, it waits until the chunk ahead hands it on.
bool OfferChunk(EncodeJob& job);
// The chunk is in its file's fingerprint: the job gets the fingerprint so far, and the chunk
// after it, whose turn has come now, is returned if it is waiting.
EncodeJob* ChunkAdded(EncodeJob& job);
// Whether adding `job` to its fingerprint brings `until` nearer: it is that job, or a chunk
// of the same file.
bool LeadsTo(const EncodeJob& job, const EncodeJob* until);
// Adds the due `job` to its fingerprint on the calling thread, then each chunk of the same
// file that waits for it.
void AddFingerprintAlone(EncodeJob& job);
// One part of a job is through; the thread that does the last marks the job done.
// Neither touches the job after this, as its owner may destroy it at once.
void FinishPart(EncodeJob& job);

// A process-wide pool, started on first use; null when the machine has one core. A job's
// encoding and its fingerprint are separate pieces of work: chunks are encoded in the order
// they were submitted, and fingerprints are worked two at a time where two are due, since
// MD5 takes one step after another and one stream leaves most of a core idle.
class CEncodePool {
public:
    static CEncodePool* Instance();
    ~CEncodePool();
    void Submit(EncodeJob* job);
    size_t Workers() const { return m_threads.size(); }
    // Waits for `job`, working on queued jobs meanwhile: the caller helps the workers rather
    // than sleep while work waits for one.
    void WaitHelping(EncodeJob& job);

private:
    explicit CEncodePool(size_t workers);
    void Run();
    // Does one piece of queued work with `lock` released meanwhile; false when none is queued.
    bool WorkOnce(std::unique_lock<std::mutex>& lock, const EncodeJob* until);
    // Adds due chunks to their fingerprints, two side by side while two are at hand; a
    // thread waiting for `until` stops once that is done (EncodeFingerprints.cpp).
    void AddFingerprints(EncodeJob* first, EncodeJob* second, const EncodeJob* until);

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<EncodeJob*> m_encode;  // jobs not yet taken for encoding, oldest first
    std::deque<EncodeJob*> m_due;  // jobs whose fingerprint can be added now, at most one per file
    std::vector<std::thread> m_threads;
    bool m_stop = false;
};

}  // namespace tavrep
