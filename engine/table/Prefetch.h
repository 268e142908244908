#pragma once

#include <cstddef>
#include <cstdint>

namespace logvane::table {

// Starts loading the cache line that holds `p`. Every prefetch goes through here: GCC may
// delete a loop or branch whose only effect is __builtin_prefetch (it does not count a
// prefetch as an effect), and did so to the look-ahead of compact tables. The empty asm that
// takes the address is an effect it keeps.
inline void PrefetchLine(const void* p) {
    __builtin_prefetch(p);
    asm volatile("" : : "r"(p));
}

// Starts loading the object at `p`: its first cache line, and its last when it straddles two.
// Entries sit in slot arrays whose slots are not line-sized, so half of them straddle, and
// their counters are then in the line a plain prefetch of the entry leaves out.
template <typename T>
inline void PrefetchObject(const T* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    PrefetchLine(p);
    if ((address & 63) + sizeof(T) > 64)
        PrefetchLine(reinterpret_cast<const char*>(p) + sizeof(T) - 1);
}

// Starts loading every cache line of the `count` objects from `p` on.
template <typename T>
inline void PrefetchArray(const T* p, std::size_t count) {
    const auto first = reinterpret_cast<std::uintptr_t>(p) & ~std::uintptr_t{63};
    const auto end = reinterpret_cast<std::uintptr_t>(p + count);
    for (std::uintptr_t line = first; line < end; line += 64)
        PrefetchLine(reinterpret_cast<const void*>(line));
}

}  // namespace logvane::table
