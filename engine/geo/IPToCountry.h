#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"

class CSettings;

// Maps client IPv4 addresses to countries through the database "ip2co.txt" of the settings
// folder (lines "start<TAB>end<TAB>code<TAB>name", ascending, inclusive ranges) and keeps that
// database up to date. Lookups allocate nothing and are safe on one thread at a time.
class LOGVANE_ENGINE_API CIPToCountry {
public:
    // Whether Fetch asks the update server although a database is present.
    enum class remote_check_t { Random, Always, Never };

    // Database, version and archive paths in the settings folder.
    CIPToCountry();
    // The same files in `folder`.
    explicit CIPToCountry(const std::string& folder);

    // Brings the database up to date. With an update host (LOGVANE_IP2CO_HOST, or
    // SetUpdateHost) the server's "/ip2co/index.php" names the current version and
    // "/ip2co/ip2co.php" delivers it, asked when the database is missing and in about one run
    // of ten. Without a host nothing goes to the network: a missing or older database is
    // installed from the program's shipped copy. False only when the server's version page
    // or the new database could not be opened; network failures add an error and return true.
    bool Fetch(const std::string& proxy = {});
    // Fetch through the proxy of the settings (when enabled and named).
    bool Fetch(const CSettings& settings);
    // Reads the database into memory. False when it cannot be read or holds no range; every
    // lookup then answers "Unknown". The parsed ranges are kept in "ip2co.txt.idx" beside it
    // and read from there while the database file stays the one they came from.
    bool Load();

    // The number of a dotted IPv4 text, or 0 when it is not one or lies outside the ranges.
    std::uint32_t Convert(std::string_view ip) const;
    // Makes the range holding `address` current; none (-1) for 0 or an address in no range.
    void FindIP(std::uint32_t address);
    // Two-letter code and name of the current range, "Unknown" when there is none.
    const std::string& GetIPAbbrev() const;
    const std::string& GetIPName() const;

    int GetCurrentIndex() const { return m_current; }
    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(m_starts.size()); }
    const std::string& GetDatabasePath() const { return m_databasePath; }
    const std::string& GetVersionPath() const { return m_versionPath; }
    const std::string& GetArchivePath() const { return m_archivePath; }

    // "host[:port]" or a base URL ("https://host"); empty: no update server.
    void SetUpdateHost(const std::string& host) { m_updateHost = host; }
    const std::string& GetUpdateHost() const { return m_updateHost; }
    void SetRemoteCheck(remote_check_t check) { m_remoteCheck = check; }
    // Folder of the shipped "ip2co.txt.gz" and "version.txt"; by default the program's xml/
    // folder, then the installed data folder.
    void SetShippedFolder(const std::string& folder) { m_shippedFolder = folder; }

private:
    struct range_t {
        std::uint32_t end;
        std::uint32_t country;  // index into m_countries
    };
    struct country_t {
        std::string abbrev;
        std::string name;
    };

    // Ranges and countries read from one part of the database.
    struct ranges_part_t {
        std::vector<std::uint32_t> starts;
        std::vector<range_t> ranges;
        std::vector<country_t> countries;
        bool sorted = true;
    };
    // Databases from this size on are read by two threads.
    static constexpr std::size_t kParallelLoadBytes = 1 << 20;

    static void ParseRanges(const char* p, const char* end, ranges_part_t& part);
    std::string CachePath() const;
    // Takes the ranges from the cache when it was made from `database` (its status) and reads
    // whole and consistent; false leaves the ranges empty.
    bool LoadCache(const struct stat& database);
    void SaveCache(const struct stat& database) const;
    void MergeRanges(ranges_part_t& first, ranges_part_t& second);
    bool ForcedCheck() const;
    // Orders the ranges by start, equal starts in file order.
    void SortRanges();
    bool FetchRemote(const std::string& localVersion, bool present, const std::string& proxy);
    bool InstallShipped(const std::string& localVersion, bool present);
    bool Unpack(const std::string& archive);
    void WriteVersion(const std::string& version);
    std::string ShippedFolder() const;

    std::string m_databasePath;
    std::string m_versionPath;
    std::string m_archivePath;
    std::string m_updateHost;
    std::string m_shippedFolder;
    remote_check_t m_remoteCheck = remote_check_t::Random;

    // Range i is m_starts[i] .. m_ranges[i].end; the starts stand alone so the search touches
    // one dense array.
    std::vector<std::uint32_t> m_starts;
    std::vector<range_t> m_ranges;
    std::vector<country_t> m_countries;
    int m_current = -1;
};
