#include "engine/geo/IPToCountry.h"

#include <strings.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <random>

#include "engine/remote/CurlHandle.h"
#include "engine/remote/HttpDownload.h"
#include "engine/remote/LocalFiles.h"
#include "store/format/FileSystem.h"
#include "store/format/Url.h"
#include "store/settings/Settings.h"
#include "store/settings/SettingsFolder.h"
#include "utility/Progress.h"

#ifndef LOGVANE_IP2CO_DEFAULT_HOST
#define LOGVANE_IP2CO_DEFAULT_HOST ""
#endif

namespace {

const std::string kUnknown = "Unknown";
constexpr const char* kAgent = "Zentrik Logvane IP To Country Fetcher";
constexpr int kBlockSize = 2000;

void SetProgress(const char* text, int percent) {
    CProgress::SetText(PROGRESS_IP2COUNTRY, text);
    CProgress::SetPercentageDone(percent);
}

void AddSystemError(const std::string& text) {
    CProgress::AddError("System Error: " + text, "Trouble/ErrorSystemErrors.htm");
}

// The first line of a file without its line end; empty when the file cannot be read.
std::string FirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::string FirstLineOf(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

bool ParseNumber(const char*& p, const char* end, std::uint32_t& value) {
    std::uint64_t v = 0;
    const char* start = p;
    while (p < end && *p >= '0' && *p <= '9' && v <= 0xFFFFFFFFull) v = v * 10 + (*p++ - '0');
    value = static_cast<std::uint32_t>(v);
    return p > start && v <= 0xFFFFFFFFull;
}

struct parsed_line_t {
    std::uint32_t start;
    std::uint32_t end;
    std::string_view abbrev;
    std::string_view name;
};

bool ParseDatabaseLine(const char* p, const char* end, parsed_line_t& line) {
    if (!ParseNumber(p, end, line.start) || p >= end || *p++ != '\t') return false;
    if (!ParseNumber(p, end, line.end) || p >= end || *p++ != '\t') return false;
    const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(end - p)));
    if (!tab) return false;
    line.abbrev = std::string_view(p, static_cast<size_t>(tab - p));
    line.name = std::string_view(tab + 1, static_cast<size_t>(end - tab - 1));
    while (!line.name.empty() && line.name.back() == '\r') line.name.remove_suffix(1);
    return line.start <= line.end;
}

}  // namespace

CIPToCountry::CIPToCountry() : CIPToCountry(GetSettingsDir()) {}

CIPToCountry::CIPToCountry(const std::string& folder)
    : m_databasePath(UrlAddLocalFile(folder, "ip2co.txt")),
      m_versionPath(UrlAddLocalFile(folder, "version.txt")),
      m_archivePath(m_databasePath + ".gz") {
    const char* host = std::getenv("LOGVANE_IP2CO_HOST");
    m_updateHost = host ? host : LOGVANE_IP2CO_DEFAULT_HOST;
}

// ---- update ----

bool CIPToCountry::ForcedCheck() const {
    if (m_remoteCheck != remote_check_t::Random) return m_remoteCheck == remote_check_t::Always;
    std::minstd_rand rng(static_cast<unsigned>(std::time(nullptr)));
    rng.discard(3);
    const int r = static_cast<int>(rng() % 32768);
    return r / 32767.0 < 0.1;
}

bool CIPToCountry::Fetch(const std::string& proxy) {
    SetProgress("Downloading IP to Country Database", 0);
    const bool forced = ForcedCheck();
    SetProgress("Checking Version", 0);
    std::string localVersion;
    bool present = !FirstLine(m_databasePath).empty();
    if (present) localVersion = FirstLine(m_versionPath);
    if (localVersion.empty()) present = false;

    if (m_updateHost.empty()) return InstallShipped(localVersion, present);
    if (!forced && present) {
        SetProgress("IP to country database up to date...", 25);
        return true;
    }
    const bool result = FetchRemote(localVersion, present, proxy);
    // An unreachable server must not leave a first run without any database.
    if (FirstLine(m_databasePath).empty()) InstallShipped(std::string(), false);
    return result;
}

bool CIPToCountry::Fetch(const CSettings& settings) {
    return Fetch(settings.GetProxyEnabled() ? settings.GetProxyServerName() : std::string());
}

bool CIPToCountry::FetchRemote(const std::string& localVersion, bool present,
                               const std::string& proxy) {
    curl_session_options_t options;
    options.agent = kAgent;
    options.proxy = proxy;
    CCurlHandle session(options);
    std::string base = m_updateHost;
    if (base.find("://") == std::string::npos) base = "http://" + base;
    while (!base.empty() && base.back() == '/') base.pop_back();

    std::string page, error;
    if (!HttpGetText(session, base + "/ip2co/index.php", page, error)) {
        if (error.empty()) return false;  // the server answered, but not with the page
        AddInternetError(error);
        return true;
    }
    const std::string remoteVersion = FirstLineOf(page);
    if (!present || remoteVersion.empty() ||
        strcasecmp(remoteVersion.c_str(), localVersion.c_str()) != 0) {
        SetProgress("Downloading Database", 25);
        http_credentials_t none;
        const http_result_t result = DownloadWebObject(session, base + "/ip2co/ip2co.php",
                                                       "/ip2co/ip2co.php", m_archivePath, none);
        if (result == http_result_t::Failed) return true;
        if (!HttpSucceeded(result)) return false;
        SetProgress("Unzipping Database", 75);
        if (!Unpack(m_archivePath)) return false;
        // Written only now: a version file ahead of its database would stop every later update.
        WriteVersion(remoteVersion);
    }
    SetProgress("Successfully updated IP to country database", 100);
    return true;
}

std::string CIPToCountry::ShippedFolder() const {
    if (!m_shippedFolder.empty()) return m_shippedFolder;
    const std::string beside = UrlAddLocalFile(GetExecutableDirectory(), "xml");
    if (FileExists(UrlAddLocalFile(beside, "ip2co.txt.gz").c_str())) return beside;
    return "/usr/share/logvane/xml";
}

bool CIPToCountry::InstallShipped(const std::string& localVersion, bool present) {
    const std::string folder = ShippedFolder();
    const std::string archive = UrlAddLocalFile(folder, "ip2co.txt.gz");
    const std::string shippedVersion = FirstLine(UrlAddLocalFile(folder, "version.txt"));
    const bool newer =
        !shippedVersion.empty() && strcasecmp(shippedVersion.c_str(), localVersion.c_str()) != 0;
    if ((present && !newer) || !FileExists(archive.c_str())) {
        SetProgress("IP to country database up to date...", 25);
        return true;
    }
    SetProgress("Unzipping Database", 75);
    if (!Unpack(archive)) return present;
    WriteVersion(shippedVersion.empty() ? "shipped" : shippedVersion);
    SetProgress("Successfully updated IP to country database", 100);
    return true;
}

// Inflates `archive` into the database through a temporary file, so a damaged, truncated or
// cancelled archive leaves the old database in place. A file that is not gzip (an error page) is
// refused.
bool CIPToCountry::Unpack(const std::string& archive) {
    gzFile in = gzopen(archive.c_str(), "rb");
    if (!in) {
        AddSystemError("cannot open " + archive + ": " + std::strerror(errno));
        return false;
    }
    CreateParentFolders(m_databasePath);
    CTempFile out;
    bool ok = out.Open(m_databasePath);
    if (!ok) AddSystemError("cannot write " + m_databasePath + ": " + std::strerror(errno));
    char block[kBlockSize];
    for (int n; ok && (n = gzread(in, block, kBlockSize)) != 0;) {
        if (n < 0 || gzdirect(in) || CProgress::ShouldCancel()) {
            ok = false;
            if (!CProgress::ShouldCancel()) AddSystemError(archive + " is not a valid gzip file");
            break;
        }
        ok = out.Write(block, static_cast<size_t>(n));
    }
    // Z_BUF_ERROR here: the archive ended inside its stream, and what came out is cut short.
    if (gzclose(in) != Z_OK && ok) {
        ok = false;
        AddSystemError(archive + " is not a complete gzip file");
    }
    return ok && out.Commit(-1);
}

void CIPToCountry::WriteVersion(const std::string& version) {
    CTempFile out;
    const std::string line = version + "\n";
    if (!out.Open(m_versionPath) || !out.Write(line.data(), line.size()) || !out.Commit(-1))
        AddSystemError("cannot write " + m_versionPath + ": " + std::strerror(errno));
}

// ---- loading and lookups ----

bool CIPToCountry::Load() {
    m_starts.clear();
    m_ranges.clear();
    m_countries.clear();
    m_current = -1;
    std::ifstream in(m_databasePath, std::ios::binary);
    if (!in) {
        AddSystemError("cannot open " + m_databasePath + ": " + std::strerror(errno));
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::map<std::pair<std::string_view, std::string_view>, std::uint32_t> countries;
    std::vector<std::pair<std::uint32_t, range_t>> ranges;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && !CProgress::ShouldCancel()) {
        const char* nl =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* lineEnd = nl ? nl : end;
        parsed_line_t line;
        if (ParseDatabaseLine(p, lineEnd, line)) {
            auto [it, isNew] = countries.try_emplace({line.abbrev, line.name},
                                                     static_cast<std::uint32_t>(countries.size()));
            if (isNew) m_countries.push_back({std::string(line.abbrev), std::string(line.name)});
            ranges.push_back({line.start, {line.end, it->second}});
        }
        p = lineEnd + 1;
    }
    // The search needs ascending starts; a hand-edited file may not keep them.
    if (!std::is_sorted(ranges.begin(), ranges.end(),
                        [](const auto& a, const auto& b) { return a.first < b.first; }))
        std::stable_sort(ranges.begin(), ranges.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    m_starts.reserve(ranges.size());
    m_ranges.reserve(ranges.size());
    for (const auto& [start, range] : ranges) {
        m_starts.push_back(start);
        m_ranges.push_back(range);
    }
    return !m_starts.empty();
}

std::uint32_t CIPToCountry::Convert(std::string_view ip) const {
    if (m_starts.empty()) return 0;
    std::uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        std::uint32_t part = 0;
        const size_t first = i;
        while (i < ip.size() && ip[i] >= '0' && ip[i] <= '9' && i - first < 3)
            part = part * 10 + static_cast<std::uint32_t>(ip[i++] - '0');
        if (i == first || part > 255) return 0;
        value = value << 8 | part;
        if (++parts < 4 && (i >= ip.size() || ip[i++] != '.')) return 0;
    }
    if (i != ip.size()) return 0;
    if (value < m_starts.front() || value > m_ranges.back().end) return 0;
    return value;
}

// A binary search: the probe of a fixed interpolation fraction degrades towards a linear walk
// for addresses near either end of the table.
void CIPToCountry::FindIP(std::uint32_t address) {
    m_current = -1;
    if (address == 0 || m_starts.empty()) return;
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), address);
    if (it == m_starts.begin()) return;
    const size_t index = static_cast<size_t>(it - m_starts.begin()) - 1;
    if (address <= m_ranges[index].end) m_current = static_cast<int>(index);
}

const std::string& CIPToCountry::GetIPAbbrev() const {
    if (m_current < 0) return kUnknown;
    const std::string& text = m_countries[m_ranges[static_cast<size_t>(m_current)].country].abbrev;
    return text.empty() ? kUnknown : text;
}

const std::string& CIPToCountry::GetIPName() const {
    if (m_current < 0) return kUnknown;
    const std::string& text = m_countries[m_ranges[static_cast<size_t>(m_current)].country].name;
    return text.empty() ? kUnknown : text;
}
