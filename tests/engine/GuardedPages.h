#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "engine/scan/MappedFile.h"

// Two pages, the first readable, the second not: text placed to end at the boundary crashes a
// reader that goes one byte too far.
class CGuardedPages {
public:
    CGuardedPages() : m_page(PageSize()) {
        void* p =
            mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
        if (m_base) mprotect(m_base + m_page, m_page, PROT_NONE);
    }
    ~CGuardedPages() {
        if (m_base) munmap(m_base, 2 * m_page);
    }
    CGuardedPages(const CGuardedPages&) = delete;
    CGuardedPages& operator=(const CGuardedPages&) = delete;

    bool Valid() const { return m_base != nullptr; }
    // The longest text that can be placed.
    std::size_t Capacity() const { return m_page; }
    const char* Place(const std::string& text) {
        char* start = m_base + m_page - text.size();
        std::memcpy(start, text.data(), text.size());
        return start;
    }

private:
    std::size_t m_page;
    char* m_base = nullptr;
};
