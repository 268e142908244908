#include "engine/remote/RemoteRetrieval.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/remote/CurlHandle.h"
#include "engine/remote/DownloadClaims.h"
#include "engine/remote/FtpSession.h"
#include "engine/remote/LinkScan.h"
#include "engine/remote/LocalFiles.h"
#include "engine/source/PathExpansion.h"
#include "store/format/Format.h"
#include "store/format/Url.h"
#include "store/project/LogfileInformation.h"
#include "store/settings/Settings.h"
#include "utility/Progress.h"

namespace {

constexpr const char* kAgent = "Zentrik Logvane Tree Logvane";
constexpr int kPathFile = 1;
constexpr int kPathWildcard = 2;

curl_session_options_t SessionOptions(const remote_options_t& options) {
    curl_session_options_t session;
    session.agent = kAgent;
    session.proxy = options.proxy;
    session.caFile = options.caFile;
    session.connectTimeoutSeconds = options.connectTimeoutSeconds;
    session.stallSeconds = options.stallSeconds;
    return session;
}

void SetProgress(const std::string& text, int percent) {
    CProgress::SetText(PROGRESS_RETRIEVING, text);
    CProgress::SetPercentageDone(percent);
}

bool MatchesPattern(const std::string& pattern, const std::string& name) {
    return pattern.empty() || pattern == "*.*" || WildcardMatch(pattern.c_str(), name.c_str());
}

// ---- FTP ----

bool NeedsDownload(const std::string& localPath, const ftp_entry_t& remote) {
    std::error_code ec;
    const auto status = std::filesystem::status(localPath, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return true;
    const auto size = std::filesystem::file_size(localPath, ec);
    if (ec || (remote.size >= 0 && static_cast<long long>(size) != remote.size)) return true;
    struct stat st {};
    if (stat(localPath.c_str(), &st) != 0) return true;
    return remote.modified != -1 && st.st_mtime < remote.modified;
}

// Lists the current folder and fetches what is missing or out of date; every matching file is
// appended to `files` (one whose download failed only when an older copy exists).
bool DownloadMatchingFtpFiles(CCurlFtpConnection& ftp, const std::string& downloadFolder,
                              std::vector<std::string>& files, const std::string& pattern,
                              CDownloadClaims& claims, const std::string& remoteFolder) {
    SetProgress("Preparing to download...", 0);
    std::vector<ftp_entry_t> entries;
    std::string error;
    if (!ftp.List(entries, error)) {
        AddInternetError(error);
        return true;
    }
    std::vector<std::pair<const ftp_entry_t*, std::string>> wanted;
    for (const ftp_entry_t& entry : entries) {
        if (CProgress::ShouldCancel()) return false;
        if (entry.isFolder || !MatchesPattern(pattern, entry.name)) continue;
        const std::string local =
            claims.Claim(downloadFolder, entry.name, remoteFolder + entry.name);
        files.push_back(local);
        if (NeedsDownload(local, entry)) wanted.emplace_back(&entry, local);
    }
    const int n = static_cast<int>(wanted.size());
    for (int k = 1; k <= n; ++k) {
        if (CProgress::ShouldCancel()) return false;
        const auto& [entry, local] = wanted[static_cast<size_t>(k - 1)];
        SetProgress("Downloading file " + std::to_string(k) + " of " + std::to_string(n) + "...",
                    1);
        if (!ftp.Download(entry->name, local, entry->modified, error)) {
            if (CProgress::ShouldCancel()) return false;
            AddInternetError(error);
            if (!std::filesystem::exists(local)) std::erase(files, local);
        }
        CProgress::SetPercentageDone(k * 100 / n);
    }
    return true;
}

bool RetrieveFtp(const remote_request_t& request, const remote_options_t& options,
                 const std::string& downloadFolder, std::vector<std::string>& files,
                 CDownloadClaims& claims) {
    CCurlHandle session(SessionOptions(options));
    SetProgress("Connecting to FTP server...", 0);
    CCurlFtpConnection ftp(session, request.serverName, request.port, request.userName,
                           request.password, options.passiveFtp);
    std::string error;
    if (!ftp.Connect(error)) {
        AddInternetError(error);
        return false;
    }
    const std::string start = ftp.GetStartingDirectory();
    for (const auto& [path, type] : request.paths) {
        if (CProgress::ShouldCancel()) return false;
        std::string folder = path;
        std::string pattern;
        if (type == kPathFile || type == kPathWildcard) {
            const size_t slash = path.rfind('/');
            folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
            pattern = slash == std::string::npos ? path : path.substr(slash + 1);
        }
        SetProgress("Changing directory...", 0);
        if (!ftp.SetCurrentDirectory(start) ||
            (!folder.empty() && !ftp.SetCurrentDirectory(folder))) {
            if (CProgress::ShouldCancel()) return false;
            CProgress::AddError(
                "There was an error opening the following directory on your FTP site: " + folder,
                "Trouble/ErrorBadFTPPath.htm");
            return false;
        }
        // Server and resolved folder name a remote file among equal names elsewhere.
        std::string current;
        ftp.GetCurrentDirectory(current);
        if (current.empty() || current.back() != '/') current += '/';
        if (current[0] != '/') current = "/" + current;
        const std::string remoteFolder =
            "ftp://" + request.serverName + ":" + std::to_string(request.port) + current;
        if (!DownloadMatchingFtpFiles(ftp, downloadFolder, files, pattern, claims, remoteFolder))
            return false;
    }
    return true;
}

// ---- WEB ----

struct web_target_t {
    std::string base;  // "scheme://host[:port]"
    std::string host;
    std::string object;  // path and query, beginning with "/"
};

bool SplitUrl(const std::string& text, web_target_t& target) {
    CURLU* url = curl_url();
    if (!url) return false;
    bool ok = curl_url_set(url, CURLUPART_URL, text.c_str(),
                           CURLU_DEFAULT_SCHEME | CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    char* path = nullptr;
    char* query = nullptr;
    ok = ok && curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
         curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
         curl_url_get(url, CURLUPART_PATH, &path, 0) == CURLUE_OK;
    if (ok) {
        const std::string s = scheme;
        ok = s == "http" || s == "https";
        curl_url_get(url, CURLUPART_PORT, &port, 0);
        curl_url_get(url, CURLUPART_QUERY, &query, 0);
        target.host = host;
        target.base = s + "://" + target.host + (port ? std::string(":") + port : "");
        target.object = path;
        if (query) target.object += std::string("?") + query;
    }
    for (char* part : {scheme, host, port, path, query}) curl_free(part);
    curl_url_cleanup(url);
    return ok;
}

// The object a link names on this server: root-relative links stay as they are, a full URL
// is taken only when it points at the same host, and other schemes (mailto:, javascript:)
// are dropped. Empty when the link is not to be fetched.
std::string LinkObject(const web_target_t& page, std::string link) {
    const size_t hash = link.find('#');
    if (hash != std::string::npos) link.resize(hash);
    if (link.empty()) return {};
    const size_t colon = link.find(':');
    if (colon != std::string::npos && colon < link.find_first_of("/?")) {
        web_target_t other;
        if (!SplitUrl(link, other) || other.base != page.base) return {};
        return other.object;
    }
    return link;
}

// Blanks and control or high bytes of a link, percent-encoded: libcurl refuses them raw.
std::string UrlOfObject(const web_target_t& target, const std::string& object) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = target.base;
    for (const unsigned char c : object) {
        if (c > 0x20 && c < 0x7f) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

std::string LastSegment(const std::string& object) {
    const std::string path = object.substr(0, object.find('?'));
    return path.substr(path.rfind('/') + 1);
}

class CWebRetrieval {
public:
    CWebRetrieval(const remote_request_t& request, const remote_options_t& options,
                  const std::string& downloadFolder, std::vector<std::string>& files,
                  CDownloadClaims& claims)
        : m_options(options), m_folder(downloadFolder), m_files(files), m_claims(claims) {
        m_credentials.send = request.passwordProtected;
        if (request.passwordProtected) {
            m_credentials.user = request.userName;
            m_credentials.password = request.password;
        }
        m_credentials.onUnauthorized =
            options.credentials ? options.credentials : GetCredentialsCallback();
    }

    // False when the URL cannot be parsed.
    bool RetrievePath(const std::string& path, int type) {
        SetProgress("Connecting to web server...", 0);
        web_target_t target;
        if (!SplitUrl(path, target)) return false;
        CCurlHandle session(SessionOptions(m_options));
        if (type == kPathFile) {
            Fetch(session, target, target.object,
                  CFormat::MakeValidFilename(LastSegment(target.object)));
            return true;
        }
        std::string pageFolder = target.object.substr(0, target.object.find('?'));
        std::string pattern = "*";
        if (type == kPathWildcard) {
            pattern = pageFolder.substr(pageFolder.rfind('/') + 1);
            pageFolder.resize(pageFolder.rfind('/') + 1);
        } else if (pageFolder.back() != '/') {
            pageFolder += '/';
        }
        for (const std::string& link : ReadLinks(session, target, pageFolder)) {
            if (CProgress::ShouldCancel()) return true;
            const std::string object = LinkObject(target, link);
            if (object.empty() || !MatchesPattern(pattern, LastSegment(object))) continue;
            if (object[0] == '/') {
                Fetch(session, target, object, object);
            } else {
                Fetch(session, target, UrlAddRemoteFile(pageFolder, object),
                      pageFolder + CFormat::MakeValidFilename(object));
            }
        }
        return true;
    }

private:
    // Fetches `object` into its claimed path inside the download folder (`relative` there).
    void Fetch(CCurlHandle& session, const web_target_t& target, const std::string& object,
               const std::string& relative) {
        const std::string url = UrlOfObject(target, object);
        const std::string local = m_claims.Claim(m_folder, relative, url);
        if (HttpSucceeded(DownloadWebObject(session, url, object, local, m_credentials)))
            m_files.push_back(local);
    }

    // The links of the folder page, read through a temporary file that is removed afterwards.
    std::vector<std::string> ReadLinks(CCurlHandle& session, const web_target_t& target,
                                       const std::string& pageFolder) {
        std::vector<std::string> links;
        std::string temp = (std::filesystem::temp_directory_path() / "bvdXXXXXX").string();
        const int fd = mkstemp(temp.data());
        if (fd < 0) return links;
        ::close(fd);
        ::unlink(temp.c_str());  // an empty file would pass for an unchanged page
        if (HttpSucceeded(DownloadWebObject(session, UrlOfObject(target, pageFolder), pageFolder,
                                            temp, m_credentials))) {
            std::ifstream in(temp, std::ios::binary);
            const std::string page((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            ScanLinks(page, links);
        }
        ::unlink(temp.c_str());
        return links;
    }

    const remote_options_t& m_options;
    const std::string& m_folder;
    std::vector<std::string>& m_files;
    CDownloadClaims& m_claims;
    http_credentials_t m_credentials;
};

}  // namespace

remote_options_t MakeRemoteOptions(const CSettings& settings) {
    remote_options_t options;
    options.passiveFtp = settings.GetPassiveFTP();
    if (settings.GetProxyEnabled()) options.proxy = settings.GetProxyServerName();
    return options;
}

bool RetrieveRemoteFiles(const remote_request_t& request, const remote_options_t& options,
                         std::vector<std::string>& files) {
    if (request.isFtp && request.serverName.empty())
        CProgress::AddError("Please specify a valid host name.  Hostname is blank",
                            "Trouble/ErrorHostNameBlank.htm");
    if (request.isFtp && request.userName.empty())
        CProgress::AddError("Please specify a valid ftp username.  Username is blank.",
                            "Trouble/ErrorUserNameBlank.htm");
    const std::string folder = options.downloadFolder.empty()
                                   ? GetDownloadFolder(request.projectName)
                                   : options.downloadFolder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    CDownloadClaims ownClaims;
    CDownloadClaims& claims = options.claims ? *options.claims : ownClaims;
    bool completed = true;
    if (request.isFtp) {
        completed = RetrieveFtp(request, options, folder, files, claims);
    } else {
        CWebRetrieval web(request, options, folder, files, claims);
        for (const auto& [path, type] : request.paths) {
            if (CProgress::ShouldCancel() || !web.RetrievePath(path, type)) {
                completed = false;
                break;
            }
        }
    }
    SetProgress("Closing session...", 100);
    return completed && !CProgress::ShouldCancel();
}

bool RetrieveLogfileEntry(const CLogfileInformation& entry, const std::string& projectName,
                          const CSettings& settings, std::vector<std::string>& files) {
    if (entry.GetImportType() == import_t::LOCAL) return true;
    remote_request_t request;
    request.serverName = entry.GetServerName();
    request.port = entry.GetPortNum();
    request.userName = entry.GetUsername();
    request.password = entry.GetPassword();
    request.projectName = projectName;
    request.isFtp = entry.GetImportType() == import_t::FTP;
    request.passwordProtected = entry.GetPasswordProtected();
    for (int i = 0; i < entry.GetNumPaths(); ++i)
        request.paths.emplace_back(entry.GetPath(i), static_cast<int>(entry.GetPathFileType(i)));
    return RetrieveRemoteFiles(request, MakeRemoteOptions(settings), files);
}
