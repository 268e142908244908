#pragma once

#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/filter/Filter.h"

class CMarkup;

// An ordered list of filters, stored as a `FILTERS` element (inside a project or a scenario) or
// as the global filters file, whose root is that element.
class LOGVANE_STORE_API CFilterInformation {
public:
    CFilterInformation() = default;
    CFilterInformation(const CFilterInformation&) = default;
    // Replaces the list by copies of the other list's filters.
    CFilterInformation& operator=(const CFilterInformation&) = default;
    bool operator==(const CFilterInformation&) const = default;

    int GetNumFilters() const { return static_cast<int>(m_filters.size()); }
    // Copy of filter i; a default filter when i is out of range.
    filter_t GetFilterInfo(int i) const;
    // Inserts a copy at `at` when `at` is not -1 and below the count, otherwise appends;
    // returns the index used.
    int AddFilterInfo(const filter_t& f, int at = -1);
    // Ignored when i is out of range.
    void RemoveFilterInfo(int i);
    void Clear() { m_filters.clear(); }

    // Main position on a `FILTERS` element (nothing happens on any other): appends its valid
    // filters; a FILTER with an unknown text form is dropped. Main position stays on FILTERS.
    bool LoadXML(CMarkup& markup);
    // Adds a `FILTERS` element after the main position and leaves the main position on it.
    int SaveXML(CMarkup& markup) const;

    // The global filters file: appends its filters; false (list unchanged) when the file is
    // missing or unreadable or has no `FILTERS` root.
    int LoadXML(const char* path);
    // Writes the list as a file whose root is `FILTERS`; false when it cannot be written (the
    // old file is then untouched).
    int SaveXML(const char* path) const;

    // One line describing the filter for the filter lists; with `withPrefix` it starts with
    // "Include " or "Exclude ". Empty for a null filter.
    std::string GetFilterDescription(const filter_t* f, int withPrefix) const;

    // "GET" 0, "HEAD" 1, "POST" 2, anything else REQUEST_BAD (exact comparison).
    static request_t ConvertStringtoRequestType(const std::string& text);
    // Empty text for REQUEST_BAD or any value outside the list.
    static std::string ConvertRequestTypeToString(request_t type);

private:
    std::vector<filter_t> m_filters;
};
