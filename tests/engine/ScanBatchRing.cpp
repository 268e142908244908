// The ring of hit batches between a parsing thread and the thread that hands hits on: order,
// that a waiting consumer is woken by every batch, the producer's end or a stop, and that a
// producer waiting on a full ring is woken once half of it is free.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/scan/BatchRing.h"

namespace {

using namespace std::chrono_literals;

// Publishes `count` batches whose filled counts are 1, 2, 3 ... and optionally finishes.
void Produce(CBatchRing& ring, int count, bool finish) {
    for (int i = 1; i <= count; ++i) {
        ASSERT_NE(ring.WaitFree(), nullptr);
        ring.Publish(i, std::uint64_t(i));
    }
    if (finish) ring.Finish(7);
}

TEST(ScanBatchRing, BatchesComeOutInOrder) {
    CBatchRing ring(4);
    std::thread producer([&ring] { Produce(ring, 1000, true); });
    hit_batch_t batch;
    int expected = 1;
    while (ring.Take(batch)) {
        ASSERT_EQ(batch.filled, expected);
        ++expected;
        ring.Release();
    }
    producer.join();
    EXPECT_EQ(expected, 1001);
    EXPECT_EQ(ring.Result(), 7);
}

// A producer may block elsewhere after any batch (the consumer's PrepareBatch may wait for the
// consumer's thread), so every batch must reach a consumer that waits for one.
TEST(ScanBatchRing, EveryBatchWakesAWaitingConsumer) {
    CBatchRing ring(4);
    std::atomic<int> taken{0};
    std::thread consumer([&] {
        hit_batch_t batch;
        while (ring.Take(batch)) {
            ++taken;
            ring.Release();
        }
    });
    for (int i = 1; i <= 3; ++i) {
        std::this_thread::sleep_for(5ms);
        Produce(ring, 1, false);
        for (int wait = 0; wait < 500 && taken < i; ++wait) std::this_thread::sleep_for(2ms);
        EXPECT_EQ(taken, i);
    }
    ring.Finish(0);
    consumer.join();
}

TEST(ScanBatchRing, StopReleasesAWaitingConsumerAndAWaitingProducer) {
    CBatchRing ring(2);
    std::thread consumer([&ring] {
        hit_batch_t batch;
        EXPECT_FALSE(ring.Take(batch));
    });
    std::this_thread::sleep_for(10ms);
    ring.Stop();
    consumer.join();

    CBatchRing full(2);
    Produce(full, 2, false);
    std::thread producer([&full] { EXPECT_EQ(full.WaitFree(), nullptr); });
    std::this_thread::sleep_for(10ms);
    full.Stop();
    producer.join();
}

TEST(ScanBatchRing, AFullRingWakesItsProducerOnceHalfIsFree) {
    CBatchRing ring(4);
    Produce(ring, 4, false);
    std::atomic<bool> got{false};
    std::thread producer([&] {
        if (ring.WaitFree()) got = true;
    });
    std::this_thread::sleep_for(20ms);
    hit_batch_t batch;
    ASSERT_TRUE(ring.Take(batch));
    ring.Release();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(got) << "one free batch of four does not wake the producer";
    ASSERT_TRUE(ring.Take(batch));
    ring.Release();
    for (int i = 0; i < 500 && !got; ++i) std::this_thread::sleep_for(2ms);
    EXPECT_TRUE(got);
    producer.join();
}

}  // namespace
