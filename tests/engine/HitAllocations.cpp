// Hit processing must not allocate for hits whose keys the tables already hold: this
// executable counts every operator new while such hits are processed.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ReferenceCounter.h"
#include "engine/filter/FilterEvaluation.h"
#include "engine/hit/HitProcessor.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"
#include "store/ident/FileTypeIdentification.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// AddressSanitizer brings its own operator new, so counting is done in plain builds only.
#ifndef __SANITIZE_ADDRESS__
void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

using logvane::test::MakeHit;
using logvane::test::ref_hit_t;

const std::string kData = std::string(LOGVANE_TEST_DATA_DIR) + "/hit/";

TEST(HitAllocations, KnownKeysAllocateNothing) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "allocations are counted in plain builds";
#endif
    PoolCreate();
    {
        CRunTables tables;
        CTagInformation tags;
        tags.AddTriggerInformation({CTagInformation::ANYPAGE, "/a*", "a"});
        tables.counters.tagTriggers.assign(1, 0);
        tables.trackedFiles.push_back(std::make_unique<tracked_file_t>("/a.html", false));
        CVisitorSessions sessions(tables, tags, false);
        CFileTypeIdentification fileTypes;
        fileTypes.LoadXML((kData + "filetypeidentification.xml").c_str());
        const CFastFileTypeIdentification types(fileTypes);
        CBrowserIdentification browsers;
        browsers.LoadXML((kData + "browser.xml").c_str());
        CSpiderIdentification spiders;
        spiders.LoadXML((kData + "spider.xml").c_str());
        CSearchEngineIdentification engines;
        engines.LoadXML((kData + "searchengines.xml").c_str());
        CFilterEvaluator filters;
        filter_t f;
        f.includeType = filter_t::EXCLUDE;
        f.infoType = filter_t::QUERY_STRING;
        f.string = "debug=*";
        filters.CompileFilters({f}, filter_compile_options_t{});
        hit_classifiers_t c;
        c.fileTypes = &types;
        c.browsers = &browsers;
        c.spiders = &spiders;
        c.searchEngines = &engines;
        c.filters = &filters;
        hit_options_t options;
        options.defaultPage = "index.html";
        options.siteDomain = "www.example.com";
        CHitProcessor processor(tables, &sessions, options, c);

        std::vector<ref_hit_t> shapes(4);
        shapes[0].path = "/a.html?x=1";
        shapes[0].referrer = "http://www.google.com/search?q=tea+shop";
        shapes[1].path = "/b.html";
        shapes[1].referrer = "http://www.example.com/a.html";
        shapes[2].path = "/missing.html";
        shapes[2].status = 404;
        shapes[3].path = "/img/logo.gif";
        for (ref_hit_t& s : shapes) {
            s.host = "10.0.0.1";
            s.user = "alice";
        }
        const auto run = [&](int rounds, std::int32_t start) {
            for (int i = 0; i < rounds; ++i)
                for (ref_hit_t& s : shapes) {
                    s.time = start + i;
                    hit_t hit = MakeHit(s, false);
                    processor.ProcessHit(hit);
                }
        };
        run(50, 1700000000);  // every key and the session's path array exist now
        const long before = g_allocations.load();
        run(1, 1700000100);
        EXPECT_EQ(g_allocations.load() - before, 0);
        EXPECT_EQ(tables.counters.totalHits, 204u);
    }
    PoolDestroy();
}

}  // namespace
