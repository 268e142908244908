#include "store/settings/Settings.h"

#include <cstdlib>
#include <ctime>
#include <variant>

#include "store/format/Url.h"
#include "store/settings/SettingsFolder.h"
#include "utility/Markup.h"

struct CSettings::Field {
    const char* tag;
    std::variant<bool CSettings::*, int CSettings::*, std::string CSettings::*,
                 logfiletype_t CSettings::*>
        member;
};

const CSettings::Field* CSettings::Fields(int& count) {
    // The order is the file's element order; readers scan forward, so it must not change.
    static const Field fields[] = {
        {"EUROPEANFORMAT", &CSettings::m_europeanFormat},
        {"ANDINCLUDEFILTERS", &CSettings::m_andIncludeFilters},
        {"ANDEXCLUDEFILTERS", &CSettings::m_andExcludeFilters},
        {"CASESENSITIVE", &CSettings::m_caseSensitive},
        {"NUMRECENTDOMAINITEMS", &CSettings::m_numRecentDomainItems},
        {"DONOTDISPLAYPOUND", &CSettings::m_doNotDisplayPound},
        {"DONOTDISPLAYQUESTIONMARK", &CSettings::m_doNotDisplayQuestionMark},
        {"REMOVEFIRSTDOT", &CSettings::m_removeFirstDot},
        {"WHENLOOKUPTOOOLD", &CSettings::m_whenLookupTooOld},
        {"WHENBADLOOKUPTOOOLD", &CSettings::m_whenBadLookupTooOld},
        {"TIMEOFFSET", &CSettings::m_timeOffset},
        {"PASSIVEFTP", &CSettings::m_passiveFTP},
        {"PROXYENABLED", &CSettings::m_proxyEnabled},
        {"PROXYSERVERNAME", &CSettings::m_proxyServerName},
        {"ALLOWHTVIEWFILES", &CSettings::m_allowHTViewFiles},
        {"ALLOWHTVIEWIMAGES", &CSettings::m_allowHTViewImages},
        {"ALLOWHTVIEWPAGES", &CSettings::m_allowHTViewPages},
        {"ALLOWHTVIEWREFERRER", &CSettings::m_allowHTViewReferrer},
        {"PREFILTERDNSLOOKUP", &CSettings::m_prefilterDNSLookup},
        {"IP2COUNTRY", &CSettings::m_ip2Country},
        {"NUMDNSTHREADS", &CSettings::m_numDNSThreads},
        {"NUMTRUNCATEREPORTS", &CSettings::m_numTruncateReports},
        // "NUN" is the name the files have always carried.
        {"NUNTRUNCATEEXPORTING", &CSettings::m_numTruncateExporting},
        {"PROJECTFOLDER", &CSettings::m_projectFolder},
        {"DEFAULTLOGFILETYPE", &CSettings::m_defaultLogfileType},
    };
    count = static_cast<int>(std::size(fields));
    return fields;
}

CSettings::CSettings() { SetDefaults(); }

void CSettings::SetDefaults() {
    m_europeanFormat = false;
    m_andIncludeFilters = true;
    m_andExcludeFilters = false;
    m_caseSensitive = true;
    m_numRecentDomainItems = 30;
    m_doNotDisplayPound = true;
    m_doNotDisplayQuestionMark = true;
    m_removeFirstDot = false;
    m_whenLookupTooOld = 10;
    m_whenBadLookupTooOld = 10;
    m_timeOffset = 0;
    m_passiveFTP = false;
    m_proxyEnabled = false;
    m_proxyServerName.clear();
    m_allowHTViewFiles = true;
    m_allowHTViewImages = false;
    m_allowHTViewPages = true;
    m_allowHTViewReferrer = true;
    m_prefilterDNSLookup = true;
    m_ip2Country = true;
    m_numDNSThreads = 15;
    m_numTruncateReports = 100;
    m_numTruncateExporting = 30;
    m_projectFolder = UrlAddLocalFile(GetHomeDir(), "Logvane Projects");
    m_defaultLogfileType = logfiletype_t::AUTO;
}

void CSettings::LoadXML(const char* path) {
    SetDefaults();
    CMarkup xml;
    if (!path || !xml.Load(path) || !xml.FindElem("SETTINGS")) return;
    ReadElements(xml);
}

void CSettings::ReadElements(CMarkup& xml) {
    int count = 0;
    const Field* fields = Fields(count);
    for (int i = 0; i < count; ++i) {
        if (!xml.FindChildElem(fields[i].tag)) continue;
        const std::string data = xml.GetChildData();
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, bool>)
                    this->*member = stringToBool(data);
                else if constexpr (std::is_same_v<T, int>)
                    this->*member = std::atoi(data.c_str());
                else if constexpr (std::is_same_v<T, std::string>)
                    this->*member = data;
                else
                    this->*member = ConvertStringToLogfileType(data);
            },
            fields[i].member);
    }
}

bool CSettings::SaveXML(const char* path) const {
    if (!path) return false;
    CMarkup xml;
    char date[32];
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%m/%d/%Y", &local);
    xml.AddElem("SETTINGS");
    xml.SetAttrib("version", "1");
    xml.SetAttrib("date", date);

    int count = 0;
    const Field* fields = Fields(count);
    for (int i = 0; i < count; ++i) {
        const std::string data = std::visit(
            [&](auto member) -> std::string {
                using T = std::remove_cvref_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, bool>)
                    return boolToString(this->*member);
                else if constexpr (std::is_same_v<T, int>)
                    return std::to_string(this->*member);
                else if constexpr (std::is_same_v<T, std::string>)
                    return this->*member;
                else
                    return ConvertLogfileTypeToString(this->*member);
            },
            fields[i].member);
        xml.AddChildElem(fields[i].tag, data);
    }
    return xml.Save(path);
}

std::string CSettings::boolToString(bool value) { return value ? "TRUE" : "FALSE"; }

bool CSettings::stringToBool(const std::string& text) {
    static const char kTrue[] = "true";
    if (text.size() != 4) return false;
    for (size_t i = 0; i < 4; ++i)
        if ((text[i] | 0x20) != kTrue[i]) return false;
    return true;
}

std::string CSettings::ConvertLogfileTypeToString(logfiletype_t type) {
    const std::string name = LogfileTypeToShortName(type);
    return name.empty() ? "AUTO" : name;
}

logfiletype_t CSettings::ConvertStringToLogfileType(const std::string& text) {
    // An unknown text, e.g. from a hand-edited file, means no preference: detect the format.
    logfiletype_t type = logfiletype_t::AUTO;
    ShortNameToLogfileType(text, type);
    return type;
}
