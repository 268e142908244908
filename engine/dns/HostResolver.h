#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <semaphore>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/parse/HitRecord.h"

class CSettings;

// Reverse lookup of one IPv4 address (host byte order): true with the host name, false when
// the address has none. Called on the resolver's worker threads.
using host_lookup_t = std::function<bool(std::uint32_t address, std::string& name)>;
// Seconds since 1970.
using resolver_clock_t = std::function<std::time_t()>;

// getnameinfo with NI_NAMEREQD.
LOGVANE_ENGINE_API bool SystemHostLookup(std::uint32_t address, std::string& name);

// The dotted IPv4 number of `text` (four decimal parts of 1-3 digits, each at most 255).
LOGVANE_ENGINE_API bool ParseIPv4(std::string_view text, std::uint32_t& address);

struct resolver_settings_t {
    int workers = 10;
    bool skipPrivate = false;       // never look up 192.168.*.* and 10.0.*.*
    std::int64_t goodLifetime = 0;  // seconds a found name is reused
    std::int64_t badLifetime = 0;   // seconds a failed lookup is not tried again
};

// Ten workers, the skip-private flag and the two lifetimes (days of the settings).
LOGVANE_ENGINE_API resolver_settings_t MakeResolverSettings(const CSettings& settings);

// Resolves client addresses to host names on worker threads, fed from a queue, with a cache
// that lasts as long as the object (one run) across every Start and Stop. One thread (the
// analysis thread) queues, waits and fetches; the workers only look up.
class LOGVANE_ENGINE_API CHostResolver {
public:
    explicit CHostResolver(host_lookup_t lookup = SystemHostLookup, resolver_clock_t clock = {});
    // Stops the workers when they still run.
    ~CHostResolver();
    CHostResolver(const CHostResolver&) = delete;
    CHostResolver& operator=(const CHostResolver&) = delete;

    // Starts the workers with empty queue; a running resolver is stopped first.
    void Start(const resolver_settings_t& settings);
    // Wakes every worker and waits for each to end, a lookup in progress included; the queue
    // is emptied. Progress (stage 3): "Cleaning up DNS... (may take up to one minute)".
    void Stop();
    bool IsRunning() const { return !m_workers.empty(); }

    // Queues the hit's client address unless it is a name, private (when skipped), or cached
    // and still fresh. True when queued.
    bool QueueHit(const hit_t& hit);
    // The same for an address of the client host table (report-time lookups).
    bool QueueHost(std::string_view address);
    // Returns when no address waits in the queue and no lookup is in progress, or at once when
    // no worker runs. Every address queued before the call has its result in the cache then.
    void Wait();
    // Replaces the hit's address by its resolved name (cut to 249 characters); an address
    // without a resolved name stays as it is.
    void FetchHitName(hit_t& hit) const;
    // The resolved name of `address`, or the address itself.
    std::string FetchHostName(std::string_view address) const;

    // Full lookups for one batch of the scanner: queues every slot (stopping early at the
    // parse-end flag), waits, and writes the names found into the slots.
    void ResolveBatch(std::span<hit_t> batch);
    // Report-time lookups: starts, queues every address (percentage of stage 3 as it goes),
    // waits unless cancelled, stops. False when cancelled. FetchHostName gives the results.
    bool ResolveAll(std::span<const std::string_view> addresses,
                    const resolver_settings_t& settings);

    size_t GetCacheSize() const;
    // Number of lookups the workers have made.
    std::uint64_t GetLookupCount() const;

private:
    struct cache_entry_t {
        std::string name;  // "-" while unresolved
        std::time_t time = 0;
        bool resolved = false;
    };

    bool Queue(std::uint32_t address);
    bool IsFresh(std::uint32_t address, std::time_t now) const;
    void Worker();
    void Record(std::uint32_t address, bool found, std::string name);
    std::time_t Now() const;

    host_lookup_t m_lookup;
    resolver_clock_t m_clock;
    resolver_settings_t m_settings;

    mutable std::mutex m_queueMutex;  // guards m_queue, m_inFlight, m_stop
    std::condition_variable m_queueChanged;
    std::deque<std::uint32_t> m_queue;
    int m_inFlight = 0;
    bool m_stop = false;
    std::counting_semaphore<> m_requests{0};
    std::vector<std::thread> m_workers;

    mutable std::mutex m_cacheMutex;  // guards m_cache and m_lookups; never held with the other
    std::unordered_map<std::uint32_t, cache_entry_t> m_cache;
    std::uint64_t m_lookups = 0;
};
