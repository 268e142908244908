#include "engine/remote/CurlHandle.h"

#include <mutex>

#include "utility/Progress.h"

namespace {

constexpr size_t kMaxErrorText = 1000;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CCurlHandle::CCurlHandle(const curl_session_options_t& options) : m_options(options) {
    GlobalInit();
    m_curl = curl_easy_init();
    if (m_curl) ApplySessionOptions();
}

CCurlHandle::~CCurlHandle() {
    if (m_curl) curl_easy_cleanup(m_curl);
}

void CCurlHandle::Reset() {
    if (!m_curl) return;
    curl_easy_reset(m_curl);
    ApplySessionOptions();
}

void CCurlHandle::ApplySessionOptions() {
    curl_easy_setopt(m_curl, CURLOPT_USERAGENT, m_options.agent.c_str());
    if (!m_options.proxy.empty()) curl_easy_setopt(m_curl, CURLOPT_PROXY, m_options.proxy.c_str());
    if (!m_options.caFile.empty())
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_options.caFile.c_str());
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, m_options.connectTimeoutSeconds);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, m_options.stallSeconds);
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CCurlHandle::OnProgress);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps");
}

int CCurlHandle::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    if (!CProgress::ShouldCancel()) return 0;
    static_cast<CCurlHandle*>(self)->m_cancelled = true;
    return 1;
}

CURLcode CCurlHandle::Perform(std::string& error) {
    m_cancelled = false;
    if (!m_curl) {
        error = "libcurl could not create a session";
        return CURLE_FAILED_INIT;
    }
    m_errorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(m_curl);
    if (code != CURLE_OK) {
        error = m_errorBuffer[0] ? m_errorBuffer : curl_easy_strerror(code);
        if (error.size() > kMaxErrorText) error.resize(kMaxErrorText);
    }
    return code;
}

void AddInternetError(const std::string& text) {
    CProgress::AddError("Internet Error: " + text, "Trouble/ErrorNoInternet.htm");
}
