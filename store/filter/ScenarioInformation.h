#pragma once

#include <memory>
#include <vector>

#include "store/StoreApi.h"
#include "store/filter/SpecificScenario.h"

class CMarkup;

// The scenarios of a project, owned by the list.
class LOGVANE_STORE_API CScenarioInformation {
public:
    CScenarioInformation() = default;
    CScenarioInformation(const CScenarioInformation& other) { *this = other; }
    // Replaces the list by copies of the other list's scenarios, in order.
    CScenarioInformation& operator=(const CScenarioInformation& other);
    // Equal when both hold equal scenarios in the same order.
    bool operator==(const CScenarioInformation& other) const;

    int GetNumScenarios() const { return static_cast<int>(m_scenarios.size()); }
    // Owned by the list; null when i is out of range.
    CSpecificScenario* GetSpecificScenario(int i) const;
    // Takes ownership of s (ignored and -1 returned when s is null); inserted at `at` when `at`
    // is not -1 and below the count, otherwise appended; returns the index used.
    int AddSpecificScenario(CSpecificScenario* s, int at = -1);
    // Destroys scenario i; ignored when out of range.
    void RemoveSpecificScenario(int i);
    void Clear() { m_scenarios.clear(); }

    // Main position on `SCENARIOS`: replaces the list by the scenarios read.
    bool LoadXML(CMarkup& markup);
    // Main position on the project element: adds `SCENARIOS` after its child position and
    // steps back out, leaving the child position on the new element.
    int SaveXML(CMarkup& markup) const;

private:
    std::vector<std::unique_ptr<CSpecificScenario>> m_scenarios;
};
