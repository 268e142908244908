#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/hit/VisitFeed.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"

// Closing sessions remembers pages, links and table entries between sessions. Whatever it
// remembers, every count and every slot order must be what counting each session by its texts
// gives: a straightforward closer below counts the same visits into tables of its own. Visits
// go to the sessions one by one, or kept and handed over in chunks of random length with the
// hosts' memos and the visitors they named when kept, or through a visit feed whose batches a
// second thread counts whenever it can, as a run hands them over.
namespace {

enum class handing_t { ONE_BY_ONE, IN_CHUNKS, FED };

void PrintTo(handing_t handing, std::ostream* out) {
    *out << (handing == handing_t::ONE_BY_ONE  ? "one by one"
             : handing == handing_t::IN_CHUNKS ? "in chunks"
                                               : "fed");
}

constexpr std::int32_t kStart = 1700000000;

struct ref_visitor_t {
    std::vector<path_item_t> items;
    std::uint64_t pageViews = 0;
    std::int32_t sessionStart = 0;
    std::int32_t lastHit = 0;
};

class SessionReferenceTest : public testing::TestWithParam<std::tuple<unsigned, handing_t>> {
protected:
    static unsigned Seed() { return std::get<0>(GetParam()); }
    static handing_t Handing() { return std::get<1>(GetParam()); }

    void SetUp() override {
        PoolCreate();
        tags.AddTriggerInformation({CTagInformation::ANYPAGE, "/p1*", "p1"});
        tables.counters.tagTriggers.assign(1, 0);
        sessions = std::make_unique<CVisitorSessions>(tables, tags, false);
        if (Handing() == handing_t::FED) {
            feed = std::make_unique<CVisitFeed>(*sessions);
            helper = std::thread([this] {
                while (!stopHelper.load(std::memory_order_relaxed))
                    if (feed->TryCountWaiting()) ++helped;
            });
        }
        for (const char* name : {"-", "alice", "bob"}) AddUser(name);
    }
    void TearDown() override {
        StopHelper();
        feed.reset();
        sessions.reset();
        PoolDestroy();
    }

    const char* Pooled(const std::string& text) { return PoolCopy(text.data(), text.size()); }

    // A user that hit processing counted, in both user tables.
    void AddUser(const std::string& name) {
        user_info_t user;
        user.name = Pooled(name);
        user.length = static_cast<std::uint32_t>(name.size());
        bool isNew = false;
        *tables.users.Lookup(user, isNew) = user;
        *refUsers.Lookup(user, isNew) = user;
    }

    void Visit(const std::string& host, std::int32_t time, const path_item_t* item, bool isPage,
               const std::string& user, int status) {
        visit_t visit;
        visit.host = host;
        visit.time = time;
        visit.status = status;
        visit.isPage = isPage;
        visit.user = user;
        visit.item = item;
        Record(visit);

        ref_visitor_t& v = refVisitors[host];
        const bool known = refSeen.count(host) > 0;
        refSeen[host] = true;
        if (!known || time - v.lastHit > CVisitorSessions::kSessionTimeout) {
            if (known) RefClose(v);
            v.items.clear();
            v.pageViews = isPage ? 1 : 0;
            v.sessionStart = time;
            if (status >= 200 && status <= 299) {
                user_info_t key;
                key.name = user.data();
                key.length = static_cast<std::uint32_t>(user.size());
                bool isNew = false;
                if (user_info_t* u = refUsers.Lookup(key, isNew, false)) ++u->sessions;
            }
        } else if (isPage) {
            ++v.pageViews;
        }
        v.lastHit = time;
        if (item) v.items.push_back(*item);
    }

    void StopHelper() {
        stopHelper = true;
        if (helper.joinable()) helper.join();
    }

    // The visit with copies of what it points to, kept until the chunk is full.
    void Record(visit_t visit) {
        if (Handing() == handing_t::ONE_BY_ONE) {
            sessions->RecordVisit(visit);
            return;
        }
        if (Handing() == handing_t::FED) {
            visit.memo = &memos[std::string(visit.host)];
            feed->Keep(visit);
            return;
        }
        const std::string& host = keptTexts.emplace_back(visit.host);
        visit.host = host;
        visit.user = keptTexts.emplace_back(visit.user);
        if (visit.item) visit.item = &keptItems.emplace_back(*visit.item);
        visit.memo = &memos[host];
        visit.visitor = sessions->RememberedVisitor(visit.memo);
        kept.push_back(visit);
        if (kept.size() >= chunk) Flush();
    }

    void Flush() {
        if (Handing() == handing_t::FED) {
            // A loaded machine may not have run the helper yet; batches wait for it until it
            // has counted one (the last three always wait), then the rest are counted here.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (helped == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            feed->Finish();
            return;
        }
        sessions->RecordVisits(kept);
        kept.clear();
        keptTexts.clear();
        keptItems.clear();
        chunk = 1 + chunkRandom() % 300;
    }

    static void RefCount(CFastHashTable<referinfo_t>& table, const path_item_t& item) {
        referinfo_t key;
        key.text = item.page;
        key.length = item.pageLength;
        bool isNew = false;
        referinfo_t* entry = table.Lookup(key, isNew);
        if (isNew) *entry = key;
        ++entry->hits;
    }

    void RefClose(const ref_visitor_t& v) {
        ++refSessions;
        day_info_t day;
        day.key = v.sessionStart / 86400;
        bool isNew = false;
        day_info_t* perDay = refDays.Lookup(day, isNew);
        if (isNew) *perDay = day;
        ++perDay->first;
        if (v.items.empty() || v.pageViews == 0) return;
        const path_item_t& first = v.items.front();
        const path_item_t& last = v.items.back();
        RefCount(refEntry, first);
        if (v.pageViews == 1) RefCount(refSingle, first);
        RefCount(refExit, last);
        std::uint8_t flag = 0;
        for (const path_item_t& item : v.items)
            if (std::string_view(item.page, item.pageLength).substr(0, 3) == "/p1") flag = 1;
        refTrigger += flag;
        refLinks.AddLink("(site entry)", page_type_t::ENTRY, {first.page, first.pageLength},
                         first.pageType, &flag);
        refLinks.AddLink({last.page, last.pageLength}, last.pageType, "(site exit)",
                         page_type_t::EXIT, &flag);
        for (const path_item_t& item : v.items) {
            if (!item.label || item.labelLength == 0 || item.pageLength == 0) continue;
            refLinks.AddLink({item.label, item.labelLength}, item.labelType,
                             {item.page, item.pageLength}, item.pageType, &flag);
        }
    }

    static std::vector<std::string> Rows(CFastHashTable<referinfo_t>& table) {
        std::vector<std::string> rows;
        table.ForEach([&](const referinfo_t& e) {
            rows.push_back(std::string(e.text, e.length) + " " + std::to_string(e.hits));
        });
        return rows;
    }

    static std::vector<std::string> Rows(CHyperlinkTable& links) {
        std::vector<std::string> rows;
        const auto put = [&rows](const char* side, const hyperlink_link_view_t& link) {
            rows.push_back(std::string(side) + std::string(link.name) + " " +
                           std::to_string(link.hits) + " " +
                           std::to_string(static_cast<int>(link.type)) + " " +
                           std::to_string(link.tagCounts ? link.tagCounts[0] : 0));
        };
        MakeHyperlinkPageRange(links)->ForEach([&](const hyperlink_page_view_t& page) {
            rows.push_back(std::string(page.name) + " " +
                           std::to_string(static_cast<int>(page.type)));
            page.children->ForEach([&](const hyperlink_link_view_t& l) { put("> ", l); });
            page.parents->ForEach([&](const hyperlink_link_view_t& l) { put("< ", l); });
        });
        return rows;
    }

    // Every session with pages ends on a later hit in an order both closers share; the end of
    // the run then closes sessions without pages, all of one day. Then both must agree.
    void Finish(std::int32_t time) {
        time += 10 * 86400;
        for (const auto& [name, visitor] : refVisitors) Visit(name, time, nullptr, false, "-", 200);
        if (Handing() != handing_t::ONE_BY_ONE) Flush();
        StopHelper();
        // Else this test shows nothing of two threads.
        if (Handing() == handing_t::FED) {
            EXPECT_GT(helped.load(), 0);
        }
        sessions->CloseAllSessions();
        for (const auto& entry : refVisitors) RefClose(entry.second);

        EXPECT_EQ(tables.counters.sessions, refSessions);
        EXPECT_EQ(tables.counters.tagTriggers[0], refTrigger);
        EXPECT_GT(tables.entryPages.GetCount(), 4096u);  // grown past half full
        EXPECT_EQ(Rows(tables.entryPages), Rows(refEntry));
        EXPECT_EQ(Rows(tables.exitPages), Rows(refExit));
        EXPECT_EQ(Rows(tables.singleAccessPages), Rows(refSingle));
        std::vector<std::pair<std::int64_t, std::uint64_t>> days, refDayRows;
        tables.visitorsPerDay.ForEach(
            [&](const day_info_t& d) { days.emplace_back(d.key, d.first); });
        refDays.ForEach([&](const day_info_t& d) { refDayRows.emplace_back(d.key, d.first); });
        EXPECT_EQ(days, refDayRows);
        std::vector<std::string> userRows, refUserRows;
        tables.users.ForEach([&](const user_info_t& u) {
            userRows.push_back(std::string(u.name, u.length) + " " + std::to_string(u.sessions));
        });
        refUsers.ForEach([&](const user_info_t& u) {
            refUserRows.push_back(std::string(u.name, u.length) + " " + std::to_string(u.sessions));
        });
        EXPECT_EQ(userRows, refUserRows);
        EXPECT_EQ(Rows(sessions->GetHyperlinks()), Rows(refLinks));
    }

    CTagInformation tags;
    CRunTables tables;
    std::unique_ptr<CVisitorSessions> sessions;
    std::unique_ptr<CVisitFeed> feed;
    std::thread helper;
    std::atomic<bool> stopHelper{false};
    std::atomic<int> helped{0};  // batches the helper counted
    std::vector<visit_t> kept;
    std::deque<std::string> keptTexts;
    std::deque<path_item_t> keptItems;
    std::map<std::string, visitor_memo_t> memos;
    std::mt19937 chunkRandom{7};
    std::size_t chunk = 1;

    std::map<std::string, ref_visitor_t> refVisitors;
    std::map<std::string, bool> refSeen;
    std::uint64_t refSessions = 0, refTrigger = 0;
    CTimeSeriesTable refDays{8192};
    CFastHashTable<user_info_t> refUsers{8192};
    CFastHashTable<referinfo_t> refEntry{8192}, refExit{8192}, refSingle{8192};
    CHyperlinkTable refLinks{CVisitorSessions::kHyperlinkSlots, 1};
};

// Thousands of pages (more than the memos hold, and enough to grow the entry and exit tables
// past half full several times), visitors that return after the time-out, sessions of one and
// of many pages, a page text reaching sessions under a second pool copy now and then, and
// users added to the user table while sessions count.
TEST_P(SessionReferenceTest, CountsAndSlotOrdersMatchCountingByText) {
    std::mt19937 random(Seed());
    const auto pick = [&random](std::uint32_t n) {
        return static_cast<std::uint32_t>(random() % n);
    };
    std::vector<std::string> pageTexts;
    std::vector<const char*> pages, copies;
    for (int i = 0; i < 9000; ++i) {
        pageTexts.push_back("/p" + std::to_string(i) + (i % 7 == 0 ? ".pdf" : ".html"));
        pages.push_back(Pooled(pageTexts.back()));
        copies.push_back(Pooled(pageTexts.back()));
    }
    std::vector<const char*> referrers;
    for (int i = 0; i < 60; ++i) referrers.push_back(Pooled("http://ref" + std::to_string(i)));
    const char* search = Pooled("Google search for \"logs\"");
    const std::vector<std::string> users = {"-", "-", "-", "alice", "bob", "carol"};

    std::int32_t time = kStart;
    std::string host = "h0";
    std::map<std::string, std::uint32_t> lastPage;
    for (int n = 0; n < 60000; ++n) {
        if (pick(2) == 0) host = "h" + std::to_string(pick(3000));  // else the same visitor
        time += static_cast<std::int32_t>(pick(40));
        if (n == 30000)
            for (int u = 0; u < 40; ++u) AddUser("user" + std::to_string(u));
        const std::uint32_t p = pick(4) == 0 ? pick(30) : pick(9000);
        path_item_t item;
        item.page = pick(20) == 0 ? copies[p] : pages[p];
        item.pageLength = static_cast<std::uint32_t>(pageTexts[p].size());
        item.pageType = p % 7 == 0 ? page_type_t::FILE : page_type_t::PAGE;
        if (pick(3) == 0) item.pageHash = memcrc(item.page, item.pageLength, 0);
        switch (pick(4)) {
            case 0:
                break;
            case 1: {
                const char* referrer = referrers[pick(60)];
                item.label = referrer;
                item.labelLength = static_cast<std::uint32_t>(std::strlen(referrer));
                break;
            }
            case 2:
                item.label = search;
                item.labelLength = static_cast<std::uint32_t>(std::strlen(search));
                break;
            default:
                if (lastPage.count(host)) {
                    const std::uint32_t from = lastPage[host];
                    item.label = pages[from];
                    item.labelLength = static_cast<std::uint32_t>(pageTexts[from].size());
                    item.labelType = from % 7 == 0 ? page_type_t::FILE : page_type_t::PAGE;
                }
        }
        const bool hasItem = pick(10) != 0;
        if (hasItem) lastPage[host] = p;
        Visit(host, time, hasItem ? &item : nullptr, hasItem && p % 7 != 0,
              users[pick(static_cast<std::uint32_t>(users.size()))], pick(8) == 0 ? 404 : 200);
    }
    Finish(time);
}

// A known page counted right after the insertion that left its table over half full: the
// lookup that a remembered entry stands for would have grown the table.
TEST_P(SessionReferenceTest, ARememberedPageStillGrowsATableOverHalfFull) {
    std::int32_t time = kStart;
    const std::uint32_t pages = 8192 / 2 + 1;
    std::vector<path_item_t> items(pages);
    for (std::uint32_t i = 0; i < pages; ++i) {
        const std::string text = "/page" + std::to_string(i) + ".html";
        items[i].page = Pooled(text);
        items[i].pageLength = static_cast<std::uint32_t>(text.size());
        items[i].pageType = page_type_t::PAGE;
    }
    // The seed picks the repeated page among the last few, so its memo is fresh.
    const std::uint32_t repeated = pages - 1 - Seed() % 3;
    for (std::uint32_t i = 0; i < pages; ++i) {
        const std::string host = "h" + std::to_string(i);
        Visit(host, time, &items[i], true, "-", 200);
        Visit(host, time + 2000, nullptr, false, "-", 200);
        if (i == repeated) {
            Visit("again", time, &items[i], true, "-", 200);
            Visit("again", time + 2000, nullptr, false, "-", 200);
        }
    }
    Visit("again", time + 4000, &items[repeated], true, "-", 200);
    Visit("again", time + 6000, nullptr, false, "-", 200);
    if (Handing() != handing_t::ONE_BY_ONE) Flush();
    EXPECT_GT(tables.entryPages.GetCapacity(), 8192u);
    Finish(time + 8000);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SessionReferenceTest,
                         testing::Combine(testing::Values(1u, 2u, 3u),
                                          testing::Values(handing_t::ONE_BY_ONE,
                                                          handing_t::IN_CHUNKS, handing_t::FED)));

}  // namespace
