#pragma once

#include <string>

#include "store/StoreApi.h"
#include "store/style/Style.h"

class CMarkup;

// A project's export settings: whether and how its reports are exported (HTML into a folder,
// HTML to an FTP server, or CSV), where to, and with which style. Stored as the project's
// `EXPORT` element.
class LOGVANE_STORE_API CExportInformation {
public:
    enum export_t : int { LOCAL = 0, FTP = 1, CSV = 2 };

    // Exporting off, LOCAL into no path, images included, FTP port 21, not default, no PDF,
    // the default style, no FTP site.
    CExportInformation() = default;
    CExportInformation(const CExportInformation&) = default;
    CExportInformation& operator=(const CExportInformation&) = default;
    bool operator==(const CExportInformation&) const = default;

    bool GetIsExport() const { return m_isExport; }
    void SetIsExport(bool on) { m_isExport = on; }
    export_t GetExportType() const { return m_exportType; }
    void SetExportType(export_t type) { m_exportType = type; }
    const std::string& GetExportPath() const { return m_exportPath; }
    void SetExportPath(const std::string& path) { m_exportPath = path; }
    bool GetIncludeImages() const { return m_includeImages; }
    void SetIncludeImages(bool on) { m_includeImages = on; }
    bool GetExportDefault() const { return m_exportDefault; }
    void SetExportDefault(bool on) { m_exportDefault = on; }
    int GetDoPDF() const { return m_pdf; }
    void SetDoPDF(int on) { m_pdf = on; }
    const CStyle& GetStyle() const { return m_style; }
    void SetStyle(const CStyle& style) { m_style = style; }
    const std::string& GetExportFTPSitename() const { return m_ftpSite; }
    void SetExportFTPSitename(const std::string& site) { m_ftpSite = site; }
    const std::string& GetExportFTPUsername() const { return m_ftpUser; }
    void SetExportFTPUsername(const std::string& user) { m_ftpUser = user; }
    // Stored in the project file as plain text.
    const std::string& GetExportFTPPassword() const { return m_ftpPassword; }
    void SetExportFTPPassword(const std::string& password) { m_ftpPassword = password; }
    const std::string& GetExportFTPPath() const { return m_ftpPath; }
    void SetExportFTPPath(const std::string& path) { m_ftpPath = path; }
    int GetExportFTPPortnum() const { return m_ftpPort; }
    void SetExportFTPPortnum(int port) { m_ftpPort = port; }

    // Header, footer and CSS files come from the style; these are always empty.
    std::string GetHTMLHeaderFile() const { return {}; }
    std::string GetHTMLFooterFile() const { return {}; }
    std::string GetCustomCSSFile() const { return {}; }

    // Whether SaveXML writes an `EXPORT` element: exporting on and a known method.
    bool IsWritten() const;
    // Whether the written element carries a password.
    bool HoldsPassword() const {
        return IsWritten() && m_exportType == FTP && !m_ftpPassword.empty();
    }

    // Main position on `EXPORT`. The style named in the file is looked up in the user's styles
    // file (GetSettingsFile("styles")); when none matches, the style stays as it was.
    bool LoadXML(CMarkup& markup);
    // Main position on the project element: when IsWritten(), adds `EXPORT` after its child
    // position and steps back out, leaving the child position on it; otherwise writes nothing.
    bool SaveXML(CMarkup& markup) const;

protected:
    // "LOCAL" 0, "FTP" 1, "CSV" 2 (exact comparison), anything else LOCAL.
    static export_t ConvertStringToExportType(const std::string& text);

private:
    bool ReadOutput(CMarkup& markup);
    void LoadNamedStyle(const std::string& name);

    bool m_isExport = false;
    std::string m_exportPath;
    export_t m_exportType = LOCAL;
    bool m_includeImages = true;
    int m_ftpPort = 21;
    bool m_exportDefault = false;
    CStyle m_style;
    int m_pdf = 0;
    std::string m_ftpSite;
    std::string m_ftpUser;
    std::string m_ftpPassword;
    std::string m_ftpPath;
};
