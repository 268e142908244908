#pragma once

#include <string>

#include "store/StoreApi.h"
#include "store/project/LogfileType.h"

class CMarkup;

// Global options that apply to every project, kept in the settings file of the settings folder
// (GetSettingsFile("settings")). A new object holds the documented defaults; LoadXML sets every
// field, from the file or from its default.
class LOGVANE_STORE_API CSettings {
public:
    CSettings();

    // Reads the file; a missing or malformed file, or a missing element, gives defaults. An
    // element standing before one read earlier is not found (the children are scanned forward).
    void LoadXML(const char* path);
    // Writes all twenty-five elements through a temporary file; false when it cannot be
    // written (the old file is then untouched).
    bool SaveXML(const char* path) const;

    bool GetEuropeanFormat() const { return m_europeanFormat; }
    void SetEuropeanFormat(bool v) { m_europeanFormat = v; }
    bool GetAndIncludeFilters() const { return m_andIncludeFilters; }
    void SetAndIncludeFilters(bool v) { m_andIncludeFilters = v; }
    bool GetAndExcludeFilters() const { return m_andExcludeFilters; }
    void SetAndExcludeFilters(bool v) { m_andExcludeFilters = v; }
    bool GetCaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool v) { m_caseSensitive = v; }
    int GetNumRecentDomainItems() const { return m_numRecentDomainItems; }
    void SetNumRecentDomainItems(int v) { m_numRecentDomainItems = v; }
    bool GetDoNotDisplayPound() const { return m_doNotDisplayPound; }
    void SetDoNotDisplayPound(bool v) { m_doNotDisplayPound = v; }
    bool GetDoNotDisplayQuestionMark() const { return m_doNotDisplayQuestionMark; }
    void SetDoNotDisplayQuestionMark(bool v) { m_doNotDisplayQuestionMark = v; }
    bool GetRemoveFirstDot() const { return m_removeFirstDot; }
    void SetRemoveFirstDot(bool v) { m_removeFirstDot = v; }
    int GetWhenLookupTooOld() const { return m_whenLookupTooOld; }
    void SetWhenLookupTooOld(int v) { m_whenLookupTooOld = v; }
    int GetWhenBadLookupTooOld() const { return m_whenBadLookupTooOld; }
    void SetWhenBadLookupTooOld(int v) { m_whenBadLookupTooOld = v; }
    int GetTimeOffset() const { return m_timeOffset; }
    void SetTimeOffset(int v) { m_timeOffset = v; }
    bool GetPassiveFTP() const { return m_passiveFTP; }
    void SetPassiveFTP(bool v) { m_passiveFTP = v; }
    bool GetProxyEnabled() const { return m_proxyEnabled; }
    void SetProxyEnabled(bool v) { m_proxyEnabled = v; }
    std::string GetProxyServerName() const { return m_proxyServerName; }
    void SetProxyServerName(const std::string& v) { m_proxyServerName = v; }
    bool GetAllowHTViewFiles() const { return m_allowHTViewFiles; }
    void SetAllowHTViewFiles(bool v) { m_allowHTViewFiles = v; }
    bool GetAllowHTViewImages() const { return m_allowHTViewImages; }
    void SetAllowHTViewImages(bool v) { m_allowHTViewImages = v; }
    bool GetAllowHTViewPages() const { return m_allowHTViewPages; }
    void SetAllowHTViewPages(bool v) { m_allowHTViewPages = v; }
    bool GetAllowHTViewReferrer() const { return m_allowHTViewReferrer; }
    void SetAllowHTViewReferrer(bool v) { m_allowHTViewReferrer = v; }
    bool GetPrefilterDNSLookup() const { return m_prefilterDNSLookup; }
    void SetPrefilterDNSLookup(bool v) { m_prefilterDNSLookup = v; }
    bool GetIp2Country() const { return m_ip2Country; }
    void SetIp2Country(bool v) { m_ip2Country = v; }
    int GetNumDNSThreads() const { return m_numDNSThreads; }
    void SetNumDNSThreads(int v) { m_numDNSThreads = v; }
    int GetNumTruncateReports() const { return m_numTruncateReports; }
    void SetNumTruncateReports(int v) { m_numTruncateReports = v; }
    int GetNumTruncateExporting() const { return m_numTruncateExporting; }
    void SetNumTruncateExporting(int v) { m_numTruncateExporting = v; }
    std::string GetProjectFolder() const { return m_projectFolder; }
    void SetProjectFolder(const std::string& v) { m_projectFolder = v; }
    logfiletype_t GetDefaultLogfileType() const { return m_defaultLogfileType; }
    void SetDefaultLogfileType(logfiletype_t v) { m_defaultLogfileType = v; }

    // Always true; there is no stored field behind it.
    bool GetSpecialRemoveDirectories() const { return true; }

protected:
    // "TRUE" or "FALSE".
    static std::string boolToString(bool value);
    // True exactly when the text is "true" in any case.
    static bool stringToBool(const std::string& text);
    // Short text form of the format ("AUTO", "CLF", ...).
    static std::string ConvertLogfileTypeToString(logfiletype_t type);
    // Format of a short text form; AUTO for any text that is not one of the seven forms.
    static logfiletype_t ConvertStringToLogfileType(const std::string& text);

private:
    // Element name and field of one stored option, in file order.
    struct Field;
    static const Field* Fields(int& count);

    void SetDefaults();
    void ReadElements(CMarkup& xml);

    bool m_europeanFormat;
    bool m_andIncludeFilters;
    bool m_andExcludeFilters;
    bool m_caseSensitive;
    int m_numRecentDomainItems;
    bool m_doNotDisplayPound;
    bool m_doNotDisplayQuestionMark;
    bool m_removeFirstDot;
    int m_whenLookupTooOld;
    int m_whenBadLookupTooOld;
    int m_timeOffset;
    bool m_passiveFTP;
    bool m_proxyEnabled;
    std::string m_proxyServerName;
    bool m_allowHTViewFiles;
    bool m_allowHTViewImages;
    bool m_allowHTViewPages;
    bool m_allowHTViewReferrer;
    bool m_prefilterDNSLookup;
    bool m_ip2Country;
    int m_numDNSThreads;
    int m_numTruncateReports;
    int m_numTruncateExporting;
    std::string m_projectFolder;
    logfiletype_t m_defaultLogfileType;
};
