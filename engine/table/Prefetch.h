#pragma once

#include <cstdint>

namespace logvane::table {

// Starts loading the object at `p`: its first cache line, and its last when it straddles two.
// Entries sit in slot arrays whose slots are not line-sized, so half of them straddle, and
// their counters are then in the line a plain prefetch of the entry leaves out.
template <typename T>
inline void PrefetchObject(const T* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    __builtin_prefetch(p);
    if ((address & 63) + sizeof(T) > 64)
        __builtin_prefetch(reinterpret_cast<const char*>(p) + sizeof(T) - 1);
}

}  // namespace logvane::table
