#pragma once

#include <functional>
#include <string>

#include "engine/EngineApi.h"

class CCurlHandle;

// Asked when a server answers 401: `url` is the object, `user` and `password` hold what was
// sent and receive what to send next. True asks for a retry, false gives up. The engine shows
// no dialog itself; the desktop program installs one with SetCredentialsCallback.
using credentials_callback_t =
    std::function<bool(const std::string& url, std::string& user, std::string& password)>;

// Installs the process-wide callback used when a retrieval's options name none; an empty
// function removes it (a 401 then fails the download).
LOGVANE_ENGINE_API void SetCredentialsCallback(credentials_callback_t callback);
LOGVANE_ENGINE_API credentials_callback_t GetCredentialsCallback();

struct http_credentials_t {
    bool send = false;  // send user and password (password-protected entries only)
    std::string user;
    std::string password;
    credentials_callback_t onUnauthorized;  // empty: a 401 fails the download
};

enum class http_result_t {
    Fetched,    // the body was written to the local file
    Unchanged,  // the local file has the server's size and is not older: no transfer
    Refused,    // status outside 200-299 (no message)
    Failed,     // network or file failure, reported as an error
    Cancelled,  // the cancel flag stopped the transfer
};

// True for Fetched and Unchanged: the local file holds the object.
inline bool HttpSucceeded(http_result_t r) {
    return r == http_result_t::Fetched || r == http_result_t::Unchanged;
}

// Fetches `url` into `localPath` on the session, creating its folders. The body goes to a
// temporary file beside the target, renamed over it when complete, so a failed transfer
// leaves the old copy as it was; the file takes the server's Last-Modified time. Progress
// (stage 1): "Transferred %d bytes of " + `objectName`. Network and file failures add
// "Internet Error: ..." to the progress record.
LOGVANE_ENGINE_API http_result_t DownloadWebObject(CCurlHandle& session, const std::string& url,
                                                   const std::string& objectName,
                                                   const std::string& localPath,
                                                   http_credentials_t& credentials);

// The body of `url` (at most `limit` bytes are kept) when the server answers 2xx. False on
// any other status or failure; `error` then holds libcurl's message, empty for a status.
LOGVANE_ENGINE_API bool HttpGetText(CCurlHandle& session, const std::string& url, std::string& body,
                                    std::string& error, size_t limit = 64 * 1024);
