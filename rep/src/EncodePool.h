// Worker threads that encode (compress and encrypt) content chunks ahead of the writer.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrep {

// One chunk travelling through the pool: the raw bytes in, the stored bytes out.
struct EncodeJob {
    std::vector<uint8_t> raw;
    std::vector<uint8_t> stored;
    uint32_t coding = 0;
    bool failed = false;
    // Parameters taken from the image at submit time.
    uint32_t compression = 0;
    int level = -1;
    uint32_t encryption = 0;
    const char* password = nullptr;  // 128-byte field, alive until the job is done

    void Wait();
    void MarkDone();
    bool IsDone();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
};

// Encodes `job` on the calling thread with a codec table kept per thread.
void EncodeOnThisThread(EncodeJob& job);

// A process-wide pool, started on first use; null when the machine has one core.
class CEncodePool {
public:
    static CEncodePool* Instance();
    ~CEncodePool();
    void Submit(EncodeJob* job);
    size_t Workers() const { return m_threads.size(); }
    // Encodes the oldest job still queued on the calling thread; false when none is queued.
    bool RunOneQueued();
    // Waits for `job`, encoding queued jobs meanwhile (the caller helps the workers rather
    // than sleep while jobs are waiting for one).
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
