#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/EngineApi.h"

// Arena for the keys of every counting table and the copied texts of sessions. Memory is
// taken in large chunks and released only all at once, when the pool goes. Each thread takes
// its small requests from a stretch of its own (a thirty-second of a chunk): the parsing
// thread's records then never share a cache line with what the counting thread writes, which
// would move the line between the two cores at every write.
class LOGVANE_ENGINE_API CStringPool {
public:
    // `chunkSize`: bytes of each chunk (a larger request gets a chunk of its own size).
    // `limit`: total bytes the pool may hold, 0 for no limit.
    explicit CStringPool(size_t chunkSize = kDefaultChunkSize, size_t limit = 0);
    ~CStringPool();
    CStringPool(const CStringPool&) = delete;
    CStringPool& operator=(const CStringPool&) = delete;

    // `bytes` of memory aligned to 8, or null when the system (or the limit) refuses: a
    // refusal ends parsing (ParseSetCancel) and reports "Memory Limit reached." unless
    // parsing was already told to end.
    void* Alloc(size_t bytes);
    // A zero-terminated copy of `length` bytes, or null as for Alloc.
    char* Copy(const char* text, size_t length);

    size_t GetChunkCount() const;
    size_t GetBytesReserved() const;  // sum of the chunk sizes

    // 25,000,000 bytes rounded down to whole pages.
    static const size_t kDefaultChunkSize;

private:
    struct Chunk {
        std::unique_ptr<unsigned char[]> memory;
        size_t size;
    };
    // The rest of a stretch one thread allocates from.
    struct Cursor {
        std::thread::id thread;
        unsigned char* next = nullptr;
        size_t left = 0;
    };
    static constexpr size_t kCursors = 8;  // threads past these share the last cursor

    bool AddChunk(size_t minimum);
    // `bytes` from the last chunk (or a new one) at a multiple of `alignment`, null when
    // refused.
    unsigned char* Carve(size_t bytes, size_t alignment);
    Cursor& CursorOf(std::thread::id thread);
    // `bytes` from the cursor's stretch, or null when the rest is too short.
    static unsigned char* Take(Cursor& cursor, size_t bytes);
    void ReportFailure();

    mutable std::mutex m_mutex;  // the host-name resolver copies names from its own threads
    std::vector<Chunk> m_chunks;
    size_t m_used = 0;  // bytes used in the last chunk
    size_t m_reserved = 0;
    size_t m_chunkSize;
    size_t m_limit;
    size_t m_stretch;
    const std::uint64_t m_id;  // unique to this pool, for the threads' cached cursors
    Cursor m_cursors[kCursors];
    size_t m_cursorCount = 0;
};

// The engine's one pool, from LogvaneInitialize to LogvaneKill.
LOGVANE_ENGINE_API void PoolCreate();
LOGVANE_ENGINE_API void PoolDestroy();
// Memory from the engine's pool; null when the pool is refused or was never created.
LOGVANE_ENGINE_API void* PoolAlloc(size_t bytes);
// A zero-terminated pool copy of `length` bytes of `text`; null as for PoolAlloc.
LOGVANE_ENGINE_API char* PoolCopy(const char* text, size_t length);
// The pool itself, null outside PoolCreate..PoolDestroy.
LOGVANE_ENGINE_API CStringPool* GetStringPool();
