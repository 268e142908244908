// The parsed database kept beside the text one, so that a run reads a few megabytes of
// ready ranges instead of parsing some 300,000 lines (about 20 ms of every run's start).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "engine/geo/IPToCountry.h"
#include "engine/geo/ReadOnlyFile.h"
#include "engine/remote/LocalFiles.h"

namespace {

constexpr char kMagic[8] = {'L', 'V', 'I', 'P', '2', 'C', 'O', '\0'};
constexpr std::uint32_t kFormat = 1;

// The database file the cache was made from: any rewrite of it (a new install renames a new
// file over it) changes one of these.
struct source_t {
    std::uint64_t device, inode, size;
    std::int64_t modifiedNs, changedNs;
};

struct header_t {
    char magic[8];
    std::uint32_t format;
    std::uint32_t countryCount;
    std::uint64_t countryBytes;  // "abbrev\0name\0" per country
    std::uint64_t rangeCount;
    source_t source;
};

source_t SourceOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

bool SameSource(const source_t& a, const source_t& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs;
}

bool ReadExactly(int fd, void* to, std::size_t size) {
    char* p = static_cast<char*>(to);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string CIPToCountry::CachePath() const { return m_databasePath + ".idx"; }

bool CIPToCountry::LoadCache(const struct stat& database) {
    const read_only_file_t file(CachePath());
    struct stat info {};
    header_t header{};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 ||
        !ReadExactly(file.fd, &header, sizeof header) ||
        std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.format != kFormat ||
        !SameSource(header.source, SourceOf(database)))
        return false;
    // Every size is checked against the file's before anything is allocated by it.
    const std::uint64_t rangeBytes = sizeof(std::uint32_t) + sizeof(range_t);
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    if (header.countryBytes > fileSize || header.rangeCount > fileSize / rangeBytes ||
        sizeof header + header.countryBytes + header.rangeCount * rangeBytes != fileSize)
        return false;

    std::string texts(header.countryBytes, '\0');
    std::vector<std::uint32_t> starts(header.rangeCount);
    std::vector<range_t> ranges(header.rangeCount);
    if (!ReadExactly(file.fd, texts.data(), texts.size()) ||
        !ReadExactly(file.fd, starts.data(), starts.size() * sizeof starts[0]) ||
        !ReadExactly(file.fd, ranges.data(), ranges.size() * sizeof ranges[0]))
        return false;
    std::vector<country_t> countries;
    for (std::size_t at = 0; at < texts.size() && countries.size() < header.countryCount;) {
        const std::size_t abbrevEnd = texts.find('\0', at);
        const std::size_t nameEnd =
            abbrevEnd == std::string::npos ? std::string::npos : texts.find('\0', abbrevEnd + 1);
        if (nameEnd == std::string::npos) return false;
        countries.push_back({texts.substr(at, abbrevEnd - at),
                             texts.substr(abbrevEnd + 1, nameEnd - abbrevEnd - 1)});
        at = nameEnd + 1;
    }
    if (countries.size() != header.countryCount) return false;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        // The search needs ascending starts.
        if (ranges[i].country >= countries.size() || (i > 0 && starts[i] < starts[i - 1]))
            return false;
    }
    m_starts = std::move(starts);
    m_ranges = std::move(ranges);
    m_countries = std::move(countries);
    return true;
}

void CIPToCountry::SaveCache(const struct stat& database) const {
    std::string texts;
    for (const country_t& country : m_countries) {
        // A text holding a NUL byte could not be read back as written.
        if (country.abbrev.find('\0') != std::string::npos ||
            country.name.find('\0') != std::string::npos)
            return;
        texts += country.abbrev;
        texts += '\0';
        texts += country.name;
        texts += '\0';
    }
    header_t header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.format = kFormat;
    header.countryCount = static_cast<std::uint32_t>(m_countries.size());
    header.countryBytes = texts.size();
    header.rangeCount = m_starts.size();
    header.source = SourceOf(database);
    // A cache that cannot be written only costs the next run the parse.
    CTempFile out;
    if (out.Open(CachePath()) && out.Write(reinterpret_cast<const char*>(&header), sizeof header) &&
        out.Write(texts.data(), texts.size()) &&
        out.Write(reinterpret_cast<const char*>(m_starts.data()),
                  m_starts.size() * sizeof m_starts[0]) &&
        out.Write(reinterpret_cast<const char*>(m_ranges.data()),
                  m_ranges.size() * sizeof m_ranges[0]))
        out.Commit(-1);
}
