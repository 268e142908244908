#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "store/format/FtpConnection.h"

class CCurlHandle;

// One entry of a remote folder listing.
struct ftp_entry_t {
    std::string name;
    long long size = -1;   // -1 when the server did not tell
    time_t modified = -1;  // UTC; -1 when the server did not tell
    bool isFolder = false;
};

// An FTP session over a libcurl handle. Remote folders are tracked as absolute paths; every
// request names its folder in full, so the server's idea of the current folder never matters.
class LOGVANE_ENGINE_API CCurlFtpConnection : public CFtpConnection {
public:
    // `passive`: EPSV, then PASV; otherwise active mode (PORT).
    CCurlFtpConnection(CCurlHandle& session, const std::string& host, int port,
                       const std::string& user, const std::string& password, bool passive);

    // Logs in and notes the starting folder. False with libcurl's message in `error`.
    bool Connect(std::string& error);
    const std::string& GetStartingDirectory() const { return m_start; }

    bool GetCurrentDirectory(std::string& folder) override;
    // Relative folders are taken from the current one; ".." is resolved here.
    bool SetCurrentDirectory(const std::string& folder) override;
    bool CreateDirectory(const std::string& folder) override;

    // Lists the current folder (MLSD; servers without it: NLST, then SIZE and MDTM per name).
    bool List(std::vector<ftp_entry_t>& entries, std::string& error);
    // Fetches `name` of the current folder in binary mode into `localPath` through a temporary
    // file; the local file takes `modified` as its last-write time when it is not -1.
    bool Download(const std::string& name, const std::string& localPath, time_t modified,
                  std::string& error);
    // The last message of a failed request.
    const std::string& GetLastError() const { return m_lastError; }

    // Absolute form of `folder` seen from `current`, with "." and ".." resolved.
    static std::string ResolvePath(const std::string& current, const std::string& folder);

private:
    std::string UrlOf(const std::string& absolutePath, bool folder) const;
    void Prepare(const std::string& url);
    bool ListMlsd(std::vector<ftp_entry_t>& entries, std::string& error);
    bool ListNames(std::vector<ftp_entry_t>& entries, std::string& error);
    bool Probe(const std::string& url, std::string& error);

    CCurlHandle& m_session;
    std::string m_base;  // "ftp://host:port"
    std::string m_user;
    std::string m_password;
    bool m_passive;
    std::string m_start = "/";
    std::string m_current = "/";
    std::string m_lastError;
};

// Parses one MLSD line ("fact=value;...; name"); false for a line without a name.
LOGVANE_ENGINE_API bool ParseMlsdLine(const std::string& line, ftp_entry_t& entry);
