#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "engine/EngineApi.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"

// Country names by domain suffix ("de" -> "Germany"), from the suffix-data file. Only looked
// up, never counted.
class LOGVANE_ENGINE_API CDomainSuffixTable {
public:
    CDomainSuffixTable() : m_table(std::make_unique<Table>(500)) {}

    // Replaces the table by the file's entries (suffixes lower-cased; the first entry of a
    // suffix wins). A missing file or another root than "SUFFIXDATA" leaves it empty: false.
    bool LoadXML(const char* path);
    void Clear();
    // Adds one suffix unless it is present; false when it was.
    bool Add(std::string_view suffix, std::string_view country);

    // The country of `suffix` (compared exactly), or an empty view.
    std::string_view Lookup(std::string_view suffix) const;
    std::uint32_t GetCount() const { return m_table->GetCount(); }

private:
    // Suffix -> country name, both held in m_texts.
    struct suffix_info_t {
        referinfo_t key;
        const char* country = nullptr;
        std::uint32_t countryLength = 0;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return key.Hash(seed); }
        bool Equals(const suffix_info_t& o) const { return key.Equals(o.key); }
        int Compare(const suffix_info_t&) const { return 0; }
    };
    using Table = CFastHashTable<suffix_info_t>;

    std::unique_ptr<Table> m_table;
    std::deque<std::string> m_texts;  // deque: growing never moves the texts
};
