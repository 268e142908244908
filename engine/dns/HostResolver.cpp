#include "engine/dns/HostResolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "store/settings/Settings.h"
#include "utility/Progress.h"

namespace {

constexpr size_t kQueueFull = 996;
constexpr auto kFullPause = std::chrono::milliseconds(2000);
constexpr auto kBusyPause = std::chrono::milliseconds(200);
constexpr std::int64_t kSecondsPerDay = 86400;

bool IsSkippedPrivate(std::uint32_t address) {
    const std::uint32_t a = address >> 24, b = address >> 16 & 255;
    return (a == 192 && b == 168) || (a == 10 && b == 0);
}

std::string DottedText(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
           std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}

}  // namespace

bool SystemHostLookup(std::uint32_t address, std::string& name) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address);
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                    sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return false;
    name = host;
    return !name.empty();
}

bool ParseIPv4(std::string_view text, std::uint32_t& address) {
    std::uint32_t value = 0;
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (i >= text.size() || text[i++] != '.')) return false;
        std::uint32_t number = 0;
        const size_t first = i;
        while (i < text.size() && i - first < 3 && text[i] >= '0' && text[i] <= '9')
            number = number * 10 + static_cast<std::uint32_t>(text[i++] - '0');
        if (i == first || number > 255) return false;
        value = value << 8 | number;
    }
    if (i != text.size()) return false;
    address = value;
    return true;
}

resolver_settings_t MakeResolverSettings(const CSettings& settings) {
    resolver_settings_t result;
    result.workers = 10;
    result.skipPrivate = settings.GetPrefilterDNSLookup();
    result.goodLifetime = std::int64_t{settings.GetWhenLookupTooOld()} * kSecondsPerDay;
    result.badLifetime = std::int64_t{settings.GetWhenBadLookupTooOld()} * kSecondsPerDay;
    return result;
}

CHostResolver::CHostResolver(host_lookup_t lookup, resolver_clock_t clock)
    : m_lookup(std::move(lookup)), m_clock(std::move(clock)) {}

CHostResolver::~CHostResolver() { Stop(); }

std::time_t CHostResolver::Now() const { return m_clock ? m_clock() : std::time(nullptr); }

void CHostResolver::Start(const resolver_settings_t& settings) {
    Stop();
    m_settings = settings;
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.clear();
        m_inFlight = 0;
        m_stop = false;
    }
    const int workers = std::max(1, settings.workers);
    for (int i = 0; i < workers; ++i) m_workers.emplace_back(&CHostResolver::Worker, this);
}

void CHostResolver::Stop() {
    if (m_workers.empty()) return;
    {
        std::lock_guard lock(m_queueMutex);
        m_stop = true;
    }
    CProgress::SetText(PROGRESS_RESOLVING, "Cleaning up DNS... (may take up to one minute)");
    m_requests.release(static_cast<std::ptrdiff_t>(2 * m_workers.size()));
    m_queueChanged.notify_all();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
    // Permits of addresses nobody took are dropped with the queue.
    while (m_requests.try_acquire()) {
    }
    std::lock_guard lock(m_queueMutex);
    m_queue.clear();
    m_inFlight = 0;
}

bool CHostResolver::IsFresh(std::uint32_t address, std::time_t now) const {
    std::lock_guard lock(m_cacheMutex);
    const auto it = m_cache.find(address);
    if (it == m_cache.end() || it->second.time > now) return false;
    const std::int64_t age = now - it->second.time;
    return age < (it->second.resolved ? m_settings.goodLifetime : m_settings.badLifetime);
}

bool CHostResolver::Queue(std::uint32_t address) {
    if (m_workers.empty()) return false;
    if (m_settings.skipPrivate && IsSkippedPrivate(address)) return false;
    const std::time_t now = Now();
    if (IsFresh(address, now)) return false;
    {
        std::lock_guard lock(m_cacheMutex);
        m_cache.try_emplace(address, cache_entry_t{"-", now, false});
    }
    std::unique_lock lock(m_queueMutex);
    // The producer holds back while the workers are behind, so the queue stays short.
    const size_t busy = 2 * m_workers.size();
    if (m_queue.size() >= kQueueFull)
        m_queueChanged.wait_for(lock, kFullPause, [&] { return m_queue.size() < kQueueFull; });
    else if (m_queue.size() > busy)
        m_queueChanged.wait_for(lock, kBusyPause, [&] { return m_queue.size() <= busy; });
    m_queue.push_back(address);
    lock.unlock();
    m_requests.release();
    return true;
}

bool CHostResolver::QueueHit(const hit_t& hit) {
    std::uint32_t address = 0;
    if (hit.hostIsName || !ParseIPv4(hit.Host(), address)) return false;
    return Queue(address);
}

bool CHostResolver::QueueHost(std::string_view text) {
    std::uint32_t address = 0;
    return ParseIPv4(text, address) && Queue(address);
}

void CHostResolver::Worker() {
    for (;;) {
        m_requests.acquire();
        std::uint32_t address = 0;
        bool have = false;
        {
            std::lock_guard lock(m_queueMutex);
            if (m_stop) return;
            if (!m_queue.empty()) {
                address = m_queue.front();
                m_queue.pop_front();
                ++m_inFlight;
                have = true;
            }
        }
        if (!have) continue;
        m_queueChanged.notify_all();
        const std::string text = DottedText(address);
        CProgress::SetText(PROGRESS_RESOLVING, "Looking up " + text + "...");
        std::string name;
        const bool found = m_lookup && m_lookup(address, name) && !name.empty();
        Record(address, found, std::move(name));
        {
            std::lock_guard lock(m_queueMutex);
            --m_inFlight;
        }
        m_queueChanged.notify_all();
    }
}

void CHostResolver::Record(std::uint32_t address, bool found, std::string name) {
    std::lock_guard lock(m_cacheMutex);
    ++m_lookups;
    if (!found) {
        m_cache.try_emplace(address, cache_entry_t{"-", Now(), false});
        return;
    }
    if (name.size() > static_cast<size_t>(kHitTextMax)) name.resize(kHitTextMax);
    m_cache[address] = cache_entry_t{std::move(name), Now(), true};
}

void CHostResolver::Wait() {
    std::unique_lock lock(m_queueMutex);
    if (m_workers.empty()) return;
    m_queueChanged.wait(lock, [&] { return m_stop || (m_queue.empty() && m_inFlight == 0); });
}

void CHostResolver::FetchHitName(hit_t& hit) const {
    std::uint32_t address = 0;
    if (hit.hostIsName || !ParseIPv4(hit.Host(), address)) return;
    std::lock_guard lock(m_cacheMutex);
    const auto it = m_cache.find(address);
    if (it == m_cache.end() || !it->second.resolved) return;
    const std::string& name = it->second.name;
    std::memcpy(hit.host, name.data(), name.size());
    hit.host[name.size()] = '\0';
    hit.hostLen = static_cast<std::int32_t>(name.size());
    hit.hostIsName = 1;
}

std::string CHostResolver::FetchHostName(std::string_view text) const {
    std::uint32_t address = 0;
    if (ParseIPv4(text, address)) {
        std::lock_guard lock(m_cacheMutex);
        const auto it = m_cache.find(address);
        if (it != m_cache.end() && it->second.resolved) return it->second.name;
    }
    return std::string(text);
}

void CHostResolver::ResolveBatch(std::span<hit_t> batch) {
    for (const hit_t& hit : batch) {
        if (ParseShouldEnd()) break;
        QueueHit(hit);
    }
    Wait();
    for (hit_t& hit : batch) FetchHitName(hit);
}

bool CHostResolver::ResolveAll(std::span<const std::string_view> addresses,
                               const resolver_settings_t& settings) {
    Start(settings);
    const size_t count = addresses.size();
    bool cancelled = false;
    for (size_t i = 0; i < count && !cancelled; ++i) {
        CProgress::SetPercentageDone(static_cast<int>(i * 100 / count));
        QueueHost(addresses[i]);
        cancelled = CProgress::ShouldCancel();
    }
    if (!cancelled) Wait();
    Stop();
    return !cancelled;
}

size_t CHostResolver::GetCacheSize() const {
    std::lock_guard lock(m_cacheMutex);
    return m_cache.size();
}

std::uint64_t CHostResolver::GetLookupCount() const {
    std::lock_guard lock(m_cacheMutex);
    return m_lookups;
}
