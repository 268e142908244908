#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/session/VisitorSessions.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"

namespace {

// Builds visits the way hit processing hands them over: pages are pool keys.
class SessionTest : public testing::Test {
protected:
    void SetUp() override { PoolCreate(); }
    void TearDown() override {
        sessions.reset();
        PoolDestroy();
    }

    void Start(const CTagInformation& tags = CTagInformation(), bool caseSensitive = false) {
        sessions = std::make_unique<CVisitorSessions>(tables, tags, caseSensitive);
    }

    // A successful hit of `host` at `time` on `page` (a page unless it ends in ".pdf"; no
    // path item for an empty page), led to by `label`.
    void Visit(const std::string& host, std::int32_t time, const std::string& page = "",
               const std::string& label = "", page_type_t labelType = page_type_t::REFERRER,
               const std::string& cookie = "", visitor_memo_t* memo = nullptr) {
        path_item_t item;
        const bool isFile = page.size() > 4 && page.substr(page.size() - 4) == ".pdf";
        if (!page.empty()) {
            item.page = PoolCopy(page.data(), page.size());
            item.pageLength = static_cast<std::uint32_t>(page.size());
            item.pageType = isFile ? page_type_t::FILE : page_type_t::PAGE;
        }
        if (!label.empty()) {
            item.label = PoolCopy(label.data(), label.size());
            item.labelLength = static_cast<std::uint32_t>(label.size());
            item.labelType = labelType;
        }
        visit_t visit;
        visit.cookie = cookie;
        visit.host = host;
        visit.time = time;
        visit.status = 200;
        visit.isPage = !page.empty() && !isFile;
        visit.user = "-";
        visit.item = page.empty() ? nullptr : &item;
        visit.memo = memo;
        sessions->RecordVisit(visit);
    }

    static std::map<std::string, std::uint64_t> Texts(CFastHashTable<referinfo_t>& table) {
        std::map<std::string, std::uint64_t> result;
        table.ForEach(
            [&](const referinfo_t& e) { result[std::string(e.text, e.length)] += e.hits; });
        return result;
    }

    // Links from `from` as (target, hits).
    std::map<std::string, std::uint64_t> Children(const std::string& from) {
        std::map<std::string, std::uint64_t> result;
        sessions->GetHyperlinks().ForEach([&](hyperlink_hash_t& page) {
            if (std::string(page.text, page.length) != from) return;
            page.children->ForEach([&](const hyperlink_connection_hash_t& link) {
                result[std::string(link.text, link.length)] += link.hits;
            });
        });
        return result;
    }

    CRunTables tables;
    std::unique_ptr<CVisitorSessions> sessions;
    const std::int32_t t0 = 1700000000;
};

TEST_F(SessionTest, TheTimeOutIs1800SecondsInclusive) {
    Start();
    Visit("a", t0, "/a.html");
    Visit("a", t0 + 1800, "/b.html");  // same session
    Visit("b", t0, "/a.html");
    Visit("b", t0 + 1801, "/b.html");  // new session
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.sessions, 3u);
    EXPECT_EQ(Texts(tables.entryPages),
              (std::map<std::string, std::uint64_t>{{"/a.html", 2}, {"/b.html", 1}}));
    EXPECT_EQ(Texts(tables.exitPages),
              (std::map<std::string, std::uint64_t>{{"/b.html", 2}, {"/a.html", 1}}));
}

TEST_F(SessionTest, EverySessionOfAHostCountsItsOpeningPage) {
    Start();
    Visit("a", t0, "/a.html");
    Visit("a", t0 + 5000, "/b.html");
    sessions->CloseAllSessions();
    // Both single-page sessions are site entry, site exit and single access.
    EXPECT_EQ(Texts(tables.singleAccessPages),
              (std::map<std::string, std::uint64_t>{{"/a.html", 1}, {"/b.html", 1}}));
    EXPECT_EQ(Texts(tables.entryPages), Texts(tables.singleAccessPages));
}

TEST_F(SessionTest, VisitorsWithoutPagesCountSessionsButNoPages) {
    Start();
    Visit("a", t0);
    Visit("a", t0 + 10, "/paper.pdf");  // a file: in the path but no page view
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.sessions, 1u);
    EXPECT_EQ(tables.entryPages.GetCount(), 0u);
    EXPECT_EQ(sessions->GetHyperlinks().GetCount(), 0u);
}

TEST_F(SessionTest, OneHitMakesOneSessionOnItsDay) {
    Start();
    Visit("a", t0, "/a.html");
    sessions->CloseAllSessions();
    EXPECT_EQ(sessions->GetVisitors(), nullptr);
    EXPECT_EQ(tables.counters.sessions, 1u);
    std::map<std::int32_t, std::uint64_t> days;
    tables.visitorsPerDay.ForEach([&](const day_info_t& d) { days[d.key] += d.first; });
    EXPECT_EQ(days, (std::map<std::int32_t, std::uint64_t>{{t0 / 86400, 1}}));
}

TEST_F(SessionTest, CookieIdentifiesAVisitorAcrossHosts) {
    Start();
    Visit("host1", t0, "/a.html", "", page_type_t::REFERRER, "cookie-1");
    Visit("host2", t0 + 60, "/b.html", "", page_type_t::REFERRER, "cookie-1");
    // Cookies of two characters or fewer do not identify anyone.
    Visit("host3", t0, "/a.html", "", page_type_t::REFERRER, "ab");
    Visit("host3", t0 + 10, "/b.html", "", page_type_t::REFERRER, "ab");
    Visit("host4", t0 + 20, "/b.html", "", page_type_t::REFERRER, "ab");
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.sessions, 3u);
}

// The memo a caller keeps per host stands for the lookup: it must survive the visitors table
// growing (entries move) and never stand for a visitor known by its cookie.
TEST_F(SessionTest, RememberedHostsCountLikeLookedUpOnes) {
    const auto run = [this](bool remember) {
        tables.counters.sessions = 0;
        tables.entryPages.ForEach([](referinfo_t& e) { e.hits = 0; });
        Start();
        std::map<std::string, visitor_memo_t> memos;
        // Enough hosts to grow the visitors table several times between a host's hits.
        for (int round = 0; round < 3; ++round)
            for (int h = 0; h < 40000; h += round == 0 ? 1 : 7) {
                const std::string host = "host" + std::to_string(h);
                const std::int32_t time = t0 + round * (h % 2 ? 10 : 4000);
                Visit(host, time, "/r" + std::to_string(round) + ".html", "", page_type_t::REFERRER,
                      h % 5 == 0 ? "cookie-" + host : "", remember ? &memos[host] : nullptr);
            }
        sessions->CloseAllSessions();
        return std::pair{tables.counters.sessions, Texts(tables.entryPages)};
    };
    const auto looked = run(false);
    const auto remembered = run(true);
    EXPECT_EQ(remembered, looked);
    EXPECT_GT(looked.first, 40000u);
}

TEST_F(SessionTest, AMemoOfAHostDoesNotStandForItsCookie) {
    Start();
    visitor_memo_t memo;
    Visit("h", t0, "/a.html", "", page_type_t::REFERRER, "", &memo);
    Visit("h", t0 + 10, "/b.html", "", page_type_t::REFERRER, "cookie-1", &memo);
    Visit("h", t0 + 20, "/c.html", "", page_type_t::REFERRER, "", &memo);
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.sessions, 2u);
    EXPECT_EQ(Texts(tables.exitPages),
              (std::map<std::string, std::uint64_t>{{"/b.html", 1}, {"/c.html", 1}}));
}

TEST_F(SessionTest, OutOfOrderHitsStayInTheSession) {
    Start();
    Visit("a", t0, "/a.html");
    Visit("a", t0 - 5000, "/b.html");
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.sessions, 1u);
}

TEST_F(SessionTest, LinksRunFromEntryThroughReferrersToExit) {
    Start();
    Visit("a", t0, "/a.html", "Google search for \"logs\"");
    Visit("a", t0 + 5, "/b.html", "/a.html", page_type_t::PAGE);
    Visit("a", t0 + 9, "/c.html");
    sessions->CloseAllSessions();
    EXPECT_EQ(Children("(site entry)"), (std::map<std::string, std::uint64_t>{{"/a.html", 1}}));
    EXPECT_EQ(Children("Google search for \"logs\""),
              (std::map<std::string, std::uint64_t>{{"/a.html", 1}}));
    EXPECT_EQ(Children("/a.html"), (std::map<std::string, std::uint64_t>{{"/b.html", 1}}));
    EXPECT_EQ(Children("/c.html"), (std::map<std::string, std::uint64_t>{{"(site exit)", 1}}));
    // Parents mirror children, with the types of the first use.
    sessions->GetHyperlinks().ForEach([](hyperlink_hash_t& page) {
        if (std::string(page.text, page.length) == "(site exit)") {
            EXPECT_EQ(page.type, page_type_t::EXIT);
            EXPECT_EQ(page.parents->GetCount(), 1u);
        }
    });
}

TEST_F(SessionTest, PathsGrowPastTheirFirstCapacity) {
    Start();
    for (int i = 0; i < 40; ++i) Visit("a", t0 + i, "/p" + std::to_string(i) + ".html");
    sessions->CloseAllSessions();
    EXPECT_EQ(Texts(tables.entryPages), (std::map<std::string, std::uint64_t>{{"/p0.html", 1}}));
    EXPECT_EQ(Texts(tables.exitPages), (std::map<std::string, std::uint64_t>{{"/p39.html", 1}}));
}

TEST_F(SessionTest, TagTriggersCountTheSessionsThatMetThem) {
    CTagInformation tags;
    tags.AddTriggerInformation({CTagInformation::SITEENTRY, "/Landing*", "landing"});
    tags.AddTriggerInformation({CTagInformation::ANYPAGE, "/buy.html", "buyers"});
    tags.AddTriggerInformation({CTagInformation::REFERRER, "*GOOGLE search*", "searchers"});
    tables.counters.tagTriggers.assign(3, 0);
    Start(tags);
    Visit("a", t0, "/landing1.html", "Google search for \"x\"");
    Visit("a", t0 + 5, "/buy.html");
    Visit("b", t0, "/other.html");
    Visit("b", t0 + 5, "/landing2.html");
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.tagTriggers, (std::vector<std::uint64_t>{1, 1, 1}));
    // The flags of visitor a's session reach its links.
    sessions->GetHyperlinks().ForEach([](hyperlink_hash_t& page) {
        if (std::string(page.text, page.length) != "/landing1.html") return;
        page.children->ForEach([](const hyperlink_connection_hash_t& link) {
            ASSERT_NE(link.tagCounts, nullptr);
            EXPECT_EQ(link.tagCounts[0] + link.tagCounts[1] + link.tagCounts[2], 3u);
        });
    });
}

TEST_F(SessionTest, UserSessionsCountEveryOpenedSession) {
    Start();
    user_info_t alice;
    alice.name = "alice";
    alice.length = 5;
    bool isNew = false;
    *tables.users.Lookup(alice, isNew) = alice;
    visit_t visit;
    visit.host = "h";
    visit.user = "alice";
    visit.status = 200;
    for (std::int32_t t : {t0, t0 + 10, t0 + 4000}) {
        visit.time = t;
        sessions->RecordVisit(visit);
    }
    // Added as the sessions close: hit processing may be adding users meanwhile.
    EXPECT_EQ(tables.users.Lookup(alice, isNew, false)->sessions, 0u);
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.users.Lookup(alice, isNew, false)->sessions, 2u);
}

TEST_F(SessionTest, PageRangeShowsEveryPageWithItsLinks) {
    Start();
    Visit("a", t0, "/a.html");
    Visit("a", t0 + 1, "/b.html", "/a.html", page_type_t::PAGE);
    sessions->CloseAllSessions();
    auto range = MakeHyperlinkPageRange(sessions->GetHyperlinks());
    int pages = 0, links = 0;
    range->ForEach([&](const hyperlink_page_view_t& page) {
        ++pages;
        page.children->ForEach([&](const hyperlink_link_view_t& link) {
            EXPECT_GT(link.hits, 0);
            ++links;
        });
    });
    EXPECT_EQ(pages, 4);  // entry, /a.html, /b.html, exit
    EXPECT_EQ(links, 3);
}

}  // namespace
