#include "engine/hit/VisitFeed.h"

#include <cstring>
#include <span>

CVisitFeed::CVisitFeed(CVisitorSessions& sessions) : m_sessions(sessions) {
    for (batch_t& batch : m_batches) {
        batch.visits = std::make_unique<visit_t[]>(kBatchVisits);
        batch.items = std::make_unique<path_item_t[]>(kBatchVisits);
        // Not value-initialised: only the bytes written are ever read, so untouched pages stay
        // unmapped.
        batch.texts.reset(new char[std::size_t{3} * kHitTextSize * kBatchVisits]);
    }
    for (int i = 1; i < kBatches; ++i) m_free[i] = true;
}

CVisitFeed::~CVisitFeed() = default;

// The record's texts live only while its hit is counted: a kept visit points at pool copies
// or at copies of its own.
void CVisitFeed::Keep(const visit_t& visit) {
    batch_t* batch = &m_batches[m_filling];
    if (batch->count == kBatchVisits) {
        Submit();
        batch = &m_batches[m_filling];
    }
    visit_t& kept = batch->visits[batch->count];
    path_item_t& item = batch->items[batch->count];
    ++batch->count;
    kept = visit;
    const auto copy = [batch](std::string_view text) {
        char* room = batch->texts.get() + batch->textsUsed;
        // An absent text (no cookie) has no data pointer, which memcpy may not be given.
        if (!text.empty()) std::memcpy(room, text.data(), text.size());
        batch->textsUsed += text.size();
        return std::string_view(room, text.size());
    };
    kept.cookie = copy(visit.cookie);
    kept.host =
        visit.pooledHost ? std::string_view(visit.pooledHost, visit.host.size()) : copy(visit.host);
    kept.user = copy(visit.user);
    // The sessions find the visitor when they count the visit: they may be counting on another
    // thread now.
    kept.visitor = nullptr;
    if (visit.item) {
        item = *visit.item;
        kept.item = &item;
    }
}

void CVisitFeed::Submit() {
    while (true) {
        {
            std::lock_guard lock(m_queueMutex);
            int free = -1;
            for (int i = 0; i < kBatches && free < 0; ++i)
                if (m_free[i]) free = i;
            if (free >= 0) {
                m_waiting[(m_firstWaiting + m_waitingCount) % kBatches] = m_filling;
                ++m_waitingCount;
                m_free[free] = false;
                m_filling = free;
                return;
            }
        }
        // Every other batch waits: counting the oldest frees one.
        CountWaiting(true);
    }
}

bool CVisitFeed::TryCountWaiting() { return CountWaiting(false); }

bool CVisitFeed::CountWaiting(bool wait) {
    std::unique_lock counting(m_countMutex, std::defer_lock);
    if (wait)
        counting.lock();
    else if (!counting.try_lock())
        return false;
    int index = -1;
    {
        std::lock_guard lock(m_queueMutex);
        if (m_waitingCount == 0) return false;
        index = m_waiting[m_firstWaiting];
        m_firstWaiting = (m_firstWaiting + 1) % kBatches;
        --m_waitingCount;
    }
    batch_t& batch = m_batches[index];
    m_sessions.RecordVisits(
        std::span<visit_t>(batch.visits.get(), static_cast<std::size_t>(batch.count)));
    batch.count = 0;
    batch.textsUsed = 0;
    std::lock_guard lock(m_queueMutex);
    m_free[index] = true;
    return true;
}

void CVisitFeed::Finish() {
    if (m_batches[m_filling].count > 0) Submit();
    while (CountWaiting(true)) {
    }
}
