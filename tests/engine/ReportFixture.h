#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/table/RunTables.h"
#include "store/report/TableReport.h"

namespace logvane::test {

// A run's tables filled by hand, the way hit processing would leave them. Keys live in the
// fixture (the tables do not own their keys).
class HandTables {
public:
    CRunTables tables;

    const char* Keep(const std::string& text) {
        m_texts.push_back(text);
        return m_texts.back().c_str();
    }
    std::uint32_t Len(const std::string& text) { return static_cast<std::uint32_t>(text.size()); }

    template <class T>
    T& Insert(CFastHashTable<T>& table, T key) {
        bool isNew = false;
        T* entry = table.Lookup(key, isNew);
        if (isNew) *entry = key;
        return *entry;
    }

    void Resource(CFastHashTable<resource_info_t>& table, const std::string& url,
                  std::uint64_t hits, std::uint64_t incomplete = 0, std::uint64_t bytes = 0) {
        Insert(table, resource_info_t{Keep(url), Len(url), hits, incomplete, bytes});
    }
    void Refer(CFastHashTable<referinfo_t>& table, const std::string& text, std::uint64_t hits) {
        Insert(table, referinfo_t{Keep(text), Len(text), hits});
    }
    void Host(const std::string& host, std::uint64_t hits, std::uint64_t bytes = 0) {
        Insert(tables.hosts, host_info_t{Keep(host), Len(host), hits, bytes});
    }
    void User(const std::string& name, std::uint64_t hits, std::uint64_t sessions,
              std::uint64_t bytes) {
        Insert(tables.users, user_info_t{Keep(name), Len(name), hits, sessions, bytes});
    }
    void Country(const std::string& abbreviation, const std::string& name, std::uint64_t hits) {
        Insert(tables.countries,
               country_info_t{Keep(abbreviation), Len(abbreviation), Keep(name), Len(name), hits});
    }
    void Error(CFastHashTable<error_info_t>& table, const std::string& url, std::uint32_t status,
               std::uint64_t hits) {
        Insert(table, error_info_t{Keep(url), Len(url), status, hits});
    }
    void Search(CFastHashTable<search_info_t>& table, const std::string& text,
                const std::string& engine, std::uint64_t hits) {
        Insert(table, search_info_t{Keep(text), Len(text), Keep(engine), Len(engine), hits});
    }
    void Day(CTimeSeriesTable& series, std::int32_t day, std::uint64_t first,
             std::uint64_t second = 0) {
        bool isNew = false;
        day_info_t* entry = series.Lookup(day_info_t{day, 1, 0, 0}, isNew);
        if (isNew) *entry = day_info_t{day, 1, 0, 0};
        entry->first += first;
        entry->second += second;
    }
    void Nested(CNestedTable& table, const std::string& parent, const std::string& child,
                std::uint64_t hits) {
        bool isNew = false;
        nested_info_t key{Keep(parent), Len(parent), 0, nullptr};
        nested_info_t* entry = table.Lookup(key, isNew);
        if (isNew) {
            entry->text = key.text;
            entry->length = key.length;
        }
        entry->hits += hits;
        referinfo_t& leaf = Insert(*entry->children, referinfo_t{Keep(child), Len(child), 0});
        leaf.hits += hits;
    }
    tracked_file_t& Tracked(const std::string& name) {
        tables.trackedFiles.push_back(std::make_unique<tracked_file_t>(name, false));
        return *tables.trackedFiles.back();
    }
    void Sort(std::uint32_t limit = 100) { tables.SortAndTrim(limit); }

private:
    std::deque<std::string> m_texts;  // a deque never moves what it holds
};

// Column `col` of every row.
inline std::vector<std::string> Column(const CTableReport& report, unsigned long col) {
    std::vector<std::string> items;
    for (unsigned long row = 0; row < report.GetNumRows(); ++row)
        items.push_back(report.GetItem(row, col));
    return items;
}

}  // namespace logvane::test
