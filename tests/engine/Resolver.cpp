#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <tuple>

#include "engine/dns/HostResolver.h"
#include "engine/dns/ResolvingConsumer.h"
#include "engine/table/RunTables.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/Settings.h"
#include "utility/Progress.h"

namespace {

using namespace std::chrono_literals;

std::uint32_t Ip(const char* text) {
    std::uint32_t address = 0;
    EXPECT_TRUE(ParseIPv4(text, address)) << text;
    return address;
}

hit_t MakeHit(const std::string& host) {
    hit_t hit;
    std::memset(&hit, 0, sizeof hit);
    std::memcpy(hit.host, host.data(), host.size());
    hit.hostLen = static_cast<std::int32_t>(host.size());
    std::uint32_t ignored;
    hit.hostIsName = ParseIPv4(host, ignored) ? 0 : 1;
    return hit;
}

// A lookup table instead of the network: counts calls per address; "bad" addresses fail.
class FakeDns {
public:
    host_lookup_t Function() {
        return [this](std::uint32_t address, std::string& name) {
            std::lock_guard lock(m_mutex);
            ++m_calls[address];
            const auto it = m_names.find(address);
            if (it == m_names.end()) return false;
            name = it->second;
            return true;
        };
    }
    void Add(const char* ip, const std::string& name) { m_names[Ip(ip)] = name; }
    int Calls(const char* ip) {
        std::lock_guard lock(m_mutex);
        return m_calls[Ip(ip)];
    }
    int TotalCalls() {
        std::lock_guard lock(m_mutex);
        int total = 0;
        for (const auto& [address, n] : m_calls) total += n;
        return total;
    }

private:
    std::mutex m_mutex;
    std::map<std::uint32_t, std::string> m_names;
    std::map<std::uint32_t, int> m_calls;
};

class ResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        CProgress::Initialize();
        m_dns.Add("1.2.3.4", "one.example.com");
        m_dns.Add("10.1.0.1", "ten.example.com");
        m_settings.goodLifetime = 7 * 86400;
        m_settings.badLifetime = 86400;
    }
    void TearDown() override { CProgress::Kill(); }

    // Queues one hit of each host, waits, and returns the hosts as hit processing sees them.
    std::vector<std::string> Resolve(CHostResolver& resolver,
                                     const std::vector<std::string>& hosts) {
        std::vector<hit_t> batch;
        for (const std::string& host : hosts) batch.push_back(MakeHit(host));
        resolver.ResolveBatch(batch);
        std::vector<std::string> result;
        for (const hit_t& hit : batch) result.emplace_back(hit.Host());
        return result;
    }

    FakeDns m_dns;
    std::atomic<std::time_t> m_now{1'700'000'000};
    resolver_settings_t m_settings;
    CHostResolver m_resolver{m_dns.Function(), [this] { return m_now.load(); }};
};

TEST_F(ResolverTest, ResolvedAddressesBecomeNamesAndOthersStay) {
    m_resolver.Start(m_settings);
    EXPECT_EQ(Resolve(m_resolver, {"1.2.3.4", "5.6.7.8", "www.logvane.test", "1.2.3.4"}),
              (std::vector<std::string>{"one.example.com", "5.6.7.8", "www.logvane.test",
                                        "one.example.com"}));
    EXPECT_EQ(m_dns.Calls("1.2.3.4"), 1);
    EXPECT_EQ(m_dns.Calls("5.6.7.8"), 1);
    m_resolver.Stop();
}

TEST_F(ResolverTest, FetchedNameMarksTheHostAsAName) {
    m_resolver.Start(m_settings);
    std::vector<hit_t> batch{MakeHit("1.2.3.4")};
    m_resolver.ResolveBatch(batch);
    EXPECT_EQ(batch[0].hostIsName, 1);
    EXPECT_EQ(batch[0].hostLen, 15);
    EXPECT_EQ(batch[0].host[15], '\0');
}

TEST_F(ResolverTest, SkipPrivateLeavesOnlyThoseTwoBlocksAlone) {
    m_settings.skipPrivate = true;
    m_resolver.Start(m_settings);
    EXPECT_FALSE(m_resolver.QueueHost("192.168.1.5"));
    EXPECT_FALSE(m_resolver.QueueHost("10.0.3.4"));
    EXPECT_TRUE(m_resolver.QueueHost("10.1.0.1"));
    m_resolver.Wait();
    EXPECT_EQ(m_dns.TotalCalls(), 1);
    EXPECT_EQ(m_resolver.FetchHostName("10.1.0.1"), "ten.example.com");
    EXPECT_EQ(m_resolver.FetchHostName("192.168.1.5"), "192.168.1.5");
}

TEST_F(ResolverTest, NamesAndMalformedAddressesAreNeverQueued) {
    m_resolver.Start(m_settings);
    for (const char* host : {"crawler.example.org", "1.2.3", "1.2.3.4.5", "256.1.1.1", "", "-"})
        EXPECT_FALSE(m_resolver.QueueHit(MakeHit(host))) << host;
    hit_t named = MakeHit("1.2.3.4");
    named.hostIsName = 1;
    EXPECT_FALSE(m_resolver.QueueHit(named));
    m_resolver.Wait();
    EXPECT_EQ(m_dns.TotalCalls(), 0);
}

TEST_F(ResolverTest, FailedLookupIsRetriedOnlyAfterItsLifetime) {
    m_resolver.Start(m_settings);
    Resolve(m_resolver, {"9.9.9.9", "9.9.9.9"});
    Resolve(m_resolver, {"9.9.9.9"});
    EXPECT_EQ(m_dns.Calls("9.9.9.9"), 1);
    m_now += m_settings.badLifetime - 1;
    EXPECT_FALSE(m_resolver.QueueHost("9.9.9.9"));
    m_now += 1;
    EXPECT_TRUE(m_resolver.QueueHost("9.9.9.9"));
    m_resolver.Wait();
    EXPECT_EQ(m_dns.Calls("9.9.9.9"), 2);
}

TEST_F(ResolverTest, FoundNameIsReusedForItsLifetimeAndAcrossRestarts) {
    m_resolver.Start(m_settings);
    Resolve(m_resolver, {"1.2.3.4"});
    m_resolver.Stop();
    m_resolver.Start(m_settings);  // the next file
    m_now += m_settings.goodLifetime - 1;
    EXPECT_EQ(Resolve(m_resolver, {"1.2.3.4"})[0], "one.example.com");
    EXPECT_EQ(m_dns.Calls("1.2.3.4"), 1);
    m_now += 1;
    EXPECT_TRUE(m_resolver.QueueHost("1.2.3.4"));
    m_resolver.Wait();
    EXPECT_EQ(m_dns.Calls("1.2.3.4"), 2);
}

TEST_F(ResolverTest, EntryFromTheFutureIsLookedUpAgain) {
    m_resolver.Start(m_settings);
    Resolve(m_resolver, {"1.2.3.4"});
    m_now -= 3600;  // the clock was set back
    EXPECT_TRUE(m_resolver.QueueHost("1.2.3.4"));
    m_resolver.Wait();
    EXPECT_EQ(m_dns.Calls("1.2.3.4"), 2);
}

TEST_F(ResolverTest, LongNameIsCutTo249Characters) {
    const std::string longName(300, 'n');
    m_dns.Add("7.7.7.7", longName);
    m_resolver.Start(m_settings);
    const std::string host = Resolve(m_resolver, {"7.7.7.7"})[0];
    EXPECT_EQ(host, longName.substr(0, 249));
    EXPECT_EQ(m_resolver.FetchHostName("7.7.7.7").size(), 249u);
}

TEST_F(ResolverTest, WaitReturnsOnlyWhenEveryLookupHasItsResult) {
    CHostResolver slow([](std::uint32_t address, std::string& name) {
        std::this_thread::sleep_for(20ms);
        name = "h" + std::to_string(address & 255);
        return true;
    });
    slow.Start(m_settings);
    std::vector<std::string> hosts;
    for (int i = 1; i <= 40; ++i) hosts.push_back("20.0.0." + std::to_string(i));
    const std::vector<std::string> names = Resolve(slow, hosts);
    for (int i = 1; i <= 40; ++i)
        EXPECT_EQ(names[static_cast<size_t>(i - 1)], "h" + std::to_string(i));
    EXPECT_EQ(slow.GetLookupCount(), 40u);
}

TEST_F(ResolverTest, StopWaitsForALookupInProgress) {
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    CHostResolver blocking([&](std::uint32_t, std::string& name) {
        entered.set_value();
        gate.wait();
        name = "late.example.com";
        return true;
    });
    blocking.Start(m_settings);
    ASSERT_TRUE(blocking.QueueHost("3.3.3.3"));
    entered.get_future().wait();
    auto stopped = std::async(std::launch::async, [&] { blocking.Stop(); });
    EXPECT_EQ(stopped.wait_for(200ms), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(blocking.IsRunning());
    EXPECT_EQ(blocking.FetchHostName("3.3.3.3"), "late.example.com");
    EXPECT_NE(CProgress::GetXML().find("Cleaning up DNS... (may take up to one minute)"),
              std::string::npos);
}

TEST_F(ResolverTest, WithoutWorkersNothingIsQueuedAndWaitReturns) {
    EXPECT_FALSE(m_resolver.QueueHost("1.2.3.4"));
    m_resolver.Wait();
    m_resolver.Stop();
    EXPECT_EQ(m_dns.TotalCalls(), 0);
}

TEST_F(ResolverTest, ReportTimeLookupsResolveTheHostTable) {
    const std::vector<std::string_view> hosts{"1.2.3.4", "10.1.0.1", "8.8.4.4", "a.b.example"};
    ASSERT_TRUE(m_resolver.ResolveAll(hosts, m_settings));
    EXPECT_FALSE(m_resolver.IsRunning());
    EXPECT_EQ(m_resolver.FetchHostName("1.2.3.4"), "one.example.com");
    EXPECT_EQ(m_resolver.FetchHostName("10.1.0.1"), "ten.example.com");
    EXPECT_EQ(m_resolver.FetchHostName("8.8.4.4"), "8.8.4.4");
    EXPECT_EQ(m_resolver.FetchHostName("a.b.example"), "a.b.example");

    CProgress::SetCancel(true);
    EXPECT_FALSE(m_resolver.ResolveAll(hosts, m_settings));
    EXPECT_FALSE(m_resolver.IsRunning());
}

TEST(SystemHostLookup, LoopbackResolvesThroughTheHostsFile) {
    std::string name;
    if (!SystemHostLookup(0x7F000001u, name)) GTEST_SKIP() << "no name for 127.0.0.1 here";
    EXPECT_FALSE(name.empty());
    CHostResolver resolver;
    resolver_settings_t settings;
    settings.badLifetime = 60;
    settings.goodLifetime = 60;
    resolver.Start(settings);
    ASSERT_TRUE(resolver.QueueHost("127.0.0.1"));
    resolver.Wait();
    EXPECT_EQ(resolver.FetchHostName("127.0.0.1"), name);
}

// A run context of empty tables, enough to build a hit consumer.
struct RunContext {
    CProjectInformation project;
    CSettings settings;
    identification_paths_t paths;
    run_snapshot_t snapshot;
    CRunTables tables;
    int cookieData = 0;
    analysis_context_t context{project, settings, paths, snapshot, &tables, cookieData, {}};
    CHitRunState state;
};

TEST_F(ResolverTest, ResolvingConsumerNamesEveryBatchBeforeItsHits) {
    RunContext run;
    CResolvingConsumer consumer(run.context, run.state, m_settings, m_dns.Function());
    std::vector<hit_t> batch{MakeHit("1.2.3.4"), MakeHit("5.6.7.8")};
    consumer.ResolveBatch(batch);
    EXPECT_EQ(batch[0].Host(), "one.example.com");
    EXPECT_EQ(batch[1].Host(), "5.6.7.8");
    EXPECT_TRUE(consumer.GetResolver().IsRunning());
}

TEST(HostResolution, OnlyFullLookupsGetAResolvingConsumer) {
    struct Plain : CHitConsumer {
        void ProcessHit(hit_t*) override {}
    };
    RunContext run;
    analysis_phases_t phases;
    phases.makeHitConsumer = [](analysis_context_t&) -> std::unique_ptr<CHitConsumer> {
        return std::make_unique<Plain>();
    };
    InstallHostResolution(phases, run.state);
    for (const auto& [lookups, full, resolving] :
         {std::tuple{false, false, false}, std::tuple{false, true, false},
          std::tuple{true, false, false}, std::tuple{true, true, true}}) {
        run.snapshot.lookups = lookups;
        run.snapshot.fullLookups = full;
        const std::unique_ptr<CHitConsumer> consumer = phases.makeHitConsumer(run.context);
        EXPECT_EQ(dynamic_cast<CResolvingConsumer*>(consumer.get()) != nullptr, resolving)
            << lookups << full;
        EXPECT_EQ(dynamic_cast<Plain*>(consumer.get()) != nullptr, !resolving);
    }
}

struct ipv4_case_t {
    const char* text;
    bool valid;
    std::uint32_t value;
};

class ParseIPv4Test : public ::testing::TestWithParam<ipv4_case_t> {};

TEST_P(ParseIPv4Test, AcceptsOnlyFourDecimalParts) {
    std::uint32_t value = 12345;
    EXPECT_EQ(ParseIPv4(GetParam().text, value), GetParam().valid);
    if (GetParam().valid) {
        EXPECT_EQ(value, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIPv4Test,
    ::testing::Values(ipv4_case_t{"0.0.0.0", true, 0},
                      ipv4_case_t{"255.255.255.255", true, 0xFFFFFFFFu},
                      ipv4_case_t{"192.168.1.5", true, 0xC0A80105u}, ipv4_case_t{"1.2.3", false, 0},
                      ipv4_case_t{"1.2.3.", false, 0}, ipv4_case_t{".1.2.3", false, 0},
                      ipv4_case_t{"1..2.3", false, 0}, ipv4_case_t{"1.2.3.4 ", false, 0},
                      ipv4_case_t{"1.2.3.1000", false, 0}, ipv4_case_t{"300.1.1.1", false, 0},
                      ipv4_case_t{"a.b.c.d", false, 0}));

}  // namespace
