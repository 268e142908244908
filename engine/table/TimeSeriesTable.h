#pragma once

#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"

// A table of interval entries that also remembers the smallest (first) and largest (last) key
// inserted, so that SortAll can list every interval between them, with empty ones filled in.
class CTimeSeriesTable : public CFastHashTable<day_info_t> {
public:
    using CFastHashTable<day_info_t>::CFastHashTable;

    // As CFastHashTable::Lookup; a new key also updates first and last. The caller sets the
    // increment of `key` before inserting: it is kept in first and last for gap filling.
    day_info_t* Lookup(const day_info_t& key, bool& isNew, bool insert = true) {
        day_info_t* entry = CFastHashTable<day_info_t>::Lookup(key, isNew, insert);
        if (entry && isNew) {
            const day_info_t blank{key.key, key.increment, 0, 0};
            if (!m_hasFirst || key.key < m_first.key) m_first = blank;
            if (!m_hasLast || key.key > m_last.key) m_last = blank;
            m_hasFirst = m_hasLast = true;
        }
        return entry;
    }

    // Inserts a zero-counted entry for every missing interval from first to last, then sorts
    // all of them, newest first (oldest first with `ascending`).
    void SortAll(bool ascending = false) {
        if (IsSorted() || !m_hasFirst || m_first.increment <= 0) {
            CFastHashTable<day_info_t>::SortAll(ascending);
            return;
        }
        uint32_t intervals = 2;
        for (day_info_t step = m_first.Next(); step.key < m_last.key; step = step.Next()) {
            ++intervals;
            bool isNew;
            day_info_t* entry = CFastHashTable<day_info_t>::Lookup(step, isNew);
            if (isNew) *entry = step;
        }
        Sort(std::max(intervals, GetCount()), ascending);
    }

    bool HasFirst() const { return m_hasFirst; }
    const day_info_t& GetFirst() const { return m_first; }
    const day_info_t& GetLast() const { return m_last; }

private:
    day_info_t m_first, m_last;
    bool m_hasFirst = false, m_hasLast = false;
};
