#pragma once

#include <curl/curl.h>

#include <string>

#include "engine/EngineApi.h"

// Session options shared by every transfer of one retrieval or database update.
struct curl_session_options_t {
    std::string agent;   // User-Agent text
    std::string proxy;   // "host[:port]"; empty: libcurl's own environment (http_proxy, ...)
    std::string caFile;  // extra certificate authorities (PEM) for https; empty: the system's
    long connectTimeoutSeconds = 30;
    // A transfer slower than one byte a second for this long is given up, so that a stalled
    // server cannot hang a run that nobody cancels.
    long stallSeconds = 120;
};

// One libcurl easy handle: a session whose connections are kept between transfers. Every
// transfer made through it stops when CProgress::ShouldCancel becomes true.
class LOGVANE_ENGINE_API CCurlHandle {
public:
    explicit CCurlHandle(const curl_session_options_t& options);
    ~CCurlHandle();
    CCurlHandle(const CCurlHandle&) = delete;
    CCurlHandle& operator=(const CCurlHandle&) = delete;

    // Null when libcurl could not create a handle.
    CURL* Get() const { return m_curl; }
    // Resets the per-transfer options and sets the session's options again.
    void Reset();
    // Runs the transfer; on failure `error` receives libcurl's message (at most 1,000 bytes).
    CURLcode Perform(std::string& error);
    // True when the last Perform ended because the cancel flag was set.
    bool WasCancelled() const { return m_cancelled; }

private:
    void ApplySessionOptions();
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CURL* m_curl = nullptr;
    curl_session_options_t m_options;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    bool m_cancelled = false;
};

// Adds "Internet Error: " + text with the help topic of network failures to the progress record.
LOGVANE_ENGINE_API void AddInternetError(const std::string& text);
