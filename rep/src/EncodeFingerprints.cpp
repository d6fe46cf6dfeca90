// Fingerprints in the encode pool: the turns of a file's chunks, and two fingerprints worked
// side by side.
#include <algorithm>

#include "EncodePool.h"

namespace tavrep {

namespace {

// A fingerprint added without a partner is added in slices of this size, so that one that
// becomes due meanwhile can join it.
constexpr size_t SLICE = 8192;

CMD5Checksum& FingerprintState(EncodeJob& job) {
    return job.hashWhole ? job.hash : job.chain->state;
}

bool IsDone(const EncodeJob* until) {
    return until != nullptr && until->partsLeft.load(std::memory_order_acquire) == 0;
}

// A chunk on its way into its fingerprint.
struct Lane {
    EncodeJob* job = nullptr;
    CMD5Checksum* state = nullptr;
    const uint8_t* next = nullptr;
    size_t left = 0;

    void Start(EncodeJob* j) {
        job = j;
        if (j == nullptr) return;
        state = &FingerprintState(*j);
        next = j->raw.data() + j->hashed;
        left = j->raw.size() - j->hashed;
    }
    void Add(size_t count) {
        state->Update(next, count);
        next += count;
        left -= count;
    }
    // The chunk is in: the lane goes on with the next chunk of the same file if it waits.
    void Done() {
        EncodeJob* following = job->hashWhole ? nullptr : ChunkAdded(*job);
        FinishPart(*job);
        Start(following);
    }
    // Under the pool's mutex: the chunk goes back to the head of the queue, with its turn.
    void GiveBack(std::deque<EncodeJob*>& due) {
        if (job == nullptr) return;
        job->hashed = job->raw.size() - left;
        due.push_front(job);
        job = nullptr;
    }
};

}  // namespace

bool OfferChunk(EncodeJob& job) {
    std::lock_guard<std::mutex> lock(job.chain->mutex);
    if (job.chain->next == job.chainIndex) return true;
    job.chain->waiting.emplace(job.chainIndex, &job);
    return false;
}

EncodeJob* ChunkAdded(EncodeJob& job) {
    HashChain& chain = *job.chain;
    job.hash = chain.state;
    std::lock_guard<std::mutex> lock(chain.mutex);
    ++chain.next;
    auto it = chain.waiting.find(chain.next);
    if (it == chain.waiting.end()) return nullptr;
    EncodeJob* following = it->second;
    chain.waiting.erase(it);
    return following;
}

bool LeadsTo(const EncodeJob& job, const EncodeJob* until) {
    return until != nullptr && (&job == until || (until->chain && job.chain == until->chain));
}

void FinishPart(EncodeJob& job) {
    if (job.partsLeft.fetch_sub(1, std::memory_order_acq_rel) == 1) job.MarkDone();
}

void AddFingerprintAlone(EncodeJob& job) {
    Lane lane;
    for (lane.Start(&job); lane.job != nullptr;) {
        lane.Add(lane.left);
        lane.Done();
    }
}

void CEncodePool::AddFingerprints(EncodeJob* first, EncodeJob* second, const EncodeJob* until) {
    Lane lanes[2];
    lanes[0].Start(first);
    lanes[1].Start(second);
    for (;;) {
        while (lanes[0].job != nullptr && lanes[1].job != nullptr) {
            CMD5Checksum::UpdateTwo(*lanes[0].state, lanes[0].next, lanes[0].left, *lanes[1].state,
                                    lanes[1].next, lanes[1].left);
            for (Lane& lane : lanes)
                if (lane.left == 0) lane.Done();
            if (IsDone(until)) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    for (Lane& lane : lanes) lane.GiveBack(m_due);
                }
                m_cv.notify_all();
                return;
            }
        }
        Lane& lane = lanes[0].job != nullptr ? lanes[0] : lanes[1];
        Lane& empty = lanes[0].job != nullptr ? lanes[1] : lanes[0];
        bool done;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_due.empty()) {
                empty.Start(m_due.front());
                m_due.pop_front();
                continue;
            }
            if (lane.job == nullptr) return;
            // Alone, a lane gives its chunk back while there is encoding to do, as another
            // fingerprint may be due by then to work beside it; but not a chunk the waiting
            // thread needs. A thread whose job is done goes back to its own work.
            done = IsDone(until);
            if (done || (!m_encode.empty() && !LeadsTo(*lane.job, until))) lane.GiveBack(m_due);
        }
        if (lane.job == nullptr) {
            if (done) m_cv.notify_one();  // a worker may be asleep
            return;
        }
        lane.Add(std::min(lane.left, SLICE));
        if (lane.left == 0) lane.Done();
    }
}

}  // namespace tavrep
