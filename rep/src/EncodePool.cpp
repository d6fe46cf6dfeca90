// The encode pool: a few workers with their own codec tables.
#include "EncodePool.h"

#include <algorithm>
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
    } catch (...) {
        // The writer reports the block as not stored; what was thrown is released here.
        TakeCurrentException();
        job.failed = true;
    }
}

}  // namespace

void EncodeAndFinish(EncodeJob& job) {
    Encode(job);
    // A chunk that failed still takes its turn: the file is not stored then, and the chunks
    // behind it must not wait for ever. A chunk that waits is added by the thread that adds
    // the chunk ahead of it.
    job.partsLeft.store(1, std::memory_order_relaxed);  // the fingerprint
    if (!job.hashWhole && !job.chain)
        FinishPart(job);
    else if (job.hashWhole || OfferChunk(job))
        AddFingerprintAlone(job);
}

CEncodePool* CEncodePool::Instance() {
    static CEncodePool* pool = [] {
        unsigned hw = std::thread::hardware_concurrency();
        if (hw <= 1) return static_cast<CEncodePool*>(nullptr);
        // The thread that writes the blocks works too while it waits (WaitHelping), so one
        // core is left to it.
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
    job->partsLeft.store(job->hashWhole || job->chain ? 2 : 1, std::memory_order_relaxed);
    // A chunk whose turn has not come is queued for its fingerprint by the thread that adds
    // the chunk before it.
    const bool due = job->hashWhole || (job->chain && OfferChunk(*job));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_encode.push_back(job);
        if (due) m_due.push_back(job);
    }
    m_cv.notify_one();
    if (due) m_cv.notify_one();
}

// What a thread does next: the fingerprint that the job it waits for needs, beside another;
// else two fingerprints side by side; else encoding, which is never short of work for
// long; and a fingerprint alone only when nothing else is queued.
bool CEncodePool::WorkOnce(std::unique_lock<std::mutex>& lock, const EncodeJob* until) {
    auto take = [this](std::deque<EncodeJob*>::iterator it) {
        EncodeJob* job = *it;
        m_due.erase(it);
        return job;
    };
    auto needed = m_due.end();
    if (until != nullptr)
        needed = std::find_if(m_due.begin(), m_due.end(),
                              [until](EncodeJob* due) { return LeadsTo(*due, until); });
    EncodeJob* first = nullptr;
    if (needed != m_due.end()) {
        first = take(needed);
    } else if (m_due.size() >= 2 || (!m_due.empty() && m_encode.empty())) {
        first = take(m_due.begin());
    } else if (!m_encode.empty()) {
        EncodeJob* job = m_encode.front();
        m_encode.pop_front();
        lock.unlock();
        Encode(*job);
        FinishPart(*job);
        lock.lock();
        return true;
    } else {
        return false;
    }
    EncodeJob* second = m_due.empty() ? nullptr : take(m_due.begin());
    lock.unlock();
    AddFingerprints(first, second, until);
    lock.lock();
    return true;
}

void CEncodePool::WaitHelping(EncodeJob& job) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!job.IsDone())
        if (!WorkOnce(lock, &job)) {
            // What is left of the job is in another thread's hands.
            lock.unlock();
            job.Wait();
            return;
        }
}

void CEncodePool::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (WorkOnce(lock, nullptr)) continue;
        if (m_stop) return;
        m_cv.wait(lock, [this] { return m_stop || !m_encode.empty() || !m_due.empty(); });
    }
}

}  // namespace tavrep
