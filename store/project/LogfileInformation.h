#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/StoreApi.h"
#include "store/project/LogfileType.h"

class CMarkup;

// One source of log files of a project: local paths, an FTP server or a web server, and the
// format of its logs. Stored as a `LOGFILEENTRY` element.
class LOGVANE_STORE_API CLogfileInformation {
public:
    // LOCAL, no paths, no server data, port 21, not password-protected, format AUTO.
    CLogfileInformation();
    bool operator==(const CLogfileInformation&) const = default;

    // Empties the paths and server data, sets LOCAL, port 0, not password-protected, AUTO.
    void Clear();

    // Main position on a `LOGFILEENTRY` element (nothing is read from any other); reads into
    // the fields, leaving those whose elements are missing as they are. Always true.
    bool LoadXML(CMarkup& markup);
    // Adds a `LOGFILEENTRY` element after the main position and leaves the main position on
    // it. Always true.
    bool SaveXML(CMarkup& markup) const;

    import_t GetImportType() const { return m_importType; }
    void SetImportType(import_t type) { m_importType = type; }
    logfiletype_t GetLogfileType() const { return m_logfileType; }
    void SetLogfileType(logfiletype_t type) { m_logfileType = type; }
    const std::string& GetServerName() const { return m_serverName; }
    void SetServerName(const std::string& name) { m_serverName = name; }
    int GetPortNum() const { return m_port; }
    void SetPortNum(int port) { m_port = port; }
    const std::string& GetUsername() const { return m_username; }
    void SetUsername(const std::string& name) { m_username = name; }
    // Stored and written as plain text.
    const std::string& GetPassword() const { return m_password; }
    void SetPassword(const std::string& password) { m_password = password; }
    bool GetPasswordProtected() const { return m_passwordProtected; }
    void SetPasswordProtected(bool on) { m_passwordProtected = on; }

    int GetNumPaths() const { return static_cast<int>(m_paths.size()); }
    // Empty text when i is out of range.
    std::string GetPath(int i) const;
    // DIR when i is out of range.
    file_t GetPathFileType(int i) const;
    // When i is negative or not below the count, a new path (DIR, empty) is appended first and
    // its index used; returns the index written.
    int SetPath(int i, const std::string& path);
    int SetPathFileType(int i, file_t type);

    static std::string ImportTypeToString(import_t type) { return ImportTypeShortName(type); }
    static std::string PathTypeToString(file_t type) { return PathTypeShortName(type); }

protected:
    // The short text forms of the project file ("AUTO", "CLF", ...).
    static std::string ConvertLogfileTypeToString(logfiletype_t type);
    // Compared without regard to case; AUTO for an empty or unknown text.
    static logfiletype_t ConvertStringToLogfileType(const std::string& text);

private:
    int PathSlot(int i);
    void ReadServerInfo(CMarkup& markup);

    import_t m_importType = import_t::LOCAL;
    std::vector<std::pair<file_t, std::string>> m_paths;
    std::string m_serverName;
    std::string m_username;
    std::string m_password;
    int m_port = 21;
    bool m_passwordProtected = false;
    logfiletype_t m_logfileType = logfiletype_t::AUTO;
};
