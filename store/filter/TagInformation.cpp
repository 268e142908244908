#include "store/filter/TagInformation.h"

#include "utility/Markup.h"

CTagInformation::CTriggerInformation CTagInformation::GetTriggerInfo(unsigned long i) const {
    if (i >= m_triggers.size()) return CTriggerInformation();
    return m_triggers[i];
}

int CTagInformation::AddTriggerInformation(const CTriggerInformation& t, int at) {
    if (at >= 0 && at < GetNumTriggers()) {
        m_triggers.insert(m_triggers.begin() + at, t);
        return at;
    }
    m_triggers.push_back(t);
    return GetNumTriggers() - 1;
}

void CTagInformation::RemoveTriggerInformation(int i) {
    if (i >= 0 && i < GetNumTriggers()) m_triggers.erase(m_triggers.begin() + i);
}

int CTagInformation::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "TAGS") return 0;
    markup.ResetChildPos();
    while (markup.FindChildElem("TAG")) {
        m_triggers.emplace_back(ConvertStringToTriggerType(markup.GetChildAttrib("Type")),
                                markup.GetChildData(), markup.GetChildAttrib("Name"));
    }
    return 1;
}

int CTagInformation::SaveXML(CMarkup& markup) const {
    markup.IntoElem();
    markup.AddElem("TAGS");
    for (const CTriggerInformation& t : m_triggers) {
        markup.AddChildElem("TAG", t.GetMatchText());
        markup.SetChildAttrib("Type", ConvertTriggerTypeToString(t.GetTriggerType()));
        markup.SetChildAttrib("Name", t.GetName());
    }
    markup.OutOfElem();
    return 1;
}

std::string CTagInformation::ConvertTriggerTypeToString(tag_trigger_t type) {
    switch (type) {
        case REFERRER:
            return "REFERRER";
        case SITEENTRY:
            return "SITEENTRY";
        case ANYPAGE:
            return "ANYPAGE";
        default:
            return {};
    }
}

CTagInformation::tag_trigger_t CTagInformation::ConvertStringToTriggerType(
    const std::string& text) {
    if (text == "REFERRER") return REFERRER;
    if (text == "SITEENTRY") return SITEENTRY;
    return ANYPAGE;
}
