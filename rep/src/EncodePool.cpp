// The encode pool: a few workers with their own codec tables.
#include "EncodePool.h"

#include <cstring>
#include <memory>

#include "Codecs.h"
#include "tavrep/TavException.h"

namespace tavrep {

namespace {
constexpr size_t MAX_WORKERS = 4;

struct ThreadCodecs {
    char password[128] = {};
    std::unique_ptr<TavCodecTable> table;
};
}  // namespace

void EncodeJob::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return m_done; });
}

bool EncodeJob::IsDone() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done;
}

// Notifies while holding the lock: a waiter that sees the job done may destroy it at once,
// so the condition variable must not be touched after the lock is released.
void EncodeJob::MarkDone() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done = true;
    m_cv.notify_all();
}

namespace {

void Encode(EncodeJob& job) {
    thread_local ThreadCodecs codecs;
    try {
        if (!codecs.table ||
            std::memcmp(codecs.password, job.password, sizeof(codecs.password)) != 0) {
            std::memcpy(codecs.password, job.password, sizeof(codecs.password));
            codecs.table = std::make_unique<TavCodecTable>(codecs.password);
        }
        job.coding = EncodePayload(job.raw.data(), job.raw.size(), 0,
                                   codecs.table->Compressor(job.compression), job.level,
                                   codecs.table->Encryptor(job.encryption), job.stored);
        if (job.hashWhole) job.hash.Update(job.raw.data(), job.raw.size());
    } catch (...) {
        // The writer reports the block as not stored; what was thrown is released here.
        TakeCurrentException();
        job.failed = true;
    }
}

}  // namespace

void EncodeAndFinish(EncodeJob& job) {
    Encode(job);
    if (!job.chain) {
        job.MarkDone();
        return;
    }
    // A chunk that failed still takes its turn: the file is not stored then, and the chunks
    // behind it must not wait for ever. The chain is held here, since a job marked done may
    // be destroyed at once, and with it the last other hold on the chain.
    const std::shared_ptr<HashChain> chain = job.chain;
    {
        std::lock_guard<std::mutex> lock(chain->mutex);
        if (chain->next != job.chainIndex) {
            chain->ready.emplace(job.chainIndex, &job);
            return;
        }
    }
    // This thread's turn: it adds the job, then each chunk already waiting behind it.
    for (EncodeJob* turn = &job; turn != nullptr;) {
        chain->state.Update(turn->raw.data(), turn->raw.size());
        turn->hash = chain->state;
        EncodeJob* following = nullptr;
        {
            std::lock_guard<std::mutex> lock(chain->mutex);
            ++chain->next;
            if (auto it = chain->ready.find(chain->next); it != chain->ready.end()) {
                following = it->second;
                chain->ready.erase(it);
            }
        }
        turn->MarkDone();
        turn = following;
    }
}

CEncodePool* CEncodePool::Instance() {
    static CEncodePool* pool = [] {
        unsigned hw = std::thread::hardware_concurrency();
        if (hw <= 1) return static_cast<CEncodePool*>(nullptr);
        // The thread that writes the blocks encodes too while it waits (WaitHelping), so
        // one core is left to it.
        return new CEncodePool(std::min<size_t>(hw - 1, MAX_WORKERS));
    }();
    return pool;
}

CEncodePool::CEncodePool(size_t workers) {
    for (size_t i = 0; i < workers; ++i) m_threads.emplace_back([this] { Run(); });
}

CEncodePool::~CEncodePool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    for (auto& t : m_threads) t.join();
}

void CEncodePool::Submit(EncodeJob* job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(job);
    }
    m_cv.notify_one();
}

bool CEncodePool::RunOneQueued() {
    EncodeJob* job;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.empty()) return false;
        job = m_queue.front();
        m_queue.pop_front();
    }
    EncodeAndFinish(*job);
    return true;
}

void CEncodePool::WaitHelping(EncodeJob& job) {
    while (!job.IsDone())
        if (!RunOneQueued()) {
            job.Wait();
            return;
        }
}

void CEncodePool::Run() {
    for (;;) {
        EncodeJob* job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty()) return;
            job = m_queue.front();
            m_queue.pop_front();
        }
        EncodeAndFinish(*job);
    }
}

}  // namespace tavrep
