#pragma once

#include <string>
#include <vector>

#include "store/StoreApi.h"

// A browser, spider or operating-system identification file: named entries, each with the
// keywords that recognise it in a user agent, followed by a catch-all entry.
class LOGVANE_STORE_API CGenericInformation {
public:
    // `elementName` names the entry elements ("BROWSER"; upper-cased here) and, followed by
    // "IDENTIFICATION", the root; `otherLabel` names the catch-all entry ("Other Browser").
    CGenericInformation(const char* elementName, const char* otherLabel);

    // Replaces the list by the file's entries plus the catch-all entry, which is added also when
    // the file is missing or malformed. False in that case.
    bool LoadXML(const char* path);

    // Count including the catch-all entry.
    int GetNumElems() const { return static_cast<int>(m_entries.size()); }
    // Empty text when i is out of range.
    std::string GetElemName(int i) const;
    // -1 when i is out of range.
    int GetNumKeywords(int i) const;
    // Empty text when either index is out of range.
    std::string GetKeyword(int i, int k) const;
    void Clear() { m_entries.clear(); }

private:
    struct Entry {
        std::string name;
        std::vector<std::string> keywords;
    };
    bool Valid(int i) const { return i >= 0 && i < GetNumElems(); }

    std::string m_elementName;
    std::string m_otherLabel;
    std::vector<Entry> m_entries;
};
