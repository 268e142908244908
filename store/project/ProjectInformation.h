#pragma once

#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/filter/FilterInformation.h"
#include "store/filter/ScenarioInformation.h"
#include "store/filter/TagInformation.h"
#include "store/project/LogfileInformation.h"
#include "store/style/ExportInformation.h"

class CMarkup;

// One web site to analyse: its identity, where its logs lie, which files to track, how host
// names are resolved, and its filters, scenarios, tags and export settings. Stored as a project
// file (.bvp) whose root is `PROJECT`.
class LOGVANE_STORE_API CProjectInformation {
public:
    // One default log file entry, default page "index.html", full DNS on, everything else
    // empty or off, default export settings.
    CProjectInformation();
    bool operator==(const CProjectInformation&) const = default;

    // Loads a project file. False when it cannot be read or parsed or has no `PROJECT` (the
    // project is then untouched). On success the project holds only what the file holds.
    bool LoadXML(const char* path);
    // Main position on the `PROJECT` element.
    bool LoadXML(CMarkup& markup);
    // Writes the project file through a temporary file; owner-only (0600) when it holds a
    // password. False when it cannot be written; the old file is then untouched.
    bool SaveXML(const char* path) const;
    // Adds a `PROJECT` element after the main position.
    bool SaveXML(CMarkup& markup) const;

    // Removes the log file entries, tracked files and filters; empties domain, default page
    // and name; turns off disable-DNS and the Apache two-file flag. Description, cookie ID,
    // scenarios, tags and export settings stay.
    void Clear();

    const std::string& GetProjectName() const { return m_name; }
    void SetProjectName(const std::string& name) { m_name = name; }
    const std::string& GetProjectDesc() const { return m_description; }
    void SetProjectDesc(const std::string& text) { m_description = text; }
    const std::string& GetSiteDomain() const { return m_domain; }
    void SetSiteDomain(const std::string& domain) { m_domain = domain; }
    const std::string& GetSiteDefaultPage() const { return m_defaultPage; }
    void SetSiteDefaultPage(const std::string& page) { m_defaultPage = page; }
    // Name of the session cookie that identifies a visitor.
    const std::string& GetCookieID() const { return m_cookieID; }
    void SetCookieID(const std::string& id) { m_cookieID = id; }
    // True: host names are not resolved.
    bool GetDisableDNS() const { return m_disableDNS; }
    void SetDisableDNS(bool on) { m_disableDNS = on; }
    // True exactly when a filter tests DOMAIN: every host name must then be resolved. The flag
    // given to SetEnableFullDNS (or read from the file) does not enter into it.
    bool GetEnableFullDNS() const;
    void SetEnableFullDNS(bool on) { m_fullDNS = on; }
    bool GetApacheTwoFileFormat() const { return m_apacheTwoFile; }
    void SetApacheTwoFileFormat(bool on) { m_apacheTwoFile = on; }

    int GetNumLogfileInformation() const { return static_cast<int>(m_logfiles.size()); }
    // Entry i; i must be valid.
    CLogfileInformation& GetLogfileInformation(int i) { return m_logfiles[static_cast<size_t>(i)]; }
    const CLogfileInformation& GetLogfileInformation(int i) const {
        return m_logfiles[static_cast<size_t>(i)];
    }
    // Stores a copy, inserted at `at` when `at` is not -1 and below the count, otherwise
    // appended; returns the index used.
    int AddLogfileInformation(const CLogfileInformation& e, int at = -1);
    // Ignored when i is out of range.
    void RemoveLogfileInformation(int i);
    // Sets the number of entries; new ones are default entries, 0 or less empties the list.
    void AllocateLogInfo(int n);

    int GetNumTrackedFiles() const { return static_cast<int>(m_tracked.size()); }
    // Empty text when i is out of range.
    std::string GetTrackedFile(int i) const;
    int AddTrackedFile(const std::string& file, int at = -1);
    // 0 when i is out of range, otherwise removes it and returns 1.
    int RemoveTrackedFile(int i);

    CScenarioInformation& ScenarioInformation() { return m_scenarios; }
    const CScenarioInformation& GetScenarioInformation() const { return m_scenarios; }
    void SetScenarioInformation(const CScenarioInformation& s) { m_scenarios = s; }
    CTagInformation& TagInformation() { return m_tags; }
    const CTagInformation& GetTagInformation() const { return m_tags; }
    const CExportInformation& GetExportInformation() const { return m_export; }
    CExportInformation ExportInformation() const { return m_export; }
    void SetExportInformation(const CExportInformation& e) { m_export = e; }

    int GetNumFilters() const { return m_filters.GetNumFilters(); }
    filter_t GetFilterInfo(int i) const { return m_filters.GetFilterInfo(i); }
    int AddFilterInfo(const filter_t& f, int at = -1) { return m_filters.AddFilterInfo(f, at); }
    void RemoveFilterInfo(int i) { m_filters.RemoveFilterInfo(i); }
    std::string GetFilterDescription(const filter_t* f, int withPrefix) const {
        return m_filters.GetFilterDescription(f, withPrefix);
    }
    const CFilterInformation& GetFilters() const { return m_filters; }

    // Whether the saved file would hold a password (of a log server or the FTP export).
    bool HoldsPassword() const;

private:
    void ReadAttributes(CMarkup& markup);
    void ReadChildren(CMarkup& markup);
    void ReadLogfiles(CMarkup& markup);
    void WriteAttributes(CMarkup& markup) const;
    void WriteLogfilesAndTracking(CMarkup& markup) const;

    CFilterInformation m_filters;
    CScenarioInformation m_scenarios;
    CTagInformation m_tags;
    std::vector<std::string> m_tracked;
    std::vector<CLogfileInformation> m_logfiles;
    std::string m_description;
    std::string m_cookieID;
    std::string m_domain;
    std::string m_defaultPage = "index.html";
    bool m_disableDNS = false;
    bool m_fullDNS = true;
    std::string m_name;
    bool m_apacheTwoFile = false;
    CExportInformation m_export;
};
