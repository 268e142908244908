#include "store/filter/SpecificScenario.h"

#include <utility>

#include "utility/Markup.h"

CSpecificScenario& CSpecificScenario::operator=(const CSpecificScenario& other) {
    if (this == &other) return *this;
    m_name = other.m_name;
    m_steps = other.m_steps;
    m_filters = other.m_filters;
    return *this;
}

int CSpecificScenario::AddStep(const std::string& name, int at) {
    Step step{name, {}, WILDCARD};
    if (at >= 0 && at < GetNumSteps()) {
        m_steps.insert(m_steps.begin() + at, std::move(step));
        return at;
    }
    m_steps.push_back(std::move(step));
    return GetNumSteps() - 1;
}

void CSpecificScenario::SetStepMatchText(const std::string& text, int i) {
    if (ValidStep(i)) m_steps[static_cast<size_t>(i)].matchText = text;
}

void CSpecificScenario::SetStepMatchType(match_t type, int i) {
    if (ValidStep(i)) m_steps[static_cast<size_t>(i)].matchType = type;
}

std::string CSpecificScenario::GetStepName(int i) const {
    return ValidStep(i) ? m_steps[static_cast<size_t>(i)].name : std::string();
}

std::string CSpecificScenario::GetStepMatchText(int i) const {
    return ValidStep(i) ? m_steps[static_cast<size_t>(i)].matchText : std::string();
}

CSpecificScenario::match_t CSpecificScenario::GetStepMatchType(int i) const {
    return ValidStep(i) ? m_steps[static_cast<size_t>(i)].matchType : WILDCARD;
}

void CSpecificScenario::RemoveStep(int i) {
    if (ValidStep(i)) m_steps.erase(m_steps.begin() + i);
}

void CSpecificScenario::MoveStepUp(int i) {
    if (i >= 1 && i < GetNumSteps()) std::swap(m_steps[size_t(i)], m_steps[size_t(i - 1)]);
}

void CSpecificScenario::MoveStepDown(int i) {
    if (i >= 0 && i < GetNumSteps() - 1) std::swap(m_steps[size_t(i)], m_steps[size_t(i + 1)]);
}

void CSpecificScenario::AddFilter(const filter_t& f) {
    for (int i = m_filters.GetNumFilters() - 1; i >= 0; --i)
        if (m_filters.GetFilterInfo(i).infoType == f.infoType) m_filters.RemoveFilterInfo(i);
    m_filters.AddFilterInfo(f);
}

void CSpecificScenario::RemoveDateFilter() {
    for (int i = m_filters.GetNumFilters() - 1; i >= 0; --i)
        if (m_filters.GetFilterInfo(i).infoType == filter_t::RANGE_DATES)
            m_filters.RemoveFilterInfo(i);
}

bool CSpecificScenario::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "SCENARIO") return false;
    m_name = markup.GetAttrib("Name");
    markup.ResetChildPos();
    markup.IntoElem();
    while (markup.FindElem()) {
        const std::string tag = markup.GetTagName();
        if (tag == "FILTERS") {
            // Through AddFilter, so a file cannot give a scenario two filters of one type.
            CFilterInformation read;
            read.LoadXML(markup);
            for (int i = 0; i < read.GetNumFilters(); ++i) AddFilter(read.GetFilterInfo(i));
        } else if (tag == "STEP") {
            m_steps.push_back(Step{markup.GetAttrib("Name"), markup.GetData(),
                                   ConvertStringToMatchType(markup.GetAttrib("Type"))});
        }
    }
    markup.OutOfElem();
    return true;
}

int CSpecificScenario::SaveXML(CMarkup& markup) const {
    markup.AddElem("SCENARIO");
    markup.SetAttrib("Name", m_name);
    markup.IntoElem();
    if (m_filters.GetNumFilters() > 0) m_filters.SaveXML(markup);
    for (const Step& step : m_steps) {
        markup.AddElem("STEP", step.matchText);
        markup.SetAttrib("Name", step.name);
        markup.SetAttrib("Type", ConvertMatchTypeToString(step.matchType));
    }
    markup.OutOfElem();
    return 1;
}

std::string CSpecificScenario::ConvertMatchTypeToString(match_t type) {
    if (type == WILDCARD) return "WILDCARD";
    if (type == REGEXP) return "REGEXP";
    return {};
}

CSpecificScenario::match_t CSpecificScenario::ConvertStringToMatchType(const std::string& text) {
    return text == "REGEXP" ? REGEXP : WILDCARD;
}
