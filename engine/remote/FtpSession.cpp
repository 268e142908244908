#include "engine/remote/FtpSession.h"

#include <strings.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "engine/remote/CurlHandle.h"
#include "engine/remote/LocalFiles.h"

namespace {

size_t AppendText(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

size_t WriteFile(char* data, size_t size, size_t count, void* user) {
    return static_cast<CTempFile*>(user)->Write(data, size * count) ? size * count : 0;
}

std::string Escape(const std::string& part) {
    char* escaped = curl_easy_escape(nullptr, part.c_str(), static_cast<int>(part.size()));
    std::string result = escaped ? escaped : "";
    curl_free(escaped);
    return result;
}

// "YYYYMMDDHHMMSS[.sss]" in UTC.
time_t ParseFtpTime(const std::string& text) {
    if (text.size() < 14) return -1;
    struct tm tm {};
    auto number = [&](size_t at, size_t len) { return std::atoi(text.substr(at, len).c_str()); };
    tm.tm_year = number(0, 4) - 1900;
    tm.tm_mon = number(4, 2) - 1;
    tm.tm_mday = number(6, 2);
    tm.tm_hour = number(8, 2);
    tm.tm_min = number(10, 2);
    tm.tm_sec = number(12, 2);
    return timegm(&tm);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool ParseMlsdLine(const std::string& line, ftp_entry_t& entry) {
    const size_t space = line.find(' ');
    if (space == std::string::npos || space + 1 >= line.size()) return false;
    entry = ftp_entry_t{};
    entry.name = line.substr(space + 1);
    std::istringstream facts(line.substr(0, space));
    for (std::string fact; std::getline(facts, fact, ';');) {
        const size_t eq = fact.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = fact.substr(0, eq);
        const std::string value = fact.substr(eq + 1);
        if (strcasecmp(key.c_str(), "type") == 0)
            entry.isFolder = strcasecmp(value.c_str(), "file") != 0;
        else if (strcasecmp(key.c_str(), "size") == 0)
            entry.size = std::atoll(value.c_str());
        else if (strcasecmp(key.c_str(), "modify") == 0)
            entry.modified = ParseFtpTime(value);
    }
    return true;
}

CCurlFtpConnection::CCurlFtpConnection(CCurlHandle& session, const std::string& host, int port,
                                       const std::string& user, const std::string& password,
                                       bool passive)
    : m_session(session),
      m_base("ftp://" + host + ":" + std::to_string(port > 0 ? port : 21)),
      m_user(user),
      m_password(password),
      m_passive(passive) {}

std::string CCurlFtpConnection::ResolvePath(const std::string& current, const std::string& folder) {
    std::vector<std::string> parts;
    const std::string joined =
        (!folder.empty() && folder[0] == '/') ? folder : current + "/" + folder;
    std::istringstream in(joined);
    for (std::string part; std::getline(in, part, '/');) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string path;
    for (const std::string& part : parts) path += "/" + part;
    return path.empty() ? "/" : path;
}

// "%2F" makes the first folder absolute, so curl's single CWD names the full path.
std::string CCurlFtpConnection::UrlOf(const std::string& absolutePath, bool folder) const {
    std::string url = m_base + "/%2F";
    std::istringstream in(absolutePath);
    bool first = true;
    for (std::string part; std::getline(in, part, '/');) {
        if (part.empty()) continue;
        if (!first) url += '/';
        url += Escape(part);
        first = false;
    }
    if (folder) url += '/';
    return url;
}

void CCurlFtpConnection::Prepare(const std::string& url) {
    m_session.Reset();
    CURL* curl = m_session.Get();
    if (!curl) return;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.empty() ? "anonymous" : m_user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, m_user.empty() ? "logvane@" : m_password.c_str());
    curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    if (m_passive) {
        curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(curl, CURLOPT_FTP_USE_EPRT, 0L);
    }
}

bool CCurlFtpConnection::Probe(const std::string& url, std::string& error) {
    Prepare(url);
    curl_easy_setopt(m_session.Get(), CURLOPT_NOBODY, 1L);
    const bool ok = m_session.Perform(error) == CURLE_OK;
    if (!ok) m_lastError = error;
    return ok;
}

bool CCurlFtpConnection::Connect(std::string& error) {
    if (!Probe(m_base + "/", error)) return false;
    char* entry = nullptr;
    if (curl_easy_getinfo(m_session.Get(), CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry &&
        *entry)
        m_start = ResolvePath("/", entry);
    m_current = m_start;
    return true;
}

bool CCurlFtpConnection::GetCurrentDirectory(std::string& folder) {
    folder = m_current;
    return true;
}

bool CCurlFtpConnection::SetCurrentDirectory(const std::string& folder) {
    const std::string target = ResolvePath(m_current, folder);
    std::string error;
    if (!Probe(UrlOf(target, true), error)) return false;
    m_current = target;
    return true;
}

bool CCurlFtpConnection::CreateDirectory(const std::string& folder) {
    const std::string target = ResolvePath(m_current, folder);
    Prepare(UrlOf(m_current, true));
    const std::string command = "MKD " + target;
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> quote(
        curl_slist_append(nullptr, command.c_str()), &curl_slist_free_all);
    curl_easy_setopt(m_session.Get(), CURLOPT_QUOTE, quote.get());
    curl_easy_setopt(m_session.Get(), CURLOPT_NOBODY, 1L);
    std::string error;
    const bool ok = m_session.Perform(error) == CURLE_OK;
    if (!ok) m_lastError = error;
    return ok;
}

bool CCurlFtpConnection::List(std::vector<ftp_entry_t>& entries, std::string& error) {
    entries.clear();
    if (ListMlsd(entries, error)) return true;
    entries.clear();
    return ListNames(entries, error);
}

bool CCurlFtpConnection::ListMlsd(std::vector<ftp_entry_t>& entries, std::string& error) {
    std::string text;
    Prepare(UrlOf(m_current, true));
    curl_easy_setopt(m_session.Get(), CURLOPT_CUSTOMREQUEST, "MLSD");
    curl_easy_setopt(m_session.Get(), CURLOPT_WRITEFUNCTION, &AppendText);
    curl_easy_setopt(m_session.Get(), CURLOPT_WRITEDATA, &text);
    if (m_session.Perform(error) != CURLE_OK) return false;
    for (const std::string& line : SplitLines(text)) {
        ftp_entry_t entry;
        if (ParseMlsdLine(line, entry) && entry.name != "." && entry.name != "..")
            entries.push_back(entry);
    }
    return true;
}

bool CCurlFtpConnection::ListNames(std::vector<ftp_entry_t>& entries, std::string& error) {
    std::string text;
    Prepare(UrlOf(m_current, true));
    curl_easy_setopt(m_session.Get(), CURLOPT_DIRLISTONLY, 1L);
    curl_easy_setopt(m_session.Get(), CURLOPT_WRITEFUNCTION, &AppendText);
    curl_easy_setopt(m_session.Get(), CURLOPT_WRITEDATA, &text);
    if (m_session.Perform(error) != CURLE_OK) {
        m_lastError = error;
        return false;
    }
    for (std::string name : SplitLines(text)) {
        const size_t slash = name.find_last_of('/');  // some servers answer with paths
        if (slash != std::string::npos) name = name.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") continue;
        ftp_entry_t entry;
        entry.name = name;
        std::string ignored;
        Prepare(UrlOf(m_current + "/" + name, false));
        curl_easy_setopt(m_session.Get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(m_session.Get(), CURLOPT_FILETIME, 1L);
        curl_off_t size = -1;
        long filetime = -1;
        if (m_session.Perform(ignored) == CURLE_OK) {
            curl_easy_getinfo(m_session.Get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
            curl_easy_getinfo(m_session.Get(), CURLINFO_FILETIME, &filetime);
        }
        entry.size = size;
        entry.modified = filetime;
        entry.isFolder = size < 0;  // SIZE is refused for folders
        entries.push_back(entry);
    }
    return true;
}

bool CCurlFtpConnection::Download(const std::string& name, const std::string& localPath,
                                  time_t modified, std::string& error) {
    CreateParentFolders(localPath);
    CTempFile file;
    if (!file.Open(localPath)) {
        error = "cannot create " + localPath;
        return false;
    }
    Prepare(UrlOf(m_current + "/" + name, false));
    curl_easy_setopt(m_session.Get(), CURLOPT_WRITEFUNCTION, &WriteFile);
    curl_easy_setopt(m_session.Get(), CURLOPT_WRITEDATA, &file);
    if (m_session.Perform(error) != CURLE_OK) {
        m_lastError = error;
        return false;
    }
    if (!file.Commit(modified)) {
        error = "cannot write " + localPath;
        return false;
    }
    return true;
}
