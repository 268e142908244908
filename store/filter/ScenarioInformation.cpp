#include "store/filter/ScenarioInformation.h"

#include "utility/Markup.h"

CScenarioInformation& CScenarioInformation::operator=(const CScenarioInformation& other) {
    if (this == &other) return *this;
    std::vector<std::unique_ptr<CSpecificScenario>> copies;
    copies.reserve(other.m_scenarios.size());
    for (const auto& s : other.m_scenarios)
        copies.push_back(std::make_unique<CSpecificScenario>(*s));
    m_scenarios = std::move(copies);
    return *this;
}

bool CScenarioInformation::operator==(const CScenarioInformation& other) const {
    if (m_scenarios.size() != other.m_scenarios.size()) return false;
    for (size_t i = 0; i < m_scenarios.size(); ++i)
        if (!(*m_scenarios[i] == *other.m_scenarios[i])) return false;
    return true;
}

CSpecificScenario* CScenarioInformation::GetSpecificScenario(int i) const {
    if (i < 0 || i >= GetNumScenarios()) return nullptr;
    return m_scenarios[static_cast<size_t>(i)].get();
}

int CScenarioInformation::AddSpecificScenario(CSpecificScenario* s, int at) {
    if (!s) return -1;
    std::unique_ptr<CSpecificScenario> owned(s);
    if (at >= 0 && at < GetNumScenarios()) {
        m_scenarios.insert(m_scenarios.begin() + at, std::move(owned));
        return at;
    }
    m_scenarios.push_back(std::move(owned));
    return GetNumScenarios() - 1;
}

void CScenarioInformation::RemoveSpecificScenario(int i) {
    if (i >= 0 && i < GetNumScenarios()) m_scenarios.erase(m_scenarios.begin() + i);
}

bool CScenarioInformation::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "SCENARIOS") return false;
    Clear();
    markup.ResetChildPos();
    markup.IntoElem();
    while (markup.FindElem("SCENARIO")) {
        auto scenario = std::make_unique<CSpecificScenario>();
        scenario->LoadXML(markup);
        m_scenarios.push_back(std::move(scenario));
    }
    markup.OutOfElem();
    return true;
}

int CScenarioInformation::SaveXML(CMarkup& markup) const {
    markup.IntoElem();
    markup.AddElem("SCENARIOS");
    for (const auto& s : m_scenarios) {
        markup.IntoElem();
        s->SaveXML(markup);
        markup.OutOfElem();
    }
    markup.OutOfElem();
    return 1;
}
