#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/parse/HitRecord.h"

// One filled batch as the parsing thread handed it on.
struct hit_batch_t {
    hit_t* hits = nullptr;
    int filled = 0;                 // accepted slots, in log order
    std::uint64_t parsedBytes = 0;  // run bytes parsed when the batch was complete
    bool chunkEnd = false;          // the last batch of a chunk of lines
    bool viewBegins = false;        // the first batch of a view
};

// A fixed ring of hit batches between one parsing thread (the producer) and the thread that
// hands hits on (the consumer). Batches come out in the order they went in; a slot is filled
// again only after the consumer released it, so the consumer may read a batch in place. The
// ring allocates once, at construction.
class CBatchRing {
public:
    explicit CBatchRing(int batches);
    CBatchRing(const CBatchRing&) = delete;
    CBatchRing& operator=(const CBatchRing&) = delete;

    // Empties the ring for the next file. Only while no producer runs.
    void Reset();

    // Producer: the slot to fill next, once the consumer has released it; nullptr when the
    // consumer stopped.
    hit_t* WaitFree();
    // Producer: whether WaitFree would return at once.
    bool HasFree();
    // Producer: hands the slot from WaitFree on.
    void Publish(int filled, std::uint64_t parsedBytes, bool chunkEnd = false,
                 bool viewBegins = false);
    // Producer: no more batches; result is what the producer ended with.
    void Finish(int result);

    // Consumer: the oldest unread batch; false once the producer finished and every batch was
    // taken (or after Stop).
    bool Take(hit_batch_t& batch);
    // Consumer: Take without waiting: 1 with a batch, 0 when none is ready yet, -1 when none
    // will come.
    int Poll(hit_batch_t& batch);
    // Consumer: gives the batch from Take back for filling.
    void Release();
    // Consumer: ends the exchange; the producer's WaitFree returns nullptr from now on.
    void Stop();
    // The producer's result after Finish.
    int Result() const { return m_result; }

private:
    // Whether a waiting producer may go on: half the ring is free.
    bool ProducerMayGo() const;

    const int m_count;
    std::unique_ptr<hit_t[]> m_hits;
    std::unique_ptr<hit_batch_t[]> m_batches;
    std::mutex m_mutex;
    std::condition_variable m_filled;
    std::condition_variable m_freed;
    std::uint64_t m_published = 0;
    std::uint64_t m_taken = 0;
    std::uint64_t m_released = 0;
    bool m_finished = false;
    bool m_consumerWaits = false;
    bool m_producerWaits = false;
    bool m_stopped = false;
    int m_result = 0;
};
