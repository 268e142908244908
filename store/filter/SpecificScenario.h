#pragma once

#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/filter/FilterInformation.h"

class CMarkup;

// A named sequence of pages whose completion a project measures, with its own filters (at most
// one per information type, typically a date range).
class LOGVANE_STORE_API CSpecificScenario {
public:
    enum match_t : int { WILDCARD = 0, REGEXP = 1 };

    struct Step {
        std::string name;
        std::string matchText;
        match_t matchType = WILDCARD;
        bool operator==(const Step&) const = default;
    };

    CSpecificScenario() = default;
    CSpecificScenario(const CSpecificScenario& other) { *this = other; }
    // Replaces name, steps and filters by copies of the other scenario's.
    CSpecificScenario& operator=(const CSpecificScenario& other);
    bool operator==(const CSpecificScenario&) const = default;

    void SetScenarioName(const std::string& name) { m_name = name; }
    const std::string& GetScenarioName() const { return m_name; }

    int GetNumSteps() const { return static_cast<int>(m_steps.size()); }
    // A step with this name, an empty match text and match type WILDCARD, inserted at `at` when
    // `at` is not -1 and below the count, otherwise appended; returns its index.
    int AddStep(const std::string& name, int at = -1);
    // The setters ignore an index out of range; the getters then return empty text / WILDCARD.
    void SetStepMatchText(const std::string& text, int i);
    void SetStepMatchType(match_t type, int i);
    std::string GetStepName(int i) const;
    std::string GetStepMatchText(int i) const;
    match_t GetStepMatchType(int i) const;
    void RemoveStep(int i);
    void MoveStepUp(int i);
    void MoveStepDown(int i);

    int GetNumFilters() const { return m_filters.GetNumFilters(); }
    filter_t GetFilter(int i) const { return m_filters.GetFilterInfo(i); }
    // Replaces the scenario's filters of the same information type by f.
    void AddFilter(const filter_t& f);
    void RemoveDateFilter();
    const CFilterInformation& GetFilters() const { return m_filters; }

    // Empties the steps (name and filters stay).
    void Clear() { m_steps.clear(); }
    // Main position on a `SCENARIO` element: reads its name, filters and steps. The main
    // position stays on the element.
    bool LoadXML(CMarkup& markup);
    // Adds a `SCENARIO` element after the main position; the main position is left on it.
    int SaveXML(CMarkup& markup) const;

    // Empty text outside the list.
    static std::string ConvertMatchTypeToString(match_t type);
    // "REGEXP" gives REGEXP, anything else WILDCARD.
    static match_t ConvertStringToMatchType(const std::string& text);

private:
    bool ValidStep(int i) const { return i >= 0 && i < GetNumSteps(); }

    CFilterInformation m_filters;
    std::string m_name;
    std::vector<Step> m_steps;
};
