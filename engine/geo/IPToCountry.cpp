#include "engine/geo/IPToCountry.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <memory>
#include <numeric>
#include <random>
#include <thread>

#include "engine/geo/ReadOnlyFile.h"
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

// The database text is followed by this many zero bytes, so that a line can be read eight
// bytes at a time and a number always ends at a byte that is not a digit.
constexpr std::size_t kPadding = 16;

std::uint64_t Load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The first `size` bytes of a padded text in a word, the rest zero.
std::uint64_t Prefix8(std::string_view text) {
    const std::uint64_t v = Load8(text.data());
    return text.size() >= 8 ? v : v & ((std::uint64_t{1} << (8 * text.size())) - 1);
}

// How many of the eight bytes of `chunk` (first byte lowest) are digits before the first
// other byte. A carry out of a byte above 0xF9 only disturbs the bytes after it.
unsigned LeadingDigits(std::uint64_t chunk) {
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull, kDigitHigh = 0x3030303030303030ull;
    const std::uint64_t other =
        ((chunk & kHigh) ^ kDigitHigh) | (((chunk + 0x0606060606060606ull) & kHigh) ^ kDigitHigh);
    return other ? static_cast<unsigned>(__builtin_ctzll(other)) / 8 : 8;
}

// The value of the first `count` (1 to 8) digits of `chunk`.
std::uint64_t DigitsValue(std::uint64_t chunk, unsigned count) {
    chunk = (chunk & 0x0F0F0F0F0F0F0F0Full) << (8 * (8 - count));
    chunk = (chunk * 2561) >> 8;
    chunk = ((chunk & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
    return ((chunk & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
}

// The digits at `p` (of a padded text) as an unsigned 32-bit number; false without a digit
// or beyond 32 bits.
[[gnu::always_inline]] inline bool ParseNumber(const char*& p, std::uint32_t& value) {
    const std::uint64_t chunk = Load8(p);
    const unsigned count = LeadingDigits(chunk);
    if (count == 0) return false;
    std::uint64_t v = DigitsValue(chunk, count);
    p += count;
    if (count == 8) {
        // Addresses have up to ten digits; more are leading zeros or too large.
        const unsigned more = LeadingDigits(Load8(p));
        if (more == 1) {
            v = v * 10 + static_cast<unsigned>(p[0] - '0');
        } else if (more == 2) {
            v = v * 100 + static_cast<unsigned>(p[0] - '0') * 10 +
                static_cast<unsigned>(p[1] - '0');
        } else if (more > 2) {
            for (; static_cast<unsigned char>(*p - '0') <= 9; ++p) {
                v = v * 10 + static_cast<unsigned>(*p - '0');
                if (v > 0xFFFFFFFFull) return false;
            }
        }
        p += more <= 2 ? more : 0;
        if (v > 0xFFFFFFFFull) return false;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

// The first line feed from `p` on, or `end` when there is none before it.
[[gnu::always_inline]] inline const char* FindLineEnd(const char* p, const char* end) {
    for (; p < end; p += 8) {
        const std::uint64_t x = Load8(p) ^ 0x0A0A0A0A0A0A0A0Aull;
        const std::uint64_t found = (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
        if (found) return std::min(p + __builtin_ctzll(found) / 8, end);
    }
    return end;
}

struct parsed_line_t {
    std::uint32_t start;
    std::uint32_t end;
    std::string_view country;  // "code<TAB>name", without trailing carriage returns
};

// The line of a padded text that starts at `p`; `next` is set to its line feed (or `end`).
// False when the line does not begin with two numbers, each followed by a tab.
[[gnu::always_inline]] inline bool ParseDatabaseLine(const char* p, const char* end,
                                                     parsed_line_t& line, const char*& next) {
    const char* const first = p;
    if (!ParseNumber(p, line.start) || *p++ != '\t' || !ParseNumber(p, line.end) || *p++ != '\t') {
        next = FindLineEnd(first, end);
        return false;
    }
    next = FindLineEnd(p, end);
    const char* textEnd = next;
    while (textEnd > p && textEnd[-1] == '\r') --textEnd;
    line.country = std::string_view(p, static_cast<size_t>(textEnd - p));
    return true;
}

// The whole file in one read, followed by kPadding zero bytes; false (errno set) when it
// cannot be read.
bool ReadWholeFile(const std::string& path, std::unique_ptr<char[]>& bytes, std::size_t& size,
                   struct stat& info) {
    const read_only_file_t file(path);
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) return false;
    // One byte more than the size: a file that grew since is read to its end.
    std::size_t capacity = static_cast<std::size_t>(info.st_size) + 1;
    bytes = std::make_unique_for_overwrite<char[]>(capacity + kPadding);
    size = 0;
    for (;;) {
        if (size == capacity) {
            auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2 + kPadding);
            std::memcpy(larger.get(), bytes.get(), size);
            bytes = std::move(larger);
            capacity *= 2;
        }
        const ssize_t n = ::read(file.fd, bytes.get() + size, capacity - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    std::memset(bytes.get() + size, 0, kPadding);
    return true;
}

// Country texts "code<TAB>name" of a padded text -> their index, for the few hundred distinct
// countries of a database. Equal texts are equal (code, name) pairs, so a known text needs no
// splitting.
class CCountryIndex {
public:
    // Sets `index` to the country of `text`, appending the country to `countries` on first
    // sight; false when the text holds no tab.
    template <class Countries>
    bool Find(std::string_view text, Countries& countries, std::uint32_t& index) {
        const key_t key{Prefix8(text), text.size() > 8 ? Prefix8(text.substr(8)) : 0, text.size()};
        const std::uint64_t hash = Hash(key);
        const std::size_t mask = m_slots.size() - 1;
        std::size_t at = hash & mask;
        for (; m_slots[at] != kEmpty; at = (at + 1) & mask) {
            index = m_slots[at];
            if (m_hashes[index] == hash && Same(index, key, text)) return true;
        }
        const std::size_t tab = text.find('\t');
        if (tab == std::string_view::npos) return false;
        index = static_cast<std::uint32_t>(m_keys.size());
        m_slots[at] = index;
        m_keys.push_back(key);
        m_hashes.push_back(hash);
        m_texts.emplace_back(text);
        countries.push_back({std::string(text.substr(0, tab)), std::string(text.substr(tab + 1))});
        if (m_slots.size() < m_keys.size() * 2) Grow();
        return true;
    }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    // The first sixteen bytes of a text and its length.
    struct key_t {
        std::uint64_t first, second;
        std::size_t size;
    };

    static std::uint64_t Hash(const key_t& key) {
        std::uint64_t h = (key.first ^ (key.size << 56)) * 0x9E3779B97F4A7C15ull;
        h = (h ^ key.second) * 0xC2B2AE3D27D4EB4Full;
        return h ^ (h >> 29);
    }

    bool Same(std::uint32_t index, const key_t& key, std::string_view text) const {
        const key_t& known = m_keys[index];
        if (known.first != key.first || known.second != key.second || known.size != key.size)
            return false;
        return text.size() <= 16 ||
               std::memcmp(m_texts[index].data() + 16, text.data() + 16, text.size() - 16) == 0;
    }

    void Grow() {
        m_slots.assign(m_slots.size() * 2, kEmpty);
        const std::size_t mask = m_slots.size() - 1;
        for (std::uint32_t i = 0; i < m_hashes.size(); ++i) {
            std::size_t at = m_hashes[i] & mask;
            while (m_slots[at] != kEmpty) at = (at + 1) & mask;
            m_slots[at] = i;
        }
    }

    std::vector<std::uint32_t> m_slots = std::vector<std::uint32_t>(1024, kEmpty);
    std::vector<key_t> m_keys;
    std::vector<std::uint64_t> m_hashes;
    std::vector<std::string> m_texts;
};

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

// The ranges of the lines in [p, end) of a padded text, which begins and ends at a line start.
void CIPToCountry::ParseRanges(const char* p, const char* end, ranges_part_t& part) {
    CCountryIndex countries;
    std::uint32_t previous = 0;
    // Database lines are about 35 bytes long.
    part.starts.reserve(static_cast<std::size_t>(end - p) / 32);
    part.ranges.reserve(static_cast<std::size_t>(end - p) / 32);
    for (std::uint32_t line = 0; p < end; ++line) {
        // Cancel is looked at now and then: a line costs far less than the look.
        if ((line & 4095) == 0 && CProgress::ShouldCancel()) break;
        const char* lineEnd;
        parsed_line_t parsed;
        std::uint32_t country;
        if (ParseDatabaseLine(p, end, parsed, lineEnd) && parsed.start <= parsed.end &&
            countries.Find(parsed.country, part.countries, country)) {
            part.sorted = part.sorted && parsed.start >= previous;
            previous = parsed.start;
            part.starts.push_back(parsed.start);
            part.ranges.push_back({parsed.end, country});
        }
        p = lineEnd + 1;
    }
}

bool CIPToCountry::Load() {
    m_starts.clear();
    m_ranges.clear();
    m_countries.clear();
    m_current = -1;
    struct stat info {};
    if (::stat(m_databasePath.c_str(), &info) == 0 && LoadCache(info)) return !m_starts.empty();
    std::unique_ptr<char[]> text;
    std::size_t size = 0;
    if (!ReadWholeFile(m_databasePath, text, size, info)) {
        AddSystemError("cannot open " + m_databasePath + ": " + std::strerror(errno));
        return false;
    }
    const char* const begin = text.get();
    const char* const end = begin + size;
    // A large database is read in two halves at once, split at a line start: the run waits
    // for it on one core while the other idles.
    const char* middle = end;
    if (size >= kParallelLoadBytes) {
        const char* nl = static_cast<const char*>(std::memchr(begin + size / 2, '\n', size / 2));
        if (nl) middle = nl + 1;
    }
    ranges_part_t first, second;
    std::exception_ptr failure;
    std::thread helper;
    if (middle < end) {
        helper = std::thread([&] {
            try {
                ParseRanges(middle, end, second);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    }
    try {
        ParseRanges(begin, middle, first);
    } catch (...) {
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
    if (failure) std::rethrow_exception(failure);
    MergeRanges(first, second);
    // The search needs ascending starts; a hand-edited file may not keep them.
    if (!first.sorted) SortRanges();
    if (m_starts.empty()) return false;
    // A cancelled read stopped part of the way.
    if (!CProgress::ShouldCancel()) SaveCache(info);
    return true;
}

// Joins the second half's ranges to the first's, its countries renumbered to the first's.
void CIPToCountry::MergeRanges(ranges_part_t& first, ranges_part_t& second) {
    std::vector<std::uint32_t> renumber(second.countries.size());
    for (std::size_t i = 0; i < second.countries.size(); ++i) {
        const country_t& country = second.countries[i];
        std::size_t known = 0;
        while (known < first.countries.size() && (first.countries[known].abbrev != country.abbrev ||
                                                  first.countries[known].name != country.name))
            ++known;
        if (known == first.countries.size()) first.countries.push_back(country);
        renumber[i] = static_cast<std::uint32_t>(known);
    }
    first.sorted = first.sorted && second.sorted &&
                   (first.starts.empty() || second.starts.empty() ||
                    second.starts.front() >= first.starts.back());
    m_starts = std::move(first.starts);
    m_ranges = std::move(first.ranges);
    m_starts.reserve(m_starts.size() + second.starts.size());
    m_ranges.reserve(m_ranges.size() + second.ranges.size());
    m_starts.insert(m_starts.end(), second.starts.begin(), second.starts.end());
    for (const range_t& range : second.ranges)
        m_ranges.push_back({range.end, renumber[range.country]});
    m_starts.shrink_to_fit();
    m_ranges.shrink_to_fit();
    m_countries = std::move(first.countries);
}

void CIPToCountry::SortRanges() {
    std::vector<std::uint32_t> order(m_starts.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
        return m_starts[a] < m_starts[b];
    });
    std::vector<std::uint32_t> starts(order.size());
    std::vector<range_t> ranges(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        starts[i] = m_starts[order[i]];
        ranges[i] = m_ranges[order[i]];
    }
    m_starts = std::move(starts);
    m_ranges = std::move(ranges);
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
