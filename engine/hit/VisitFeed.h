#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/EngineApi.h"
#include "engine/parse/HitRecord.h"
#include "engine/session/VisitorSessions.h"

// Hands the visits of counted hits to the visitor sessions in batches, in counting order. A
// kept visit carries copies of the texts it needs that have no pool copy, since the record it
// came from is reused at once. A full batch waits until some thread counts it: the counting
// thread when it has no free batch left (or at Finish) or no parsed batch to count, or the
// parsing thread while its ring of parsed batches is full: either would otherwise sit idle.
// The sessions are touched by one thread at a time, batch after batch in order, and by
// nothing else meanwhile.
class LOGVANE_ENGINE_API CVisitFeed {
public:
    static constexpr int kBatchVisits = 256;
    static constexpr int kBatches = 4;

    explicit CVisitFeed(CVisitorSessions& sessions);
    ~CVisitFeed();
    CVisitFeed(const CVisitFeed&) = delete;
    CVisitFeed& operator=(const CVisitFeed&) = delete;

    // Keeps a copy of `visit` (counting thread only).
    void Keep(const visit_t& visit);
    // Counts the oldest waiting batch unless another thread is counting one. False when no
    // batch waited or the sessions were busy. Any thread.
    bool TryCountWaiting();
    // Counts every kept visit, the batch being filled too, waiting for any batch another
    // thread is counting (counting thread only).
    void Finish();

private:
    // A batch's texts are packed one after another, so that a batch of visits without
    // cookies or user names touches a few pages of its room, not all of them.
    struct batch_t {
        std::unique_ptr<visit_t[]> visits;
        std::unique_ptr<path_item_t[]> items;
        std::unique_ptr<char[]> texts;  // room for three whole texts a visit
        std::size_t textsUsed = 0;
        int count = 0;
    };

    // Queues the batch being filled and takes a free one, counting waiting batches until one
    // is free.
    void Submit();
    bool CountWaiting(bool wait);

    CVisitorSessions& m_sessions;
    batch_t m_batches[kBatches];
    int m_filling = 0;  // the batch Keep fills; the counting thread's alone
    // Held while a batch is counted: the order of counting is that of taking.
    std::mutex m_countMutex;
    // Guards the queue below. Waiting batches are m_waiting[m_firstWaiting ..] in order, at
    // most kBatches; a batch is free when neither filled nor waiting.
    std::mutex m_queueMutex;
    int m_waiting[kBatches] = {};
    int m_firstWaiting = 0;
    int m_waitingCount = 0;
    bool m_free[kBatches] = {};
};
