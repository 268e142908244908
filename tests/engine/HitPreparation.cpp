// Hit processing in two steps (prepare, then count) must give exactly what ProcessHit gives:
// the same entries, counts and slot orders in every table, whether the steps run one after the
// other or a parsing thread prepares batches ahead of the one being counted, and whether the
// facts of a text are remembered or, past the remembered limit, worked out at every hit.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ReferenceCounter.h"
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

using logvane::test::MakeHit;
using logvane::test::ref_hit_t;

// Hits over `distinct` paths, referrers and hosts (each text repeats), with query strings,
// internal, external and search referrers, errors and a few agents.
std::vector<hit_t> MakeHits(unsigned seed, int count, int distinct) {
    std::mt19937 random(seed);
    const auto upTo = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    const std::vector<std::string> extensions{".html", ".php", ".gif", ".css", ".pdf", "/"};
    const std::vector<int> statuses{200, 200, 200, 200, 304, 404, 206, 302, 500, 403};
    const std::vector<std::string> agents{
        "Mozilla/5.0 (Windows NT 10.0; Win64; x64) Chrome/120.0 Safari/537.36",
        "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0",
        "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "-"};
    std::vector<hit_t> hits;
    hits.reserve(static_cast<std::size_t>(count));
    std::int32_t time = 1700000000;
    for (int i = 0; i < count; ++i) {
        ref_hit_t h;
        const int n = upTo(distinct);
        h.host = "10." + std::to_string(n / 65536) + "." + std::to_string(n / 256 % 256) + "." +
                 std::to_string(n % 256);
        h.path = "/Dir" + std::to_string(n % 97) + "/p" + std::to_string(upTo(distinct)) +
                 extensions[static_cast<std::size_t>(upTo(6))];
        if (upTo(4) == 0)
            h.path += "?id=" + std::to_string(upTo(50)) + "&Sort=" + (upTo(2) ? "up" : "");
        switch (upTo(5)) {
            case 0:
                h.referrer = "-";
                break;
            case 1:
                h.referrer =
                    "http://www.example.com/Dir1/p" + std::to_string(upTo(distinct)) + ".html";
                break;
            case 2:
                h.referrer =
                    "https://www.google.com/search?q=Blue+tea%20" + std::to_string(upTo(distinct));
                break;
            default:
                h.referrer =
                    "http://site" + std::to_string(upTo(distinct)) + ".example.org/a%2Fb?x=1";
                break;
        }
        h.agent = agents[static_cast<std::size_t>(upTo(4))];
        h.user = upTo(10) == 0 ? "member" + std::to_string(upTo(5)) : "-";
        h.cookie = upTo(3) == 0 ? "" : "visitor" + std::to_string(n);
        h.status = statuses[static_cast<std::size_t>(upTo(10))];
        h.bytes = upTo(40000);
        time += upTo(3) * upTo(1200);
        h.time = time;
        hits.push_back(MakeHit(h, true));
    }
    return hits;
}

// Every table of a run, entry by entry in slot order, with every counter.
template <class Table, class Print>
void DumpTable(std::ostream& out, const char* name, Table& table, Print print) {
    out << "[" << name << "]\n";
    table.ForEach([&](auto& entry) {
        print(entry);
        out << "\n";
    });
}

std::string Dump(CRunTables& t, CVisitorSessions& sessions) {
    std::ostringstream out;
    const auto text = [&out](const referinfo_t& e) {
        out << std::string(e.text, e.length) << " " << e.hits;
    };
    const auto resource = [&out](const resource_info_t& e) {
        out << std::string(e.url, e.length) << " " << e.hits << " " << e.incomplete << " "
            << e.bytes;
    };
    const auto error = [&out](const error_info_t& e) {
        out << std::string(e.url, e.length) << " " << e.status << " " << e.hits;
    };
    const auto search = [&out](const search_info_t& e) {
        out << std::string(e.text, e.length) << "/" << std::string(e.engine, e.engineLength) << " "
            << e.hits;
    };
    const auto day = [&out](const day_info_t& e) {
        out << e.key << " " << e.first << " " << e.second;
    };
    const auto nested = [&out, &text](nested_info_t& e) {
        out << std::string(e.text, e.length) << " " << e.hits << " {";
        if (e.children)
            e.children->ForEach([&](referinfo_t& c) {
                text(c);
                out << ";";
            });
        out << "}";
    };
    DumpTable(out, "resources", t.resources, resource);
    DumpTable(out, "pages", t.pages, resource);
    DumpTable(out, "files", t.files, resource);
    DumpTable(out, "images", t.images, resource);
    DumpTable(out, "miscWeb", t.miscWeb, resource);
    DumpTable(out, "directories", t.directories, resource);
    DumpTable(out, "hosts", t.hosts, [&out](const host_info_t& e) {
        out << std::string(e.host, e.length) << " " << e.hits << " " << e.bytes;
    });
    DumpTable(out, "users", t.users, [&out](const user_info_t& e) {
        out << std::string(e.name, e.length) << " " << e.hits << " " << e.sessions << " "
            << e.bytes;
    });
    DumpTable(out, "notFound", t.notFoundErrors, error);
    DumpTable(out, "otherErrors", t.otherErrors, error);
    DumpTable(out, "referringPages", t.referringPages, text);
    DumpTable(out, "referringDomains", t.referringDomains, text);
    DumpTable(out, "pageReferrers", t.pageReferrers, nested);
    DumpTable(out, "notFoundReferrers", t.notFoundReferrers, nested);
    DumpTable(out, "queryStrings", t.queryStrings, nested);
    DumpTable(out, "searchEngines", t.searchEngines, search);
    DumpTable(out, "searchPhrases", t.searchPhrases, search);
    DumpTable(out, "searchKeywords", t.searchKeywords, search);
    DumpTable(out, "hitsPerDay", t.hitsPerDay, day);
    DumpTable(out, "pageViewsPerDay", t.pageViewsPerDay, day);
    DumpTable(out, "visitorsPerDay", t.visitorsPerDay, day);
    DumpTable(out, "entryPages", t.entryPages, text);
    DumpTable(out, "exitPages", t.exitPages, text);
    DumpTable(out, "singleAccess", t.singleAccessPages, text);
    const run_counters_t& c = t.counters;
    out << "[counters] " << c.totalHits << " " << c.totalBytes << " " << c.cachedHits << " "
        << c.incompleteHits << " " << c.notFoundHits << " " << c.pageHits << " " << c.fileHits
        << " " << c.imageHits << " " << c.miscWebHits << " " << c.sessions << " " << c.earliestHit
        << " " << c.latestHit << "\n";
    for (const auto v : c.referrerOrigins) out << v << " ";
    for (const auto v : c.hitsPerHour) out << v << " ";
    out << "\n[hyperlinks]\n";
    const auto pages = MakeHyperlinkPageRange(sessions.GetHyperlinks());
    pages->ForEach([&out](const hyperlink_page_view_t& page) {
        out << page.name << " " << static_cast<int>(page.type) << " <";
        const auto link = [&out](const hyperlink_link_view_t& l) {
            out << l.name << ":" << l.hits << ";";
        };
        if (page.children) page.children->ForEach(link);
        out << "> <";
        if (page.parents) page.parents->ForEach(link);
        out << ">\n";
    });
    return out.str();
}

CFileTypeIdentification FileTypes() {
    CFileTypeIdentification types;
    const std::vector<std::pair<std::string, std::string>> entries{{"html", "PAGE"},
                                                                   {"php", "PAGE"},
                                                                   {"gif", "IMAGE"},
                                                                   {"css", "MISCWEB"},
                                                                   {"pdf", "DOWNLOAD"}};
    types.Allocate(static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        types.SetData(static_cast<int>(i), entries[i].first, entries[i].second);
    return types;
}

// One run's tables, sessions, classifiers and processor.
struct run_t {
    CRunTables tables;
    CTagInformation tags;
    CVisitorSessions sessions{tables, tags, false};
    CFastFileTypeIdentification types{FileTypes()};
    CSearchEngineIdentification engines;
    CSpiderIdentification spiders;
    std::unique_ptr<CHitProcessor> processor;

    explicit run_t(std::uint32_t remembered = 65536) {
        engines.AddEngine("Google", "google.", {"q="});
        hit_classifiers_t classifiers;
        classifiers.fileTypes = &types;
        classifiers.searchEngines = &engines;
        classifiers.spiders = &spiders;
        hit_options_t options;
        options.defaultPage = "index.html";
        options.siteDomain = "www.example.com";
        options.rememberedTexts = remembered;
        processor = std::make_unique<CHitProcessor>(tables, &sessions, options, classifiers);
    }
    std::string Finish() {
        sessions.CloseAllSessions();
        return Dump(tables, sessions);
    }
};

std::string ProcessInline(std::vector<hit_t> hits, std::uint32_t remembered = 65536) {
    run_t run(remembered);
    for (hit_t& hit : hits) EXPECT_EQ(run.processor->ProcessHit(hit), 1);
    return run.Finish();
}

// Batches of 250 prepared on a second thread while the previous batch is counted, as the
// scanner does (PrepareBatch), or hit by hit.
std::string ProcessOverlapped(std::vector<hit_t> hits, std::uint32_t remembered = 65536,
                              bool wholeBatches = true) {
    run_t run(remembered);
    constexpr std::size_t kBatch = kHitBatchSize;
    std::vector<prepared_hit_t> preps[2] = {std::vector<prepared_hit_t>(kBatch),
                                            std::vector<prepared_hit_t>(kBatch)};
    const auto prepare = [&](std::size_t batch) {
        const std::size_t first = batch * kBatch;
        const std::size_t end = std::min(hits.size(), first + kBatch);
        if (wholeBatches) {
            run.processor->PrepareBatch(std::span<hit_t>(hits.data() + first, end - first),
                                        preps[batch % 2].data());
            return;
        }
        for (std::size_t i = first; i < end; ++i)
            run.processor->Prepare(hits[i], preps[batch % 2][i - first]);
    };
    const std::size_t batches = (hits.size() + kBatch - 1) / kBatch;
    prepare(0);
    for (std::size_t batch = 0; batch < batches; ++batch) {
        std::thread ahead;
        if (batch + 1 < batches) ahead = std::thread(prepare, batch + 1);
        for (std::size_t i = batch * kBatch; i < std::min(hits.size(), (batch + 1) * kBatch); ++i)
            EXPECT_EQ(run.processor->Count(hits[i], preps[batch % 2][i - batch * kBatch]), 1);
        if (ahead.joinable()) ahead.join();
    }
    for (auto& batch : preps)
        for (prepared_hit_t& prep : batch) CHitProcessor::ReleasePreparation(prep);
    return run.Finish();
}

class HitPreparationTest : public testing::Test {
protected:
    void SetUp() override { PoolCreate(); }
    void TearDown() override { PoolDestroy(); }
};

TEST_F(HitPreparationTest, PreparingAheadOnAnotherThreadCountsExactlyLikeProcessHit) {
    for (unsigned seed : {3u, 11u}) {
        const std::vector<hit_t> hits = MakeHits(seed, 6000, 400);
        const std::string inlineDump = ProcessInline(hits);
        EXPECT_EQ(ProcessOverlapped(hits), inlineDump) << "seed " << seed;
        EXPECT_EQ(ProcessOverlapped(hits, 65536, false), inlineDump) << "seed " << seed;
        // Hashes handed to the sessions with each item must be the texts' own: a wrong one
        // files a page apart from the same page found by its text.
        std::set<std::string> pages;
        std::istringstream lines(inlineDump.substr(inlineDump.find("[hyperlinks]")));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line))
            EXPECT_TRUE(pages.insert(line.substr(0, line.find(" <"))).second) << line;
        EXPECT_GT(pages.size(), 100u);
        // The dump must cover what the generator meant to exercise.
        for (const char* part : {"?id=", "google", "search for", "site", "(site entry)"})
            EXPECT_NE(inlineDump.find(part), std::string::npos) << part;
    }
}

// Texts beyond the remembered ones have their facts worked out at every hit, into each
// preparation's own buffer: the counts must not depend on which texts were remembered, and a
// buffer reused before its hit is counted would mix hits up.
TEST_F(HitPreparationTest, TextsBeyondTheRememberedOnesCountTheSame) {
    const std::vector<hit_t> hits = MakeHits(5, 6000, 300);
    const std::string remembered = ProcessInline(hits);
    EXPECT_EQ(ProcessInline(hits, 0), remembered);
    EXPECT_EQ(ProcessOverlapped(hits, 0), remembered);
    EXPECT_EQ(ProcessOverlapped(hits, 100), remembered);
}

// Preparing runs on the parsing thread while earlier hits are counted: a table it touched
// would be changed by two threads at once.
TEST_F(HitPreparationTest, PreparingLeavesEveryTableAndTheSessionsAlone) {
    run_t run;
    std::vector<hit_t> hits = MakeHits(7, 3000, 300);
    std::vector<prepared_hit_t> preps(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) run.processor->Prepare(hits[i], preps[i]);
    const std::string prepared = run.Finish();
    run_t untouched;
    EXPECT_EQ(prepared, untouched.Finish());
    // The same preparations then count like ProcessHit.
    for (std::size_t i = 0; i < hits.size(); ++i) run.processor->Count(hits[i], preps[i]);
    EXPECT_NE(run.Finish(), prepared);
    for (prepared_hit_t& prep : preps) CHitProcessor::ReleasePreparation(prep);
}

// Referrers logged differently but normalised alike share one key, whichever came first, so
// that tables find each other's entries by address; texts that differ keep their own.
TEST_F(HitPreparationTest, ReferrersNormalisedAlikeShareOneKey) {
    for (const bool encodedFirst : {false, true}) {
        run_t run;
        const std::vector<std::string> logged{
            "http://s.example.org/a%2fb", "http://s.example.org/a/b", "http://s.example.org/a/c"};
        std::vector<hit_t> hits;
        for (std::size_t i = 0; i < logged.size(); ++i) {
            ref_hit_t h;
            h.host = "10.0.0.1";
            h.path = "/index.html";
            h.referrer = logged[encodedFirst || i == 2 ? i : 1 - i];
            h.status = 200;
            h.time = 1700000000;
            hits.push_back(MakeHit(h, true));
        }
        std::vector<prepared_hit_t> preps(hits.size());
        for (std::size_t i = 0; i < hits.size(); ++i) run.processor->Prepare(hits[i], preps[i]);
        const auto text = [&preps](std::size_t i) {
            return std::string(preps[i].referrer->text, preps[i].referrer->length);
        };
        ASSERT_EQ(text(0), "http://s.example.org/a/b");
        EXPECT_EQ(text(1), text(0));
        EXPECT_EQ(preps[1].referrer->text, preps[0].referrer->text) << encodedFirst;
        EXPECT_NE(preps[1].referrer, preps[0].referrer);
        EXPECT_EQ(text(2), "http://s.example.org/a/c");
        for (std::size_t i = 0; i < hits.size(); ++i) run.processor->Count(hits[i], preps[i]);
        for (prepared_hit_t& prep : preps) CHitProcessor::ReleasePreparation(prep);
        run.Finish();
    }
}

TEST_F(HitPreparationTest, MalformedAndFilteredPreparationsCountNothing) {
    for (const bool wholeBatch : {false, true}) {
        SCOPED_TRACE(wholeBatch ? "PrepareBatch" : "Prepare");
        run_t run;
        std::vector<hit_t> hits = MakeHits(9, 3, 3);
        hits[1].pathLen = 3;  // differs from the text's length
        std::vector<prepared_hit_t> preps(hits.size());
        if (wholeBatch)
            run.processor->PrepareBatch(hits, preps.data());
        else
            for (std::size_t i = 0; i < hits.size(); ++i) run.processor->Prepare(hits[i], preps[i]);
        EXPECT_TRUE(preps[0].ready);
        EXPECT_TRUE(preps[1].ready);
        EXPECT_FALSE(preps[1].valid);
        EXPECT_TRUE(preps[2].valid);
        EXPECT_EQ(run.processor->Count(hits[0], preps[0]), 1);
        EXPECT_EQ(run.processor->Count(hits[1], preps[1]), 0);
        EXPECT_EQ(run.processor->Count(hits[2], preps[2]), 1);
        EXPECT_FALSE(preps[0].ready);
        EXPECT_EQ(run.tables.counters.totalHits, 2u);
        for (prepared_hit_t& prep : preps) CHitProcessor::ReleasePreparation(prep);
    }
}

// A field is valid when its length's bytes hold no NUL and a NUL follows them: a NUL at any
// place of a word-wide step or of the tail, a length short of the text, and lengths out of
// range are each malformed.
TEST_F(HitPreparationTest, AFieldWithANulOrTheWrongLengthIsMalformed) {
    run_t run;
    const auto valid = [&run](const std::function<void(hit_t&)>& change) {
        std::vector<hit_t> hits = MakeHits(1, 1, 1);
        change(hits[0]);
        prepared_hit_t prep;
        run.processor->Prepare(hits[0], prep);
        CHitProcessor::ReleasePreparation(prep);
        return prep.valid;
    };
    const auto fill = [](char* field, std::int32_t& length, int n) {
        std::memset(field, 'a', static_cast<std::size_t>(n));
        field[n] = '\0';
        length = n;
    };
    EXPECT_TRUE(valid([](hit_t&) {}));
    for (const int n : {0, 1, 7, 8, 9, 16, 23, kHitTextMax}) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(valid([&](hit_t& h) { fill(h.agent, h.agentLen, n); }));
        EXPECT_TRUE(valid([&](hit_t& h) { fill(h.server, h.serverLen, n); }));
        for (int at = 0; at < n; at += at < 9 ? 1 : 7) {
            EXPECT_FALSE(valid([&](hit_t& h) {
                fill(h.agent, h.agentLen, n);
                h.agent[at] = '\0';
            })) << "NUL at "
                << at;
        }
        if (n > 0) {
            EXPECT_FALSE(valid([&](hit_t& h) {
                fill(h.user, h.userLen, n);
                --h.userLen;
            }));
        }
    }
    EXPECT_FALSE(valid([](hit_t& h) { h.hostLen = -1; }));
    EXPECT_FALSE(valid([&](hit_t& h) {
        std::memset(h.cookie, 'c', sizeof h.cookie);
        h.cookieLen = kHitTextSize;
    }));
}

// Counting keeps each hit's visit and page-referrer pair and counts the kept ones later, while
// the scanner refills the hit's record and the parsing thread reuses its preparation at once:
// kept counts must read neither, texts without a pool copy included (none are remembered with
// a limit of 0). Kept counts flushed mid-run, and texts repeated a few hits apart (preparing a
// batch begins hits ahead of the one it finishes), must count as at once.
TEST_F(HitPreparationTest, CountsKeptForLaterCountLikeCountsMadeAtOnce) {
    for (const auto& [seed, distinct] : {std::pair{3u, 400}, std::pair{17u, 6}}) {
        const std::vector<hit_t> hits = MakeHits(seed, 3000, distinct);
        for (const std::uint32_t remembered : {65536u, 0u}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", remembered " +
                         std::to_string(remembered));
            const std::string direct = ProcessInline(hits, remembered);
            if (remembered > 0) {
                EXPECT_EQ(ProcessOverlapped(hits), direct);
            }

            run_t run(remembered);
            run.processor->DeferCounts(true);
            auto record = std::make_unique<hit_t>();
            for (const hit_t& hit : hits) {
                *record = hit;
                EXPECT_EQ(run.processor->ProcessHit(*record), 1);
                std::memset(record->cookie, 'x', kHitTextMax);
                std::memset(record->host, 'x', kHitTextMax);
                std::memset(record->user, 'x', kHitTextMax);
                std::memset(record->referrer, 'x', kHitTextMax);
            }
            run.processor->DeferCounts(false);
            EXPECT_EQ(run.Finish(), direct);
        }
    }
}

}  // namespace
