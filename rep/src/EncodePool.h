// Worker threads that encode (compress and encrypt) content chunks ahead of the writer.
#pragma once
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

// The fingerprint of a file of several chunks, worked out on the threads that encode them:
// each chunk is added after the one before it, so the threads that read and write the
// blocks never spend their time on it. A thread that finishes a chunk before the one
// ahead of it has been added does not wait: it leaves the chunk in `ready`, and the thread
// that adds the chunk ahead adds it too (EncodeAndFinish).
struct EncodeJob;
struct HashChain {
    std::mutex mutex;
    CMD5Checksum state;                    // touched only by the thread whose turn it is
    uint64_t next = 0;                     // the index of the chunk to add next
    std::map<uint64_t, EncodeJob*> ready;  // encoded chunks waiting for their turn
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
    // Set when `raw` is a whole file: the encoder works out its fingerprint too, which
    // takes it off the thread that reads and writes.
    bool hashWhole = false;
    // Set for every chunk of a file of several chunks: the chunk is chunk `chainIndex` of
    // that file, and `hash` gets the fingerprint of the file's chunks up to this one. The
    // job is done only once its fingerprint is there.
    std::shared_ptr<HashChain> chain;
    uint64_t chainIndex = 0;
    CMD5Checksum hash;

    void Wait();
    void MarkDone();
    bool IsDone();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
};

// Encodes `job` on the calling thread with a codec table kept per thread and marks it done;
// a chunk of a chain whose turn has not come is marked done later, by the thread that adds
// the chunk before it to the fingerprint. The pool takes jobs in the order they were
// submitted, so that chunk is always done or being encoded by then.
void EncodeAndFinish(EncodeJob& job);

// A process-wide pool, started on first use; null when the machine has one core.
class CEncodePool {
public:
    static CEncodePool* Instance();
    ~CEncodePool();
    void Submit(EncodeJob* job);
    size_t Workers() const { return m_threads.size(); }
    // Encodes the oldest job still queued on the calling thread; false when none is queued.
    bool RunOneQueued();
    // Waits for `job`, encoding queued jobs meanwhile: the caller helps the workers rather
    // than sleep while jobs wait for one.
    void WaitHelping(EncodeJob& job);

private:
    explicit CEncodePool(size_t workers);
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<EncodeJob*> m_queue;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
};

}  // namespace tavrep
