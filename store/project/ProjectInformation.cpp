#include "store/project/ProjectInformation.h"

#include <new>

#include "store/filter/XmlValue.h"
#include "utility/Markup.h"

using logvane::xml::BoolText;
using logvane::xml::EqualNoCase;

CProjectInformation::CProjectInformation() : m_logfiles(1) {}

void CProjectInformation::Clear() {
    m_logfiles.clear();
    m_tracked.clear();
    m_filters.Clear();
    m_domain.clear();
    m_defaultPage.clear();
    m_name.clear();
    m_disableDNS = false;
    m_apacheTwoFile = false;
}

bool CProjectInformation::GetEnableFullDNS() const {
    for (int i = 0; i < m_filters.GetNumFilters(); ++i)
        if (m_filters.GetFilterInfo(i).infoType == filter_t::DOMAIN) return true;
    return false;
}

int CProjectInformation::AddLogfileInformation(const CLogfileInformation& e, int at) {
    if (at >= 0 && at < GetNumLogfileInformation()) {
        m_logfiles.insert(m_logfiles.begin() + at, e);
        return at;
    }
    m_logfiles.push_back(e);
    return GetNumLogfileInformation() - 1;
}

void CProjectInformation::RemoveLogfileInformation(int i) {
    if (i >= 0 && i < GetNumLogfileInformation()) m_logfiles.erase(m_logfiles.begin() + i);
}

void CProjectInformation::AllocateLogInfo(int n) {
    m_logfiles.resize(n > 0 ? static_cast<size_t>(n) : 0);
}

std::string CProjectInformation::GetTrackedFile(int i) const {
    return i >= 0 && i < GetNumTrackedFiles() ? m_tracked[static_cast<size_t>(i)] : std::string();
}

int CProjectInformation::AddTrackedFile(const std::string& file, int at) {
    if (at >= 0 && at < GetNumTrackedFiles()) {
        m_tracked.insert(m_tracked.begin() + at, file);
        return at;
    }
    m_tracked.push_back(file);
    return GetNumTrackedFiles() - 1;
}

int CProjectInformation::RemoveTrackedFile(int i) {
    if (i < 0 || i >= GetNumTrackedFiles()) return 0;
    m_tracked.erase(m_tracked.begin() + i);
    return 1;
}

bool CProjectInformation::HoldsPassword() const {
    for (const CLogfileInformation& e : m_logfiles)
        if (!e.GetPassword().empty()) return true;
    return m_export.HoldsPassword();
}

void CProjectInformation::ReadAttributes(CMarkup& markup) {
    m_name = markup.GetAttrib("Name");
    m_disableDNS = EqualNoCase(markup.GetAttrib("DNS"), "TRUE");
    m_fullDNS = EqualNoCase(markup.GetAttrib("FullDNS"), "TRUE");
    m_domain = markup.GetAttrib("DOMAIN");
    m_defaultPage = markup.GetAttrib("DEFAULTPAGE");
    m_apacheTwoFile = EqualNoCase(markup.GetAttrib("ApacheMultipleFileFormat"), "TRUE");
    m_description = markup.GetAttrib("Description");
    m_cookieID = markup.GetAttrib("COOKIEID");
}

void CProjectInformation::ReadLogfiles(CMarkup& markup) {
    markup.IntoElem();
    while (markup.FindElem("LOGFILEENTRY")) {
        CLogfileInformation entry;
        entry.LoadXML(markup);
        m_logfiles.push_back(std::move(entry));
    }
    markup.OutOfElem();
}

void CProjectInformation::ReadChildren(CMarkup& markup) {
    markup.ResetChildPos();
    markup.IntoElem();
    while (markup.FindElem()) {
        const std::string tag = markup.GetTagName();
        if (tag == "LOGFILES") {
            ReadLogfiles(markup);
        } else if (tag == "TRACKING") {
            while (markup.FindChildElem("TRACK")) m_tracked.push_back(markup.GetChildData());
        } else if (tag == "FILTERS") {
            m_filters.LoadXML(markup);
        } else if (tag == "TAGS") {
            m_tags.Clear();
            m_tags.LoadXML(markup);
        } else if (tag == "SCENARIOS") {
            m_scenarios.LoadXML(markup);
        } else if (tag == "EXPORT") {
            m_export.LoadXML(markup);
        }
    }
    markup.OutOfElem();
}

bool CProjectInformation::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "PROJECT") return false;
    Clear();
    // Tags, scenarios and export settings are not touched by Clear; a project read from a file
    // that lacks them must not keep those of whatever was loaded before.
    m_tags.Clear();
    m_scenarios.Clear();
    m_export = CExportInformation();
    ReadAttributes(markup);
    ReadChildren(markup);
    return true;
}

bool CProjectInformation::LoadXML(const char* path) {
    CMarkup markup;
    if (!logvane::xml::LoadDocument(markup, path) || !markup.FindElem("PROJECT")) return false;
    try {
        CProjectInformation loaded;
        loaded.LoadXML(markup);
        *this = std::move(loaded);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CProjectInformation::WriteAttributes(CMarkup& markup) const {
    markup.SetAttrib("version", "1");
    markup.SetAttrib("date", logvane::xml::TodayText());
    markup.SetAttrib("Name", m_name);
    markup.SetAttrib("DNS", BoolText(m_disableDNS));
    markup.SetAttrib("DOMAIN", m_domain);
    markup.SetAttrib("DEFAULTPAGE", m_defaultPage);
    markup.SetAttrib("Description", m_description);
    if (!m_cookieID.empty()) markup.SetAttrib("COOKIEID", m_cookieID);
}

// Main position inside PROJECT; leaves the main position on PROJECT with its child position on
// TRACKING, where the tag, scenario and export writers expect it.
void CProjectInformation::WriteLogfilesAndTracking(CMarkup& markup) const {
    markup.AddElem("LOGFILES");
    for (const CLogfileInformation& entry : m_logfiles) {
        markup.IntoElem();
        entry.SaveXML(markup);
        markup.OutOfElem();
    }
    markup.AddElem("TRACKING");
    for (const std::string& file : m_tracked) markup.AddChildElem("TRACK", file);
    markup.OutOfElem();
}

bool CProjectInformation::SaveXML(CMarkup& markup) const {
    markup.AddElem("PROJECT");
    WriteAttributes(markup);
    markup.IntoElem();
    WriteLogfilesAndTracking(markup);
    m_tags.SaveXML(markup);
    m_scenarios.SaveXML(markup);
    markup.IntoElem();
    m_filters.SaveXML(markup);
    markup.OutOfElem();
    m_export.SaveXML(markup);
    return true;
}

bool CProjectInformation::SaveXML(const char* path) const {
    if (!path || !*path) return false;
    CMarkup markup;
    SaveXML(markup);
    // Passwords are kept in plain text, so such a file is readable by its owner only.
    return markup.Save(path, HoldsPassword());
}
