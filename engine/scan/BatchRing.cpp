#include "engine/scan/BatchRing.h"

CBatchRing::CBatchRing(int batches)
    : m_count(batches),
      m_hits(new hit_t[std::size_t(batches) * kHitBatchSize]),
      m_batches(new hit_batch_t[std::size_t(batches)]) {
    for (int i = 0; i < m_count; ++i) m_batches[i].hits = m_hits.get() + i * kHitBatchSize;
}

void CBatchRing::Reset() {
    std::lock_guard lock(m_mutex);
    m_published = m_taken = m_released = 0;
    m_finished = m_stopped = false;
    m_result = 0;
}

hit_t* CBatchRing::WaitFree() {
    std::unique_lock lock(m_mutex);
    // A full ring waits until half of it is free, so that a producer faster than its consumer
    // wakes once per few batches rather than once per batch.
    if (m_published - m_released == std::uint64_t(m_count)) {
        m_producerWaits = true;
        m_freed.wait(lock, [this] { return m_stopped || ProducerMayGo(); });
        m_producerWaits = false;
    }
    if (m_stopped) return nullptr;
    return m_batches[m_published % std::uint64_t(m_count)].hits;
}

bool CBatchRing::HasFree() {
    std::lock_guard lock(m_mutex);
    return m_stopped || m_published - m_released < std::uint64_t(m_count);
}

void CBatchRing::Publish(int filled, std::uint64_t parsedBytes, bool chunkEnd, bool viewBegins) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        hit_batch_t& batch = m_batches[m_published % std::uint64_t(m_count)];
        batch.filled = filled;
        batch.parsedBytes = parsedBytes;
        batch.chunkEnd = chunkEnd;
        batch.viewBegins = viewBegins;
        ++m_published;
        wake = m_consumerWaits;
    }
    if (wake) m_filled.notify_one();
}

void CBatchRing::Finish(int result) {
    {
        std::lock_guard lock(m_mutex);
        m_result = result;
        m_finished = true;
    }
    m_filled.notify_one();
}

bool CBatchRing::Take(hit_batch_t& batch) {
    std::unique_lock lock(m_mutex);
    if (!m_stopped && !m_finished && m_taken == m_published) {
        m_consumerWaits = true;
        m_filled.wait(lock, [this] { return m_stopped || m_finished || m_taken < m_published; });
        m_consumerWaits = false;
    }
    if (m_stopped || m_taken == m_published) return false;
    batch = m_batches[m_taken % std::uint64_t(m_count)];
    ++m_taken;
    return true;
}

int CBatchRing::Poll(hit_batch_t& batch) {
    std::lock_guard lock(m_mutex);
    if (m_stopped || (m_finished && m_taken == m_published)) return -1;
    if (m_taken == m_published) return 0;
    batch = m_batches[m_taken % std::uint64_t(m_count)];
    ++m_taken;
    return 1;
}

void CBatchRing::Release() {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        ++m_released;
        wake = m_producerWaits && ProducerMayGo();
    }
    // Only the release that frees half the ring wakes a waiting producer: waking it for every
    // batch only to have it wait again cost both threads a system call per batch.
    if (wake) m_freed.notify_one();
}

bool CBatchRing::ProducerMayGo() const {
    return m_published - m_released <= std::uint64_t(m_count / 2);
}

void CBatchRing::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_freed.notify_one();
    m_filled.notify_one();
}
