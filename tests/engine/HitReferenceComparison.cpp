#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "ReferenceCounter.h"
#include "engine/filter/FilterEvaluation.h"
#include "engine/hit/HitProcessor.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"
#include "store/ident/FileTypeIdentification.h"

namespace {

using logvane::test::GenerateHits;
using logvane::test::MakeHit;
using logvane::test::ref_hit_t;
using logvane::test::reference_counts_t;
using logvane::test::reference_options_t;
using logvane::test::ReferenceCounter;

CFileTypeIdentification FileTypes() {
    CFileTypeIdentification types;
    const std::vector<std::pair<std::string, std::string>> entries{
        {"html", "PAGE"}, {"htm", "PAGE"},    {"php", "PAGE"},   {"gif", "IMAGE"},
        {"png", "IMAGE"}, {"css", "MISCWEB"}, {"js", "MISCWEB"}, {"pdf", "DOWNLOAD"}};
    types.Allocate(static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        types.SetData(static_cast<int>(i), entries[i].first, entries[i].second);
    return types;
}

template <class Table, class Key>
std::map<std::string, std::uint64_t> Contents(Table& table, Key key) {
    std::map<std::string, std::uint64_t> result;
    table.ForEach([&](const auto& entry) { result[key(entry)] += entry.hits; });
    return result;
}

struct Case {
    unsigned seed;
    bool caseSensitive;
    bool cookies;
    bool filtered;
};

std::string Name(const testing::TestParamInfo<Case>& info) {
    const Case& c = info.param;
    return "Seed" + std::to_string(c.seed) + (c.caseSensitive ? "CaseSensitive" : "Folded") +
           (c.cookies ? "Cookies" : "Hosts") + (c.filtered ? "Filtered" : "All");
}

class HitReferenceComparison : public testing::TestWithParam<Case> {
protected:
    void SetUp() override { PoolCreate(); }
    void TearDown() override { PoolDestroy(); }
};

TEST_P(HitReferenceComparison, EngineTablesAgreeWithThePlainModel) {
    const Case& c = GetParam();
    const std::vector<ref_hit_t> hits = GenerateHits(c.seed, 4000);

    reference_options_t options;
    options.caseSensitive = c.caseSensitive;
    options.cookies = c.cookies;
    // The filter: only 2xx and 3xx hits, and not the hosts of one subnet.
    std::vector<filter_t> filters;
    if (c.filtered) {
        options.keep = [](const ref_hit_t& h) {
            return h.status >= 200 && h.status <= 399 && h.host.rfind("10.0.3.", 0) != 0;
        };
        filter_t success;
        success.infoType = filter_t::SUCCESS;
        success.num1 = 200;
        success.num2 = 399;
        filter_t subnet;
        subnet.includeType = filter_t::EXCLUDE;
        subnet.infoType = filter_t::IP;
        subnet.string = "10.0.3.*";
        filters = {success, subnet};
    }
    ReferenceCounter reference(options);
    for (const ref_hit_t& h : hits) reference.Add(h);
    const reference_counts_t expected = reference.Finish();

    CRunTables tables;
    CTagInformation tags;
    CVisitorSessions sessions(tables, tags, c.caseSensitive);
    const CFastFileTypeIdentification types(FileTypes());
    CFilterEvaluator evaluator;
    filter_compile_options_t compile;
    compile.caseSensitive = c.caseSensitive;
    evaluator.CompileFilters(filters, compile);
    hit_classifiers_t classifiers;
    classifiers.fileTypes = &types;
    classifiers.filters = &evaluator;
    hit_options_t hitOptions;
    hitOptions.caseSensitive = c.caseSensitive;
    hitOptions.defaultPage = "index.html";
    hitOptions.siteDomain = "www.example.com";
    CHitProcessor processor(tables, &sessions, hitOptions, classifiers);
    for (const ref_hit_t& h : hits) {
        hit_t hit = MakeHit(h, c.cookies);
        ASSERT_EQ(processor.ProcessHit(hit), 1);
    }
    sessions.CloseAllSessions();

    const run_counters_t& counters = tables.counters;
    EXPECT_EQ(counters.totalHits, expected.hits);
    EXPECT_EQ(counters.totalBytes, expected.bytes);
    EXPECT_EQ(counters.pageHits, expected.pageViews);
    EXPECT_EQ(counters.notFoundHits, expected.notFound);
    EXPECT_EQ(counters.sessions, expected.sessions);
    const auto text = [](const auto& e) { return std::string(e.text, e.length); };
    const auto url = [](const auto& e) { return std::string(e.url, e.length); };
    const auto host = [](const auto& e) { return std::string(e.host, e.length); };
    EXPECT_EQ(Contents(tables.pages, url), expected.pages);
    EXPECT_EQ(Contents(tables.hosts, host), expected.hosts);
    EXPECT_EQ(Contents(tables.entryPages, text), expected.entryPages);
    EXPECT_EQ(Contents(tables.exitPages, text), expected.exitPages);
    EXPECT_EQ(Contents(tables.singleAccessPages, text), expected.singleAccess);

    std::uint64_t visitsPerDay = 0;
    tables.visitorsPerDay.ForEach([&](const day_info_t& d) { visitsPerDay += d.first; });
    EXPECT_EQ(visitsPerDay, expected.sessions);
    // The generator must have produced sessions of more than one hit and several visits.
    EXPECT_GT(expected.sessions, 100u);
    EXPECT_LT(expected.sessions, expected.hits);
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (unsigned seed : {1u, 7u, 42u})
        for (bool caseSensitive : {false, true})
            for (bool cookies : {false, true})
                for (bool filtered : {false, true})
                    cases.push_back({seed, caseSensitive, cookies, filtered});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(GeneratedLogs, HitReferenceComparison, testing::ValuesIn(Cases()), Name);

}  // namespace
