#include "engine/remote/HttpDownload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "engine/remote/CurlHandle.h"
#include "engine/remote/LocalFiles.h"
#include "utility/Progress.h"

namespace {

std::mutex g_callbackMutex;
credentials_callback_t g_callback;

constexpr int kMaxAuthRetries = 10;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    return text;
}

// State of one GET, filled by the header and body callbacks.
struct transfer_t {
    const std::string* localPath = nullptr;
    const std::string* objectName = nullptr;
    long status = 0;
    long long contentLength = -1;
    time_t lastModified = -1;
    bool unchanged = false;
    bool fileError = false;
    CTempFile file;
    long long received = 0;

    void StartResponse(std::string_view statusLine) {
        status = 0;
        contentLength = -1;
        lastModified = -1;
        const size_t space = statusLine.find(' ');
        if (space != std::string_view::npos) status = std::atol(statusLine.data() + space + 1);
    }

    bool Succeeded() const { return status >= 200 && status <= 299; }

    // End of a 2xx header block: either the local copy is current or the body is to be kept.
    bool HeadersDone() {
        if (!Succeeded()) return true;
        struct stat local {};
        if (contentLength >= 0 && lastModified >= 0 && stat(localPath->c_str(), &local) == 0 &&
            S_ISREG(local.st_mode) && local.st_size == contentLength &&
            local.st_mtime >= lastModified) {
            unchanged = true;
            return false;  // stops the transfer
        }
        if (!file.Open(*localPath)) {
            fileError = true;
            return false;
        }
        return true;
    }
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<transfer_t*>(user);
    const size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (StartsWithNoCase(line, "HTTP/")) {
        t->StartResponse(line);
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        t->contentLength = std::atoll(std::string(Trim(line.substr(15))).c_str());
    } else if (StartsWithNoCase(line, "Last-Modified:")) {
        t->lastModified = curl_getdate(std::string(Trim(line.substr(14))).c_str(), nullptr);
    } else if (Trim(line).empty() && t->status >= 200) {
        if (!t->HeadersDone()) return 0;
    }
    return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<transfer_t*>(user);
    const size_t bytes = size * count;
    if (!t->Succeeded()) return bytes;  // error pages are read and dropped
    if (!t->file.Write(data, bytes)) {
        t->fileError = true;
        return 0;
    }
    t->received += static_cast<long long>(bytes);
    CProgress::SetText(PROGRESS_RETRIEVING, "Transferred " + std::to_string(t->received) +
                                                " bytes of " + *t->objectName);
    int percent = 0;
    if (t->contentLength > 0)
        percent = t->received > t->contentLength
                      ? 100
                      : static_cast<int>(t->received * 100 / t->contentLength);
    CProgress::SetPercentageDone(percent);
    return bytes;
}

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void SetGetOptions(CURL* curl, const std::string& url, curl_slist* headers) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

}  // namespace

void SetCredentialsCallback(credentials_callback_t callback) {
    std::lock_guard lock(g_callbackMutex);
    g_callback = std::move(callback);
}

credentials_callback_t GetCredentialsCallback() {
    std::lock_guard lock(g_callbackMutex);
    return g_callback;
}

http_result_t DownloadWebObject(CCurlHandle& session, const std::string& url,
                                const std::string& objectName, const std::string& localPath,
                                http_credentials_t& credentials) {
    CreateParentFolders(localPath);
    std::unique_ptr<curl_slist, SlistFree> headers(curl_slist_append(nullptr, "Accept: *"));
    for (int attempt = 0;; ++attempt) {
        session.Reset();
        CURL* curl = session.Get();
        transfer_t t;
        t.localPath = &localPath;
        t.objectName = &objectName;
        if (curl) {
            SetGetOptions(curl, url, headers.get());
            curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
            curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
            if (credentials.send) {
                curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
                curl_easy_setopt(curl, CURLOPT_USERNAME, credentials.user.c_str());
                curl_easy_setopt(curl, CURLOPT_PASSWORD, credentials.password.c_str());
            }
        }
        std::string error;
        const CURLcode code = session.Perform(error);
        if (t.unchanged) return http_result_t::Unchanged;
        if (session.WasCancelled()) return http_result_t::Cancelled;
        if (t.fileError) {
            AddInternetError("cannot write " + localPath + ": " + std::strerror(errno));
            return http_result_t::Failed;
        }
        if (code != CURLE_OK) {
            AddInternetError(error);
            return http_result_t::Failed;
        }
        if (t.status == 401 && credentials.onUnauthorized && attempt < kMaxAuthRetries &&
            credentials.onUnauthorized(url, credentials.user, credentials.password)) {
            credentials.send = true;
            continue;
        }
        if (!t.Succeeded()) return http_result_t::Refused;
        if (!t.file.IsOpen() && !t.file.Open(localPath)) {  // a 2xx without header end
            AddInternetError("cannot write " + localPath + ": " + std::strerror(errno));
            return http_result_t::Failed;
        }
        if (!t.file.Commit(t.lastModified)) {
            AddInternetError("cannot write " + localPath + ": " + std::strerror(errno));
            return http_result_t::Failed;
        }
        return http_result_t::Fetched;
    }
}

namespace {

struct text_sink_t {
    std::string* body;
    size_t limit;
};

size_t OnText(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<text_sink_t*>(user);
    const size_t bytes = size * count;
    const size_t room = sink->limit - std::min(sink->limit, sink->body->size());
    sink->body->append(data, std::min(room, bytes));
    return bytes;
}

}  // namespace

bool HttpGetText(CCurlHandle& session, const std::string& url, std::string& body,
                 std::string& error, size_t limit) {
    body.clear();
    error.clear();
    session.Reset();
    CURL* curl = session.Get();
    text_sink_t sink{&body, limit};
    std::unique_ptr<curl_slist, SlistFree> headers(curl_slist_append(nullptr, "Accept: *"));
    if (curl) {
        SetGetOptions(curl, url, headers.get());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnText);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    }
    if (session.Perform(error) != CURLE_OK) return false;
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status >= 200 && status <= 299;
}
