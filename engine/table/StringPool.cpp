#include "engine/table/StringPool.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "utility/Progress.h"

namespace {

size_t PageRounded(size_t bytes) {
    const long page = sysconf(_SC_PAGESIZE);
    const size_t unit = page > 0 ? static_cast<size_t>(page) : 4096;
    return bytes / unit * unit;
}

constexpr size_t kAlignment = 8;
constexpr size_t kLine = 64;  // stretches start and end on cache line boundaries

std::unique_ptr<CStringPool>& ThePool() {
    static std::unique_ptr<CStringPool> pool;
    return pool;
}

// Pools are told apart by a number never reused, not by an address a later pool may get.
std::atomic<std::uint64_t> g_nextPoolId{1};

// The cursor this thread allocates from without locking, and the pool it belongs to.
struct cached_cursor_t {
    std::uint64_t pool = 0;
    void* cursor = nullptr;
};
thread_local cached_cursor_t t_cursor;

}  // namespace

const size_t CStringPool::kDefaultChunkSize = PageRounded(25000000);

CStringPool::CStringPool(size_t chunkSize, size_t limit)
    : m_chunkSize(chunkSize > 0 ? chunkSize : kDefaultChunkSize),
      m_limit(limit),
      m_stretch(m_chunkSize / 32 / kLine * kLine),
      m_id(g_nextPoolId.fetch_add(1, std::memory_order_relaxed)) {}

CStringPool::~CStringPool() = default;

bool CStringPool::AddChunk(size_t minimum) {
    const size_t size = std::max(m_chunkSize, minimum);
    if (m_limit != 0 && (size > m_limit || m_reserved > m_limit - size)) return false;
    // Default-initialised: the pages stay untouched until a key is written into them.
    std::unique_ptr<unsigned char[]> memory(new (std::nothrow) unsigned char[size]);
    if (!memory) return false;
    m_chunks.push_back({std::move(memory), size});
    m_reserved += size;
    m_used = 0;
    return true;
}

// Parsing ends at the first refusal; later refusals of the same run (before the parse loop
// sees the flag, which each run clears at its start) add no further message.
void CStringPool::ReportFailure() {
    if (ParseShouldEnd()) return;
    ParseSetCancel(1);
    ProgressAddError("Memory Limit reached.", "");
}

unsigned char* CStringPool::Carve(size_t bytes, size_t alignment) {
    const auto aligned = [&]() -> size_t {
        const auto base = reinterpret_cast<std::uintptr_t>(m_chunks.back().memory.get());
        return (base + m_used + alignment - 1) / alignment * alignment - base;
    };
    if (m_chunks.empty() || m_chunks.back().size < aligned() ||
        m_chunks.back().size - aligned() < bytes) {
        // A fresh chunk starts aligned to at least 16 bytes.
        if (!AddChunk(alignment > 16 ? bytes + alignment : bytes)) return nullptr;
    }
    const size_t at = aligned();
    m_used = at + bytes;
    return m_chunks.back().memory.get() + at;
}

unsigned char* CStringPool::Take(Cursor& cursor, size_t bytes) {
    if (cursor.left < bytes) return nullptr;
    unsigned char* p = cursor.next;
    cursor.next += bytes;
    cursor.left -= bytes;
    return p;
}

CStringPool::Cursor& CStringPool::CursorOf(std::thread::id thread) {
    for (size_t i = 0; i < m_cursorCount; ++i)
        if (m_cursors[i].thread == thread) return m_cursors[i];
    if (m_cursorCount == kCursors) return m_cursors[kCursors - 1];
    m_cursors[m_cursorCount].thread = thread;
    return m_cursors[m_cursorCount++];
}

void* CStringPool::Alloc(size_t bytes) {
    const size_t rounded = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    // A thread with a cursor of its own takes from it without the lock: the sessions and hit
    // processing allocate on both threads at once, and waiting on each other cost a system
    // call for every few blocks. Only its thread touches such a cursor (a thread that ended
    // leaves it to the next thread of the same id).
    if (rounded >= bytes && rounded <= m_stretch && t_cursor.pool == m_id)
        if (unsigned char* p = Take(*static_cast<Cursor*>(t_cursor.cursor), rounded)) return p;
    std::lock_guard lock(m_mutex);
    if (rounded < bytes) {  // wrapped around
        ReportFailure();
        return nullptr;
    }
    unsigned char* p = nullptr;
    if (rounded > m_stretch) {
        p = Carve(rounded, kAlignment);
    } else {
        Cursor& cursor = CursorOf(std::this_thread::get_id());
        // Threads past the cursors share the last one, which only the lock keeps apart.
        if (&cursor != &m_cursors[kCursors - 1]) t_cursor = {m_id, &cursor};
        if (cursor.left < rounded) {
            cursor.next = Carve(m_stretch, kLine);
            cursor.left = cursor.next ? m_stretch : 0;
        }
        p = Take(cursor, rounded);
    }
    if (!p) ReportFailure();
    return p;
}

char* CStringPool::Copy(const char* text, size_t length) {
    char* copy = static_cast<char*>(Alloc(length + 1));
    if (!copy) return nullptr;
    if (length > 0) std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

size_t CStringPool::GetChunkCount() const {
    std::lock_guard lock(m_mutex);
    return m_chunks.size();
}

size_t CStringPool::GetBytesReserved() const {
    std::lock_guard lock(m_mutex);
    return m_reserved;
}

void PoolCreate() { ThePool() = std::make_unique<CStringPool>(); }

void PoolDestroy() { ThePool().reset(); }

void* PoolAlloc(size_t bytes) {
    CStringPool* pool = ThePool().get();
    return pool ? pool->Alloc(bytes) : nullptr;
}

char* PoolCopy(const char* text, size_t length) {
    CStringPool* pool = ThePool().get();
    return pool ? pool->Copy(text, length) : nullptr;
}

CStringPool* GetStringPool() { return ThePool().get(); }
