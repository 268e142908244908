#include "engine/report/ReferrerReports.h"

#include <array>

#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"

using report_rows::Count;
using report_rows::Signed;
using report_rows::Text;

namespace {

// Rows in report order with the index of their counter in run_counters_t::referrerOrigins
// (mail, news, web, FTP, local file, none, other).
struct origin_row_t {
    const char* label;
    std::size_t counter;
};
constexpr std::array<origin_row_t, 7> kOrigins{{{"E-mail Message (mailto://)", 0},
                                                {"Newsgroup (news://)", 1},
                                                {"Web Page (http://)", 2},
                                                {"FTP Site (ftp://)", 3},
                                                {"Other", 6},
                                                {"No Referrer", 5},
                                                {"Local Files (file://)", 4}}};

// A text and its count per row (referring pages and domains, keywords, engines).
template <class Entry, class Label>
std::unique_ptr<CTableReport> BuildTextCounts(const report_spec_t& spec,
                                              const CFastHashTable<Entry>* table, Label label) {
    const unsigned long rows = Count(table);
    auto report = NewTableReport(spec, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const Entry& item = table->GetItem(i);
        report->SetItem(i, 0, label(Text(item.text, item.length)));
        report->SetItem(i, 1, Signed(item.hits));
    }
    return report;
}

std::string AsIs(std::string text) { return text; }

}  // namespace

std::unique_ptr<CTableReport> BuildReferrerOrigin(const report_sources_t& sources) {
    static const run_counters_t kNone;
    const run_counters_t& c = sources.tables ? sources.tables->counters : kNone;
    std::uint64_t total = 0;
    for (std::uint64_t count : c.referrerOrigins) total += count;
    auto report = NewTableReport(report_catalogue::kReferrerOrigin, kOrigins.size());
    for (unsigned long row = 0; row < kOrigins.size(); ++row) {
        const std::uint64_t count = c.referrerOrigins[kOrigins[row].counter];
        report->SetItem(row, 0, kOrigins[row].label);
        report->SetItem(row, 1, CFormat::MakeNumber(Signed(count)));
        report->SetItem(row, 2, CFormat::MakePercentage(Signed(count), Signed(total)));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildReferringDomain(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildTextCounts(report_catalogue::kReferringDomain, t ? &t->referringDomains : nullptr,
                           [](const std::string& domain) {
                               // A missing referrer may be counted as "-" or by its label.
                               std::string text = CFormat::ExplainReferrerDash(domain);
                               return text == "No Referrer" ? text : "http://" + domain;
                           });
}

std::unique_ptr<CTableReport> BuildReferringPages(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildTextCounts(report_catalogue::kReferringPages, t ? &t->referringPages : nullptr,
                           CFormat::ExplainReferrerDash);
}

std::unique_ptr<CNestedTableReport> BuildReferrerNest(const report_spec_t& spec,
                                                      const CNestedTable* table,
                                                      const std::string* siteDomain,
                                                      bool explainDash) {
    const auto label = [explainDash](std::string text) {
        return explainDash ? CFormat::ExplainReferrerDash(text) : text;
    };
    const unsigned long rows = Count<nested_info_t>(table);
    auto report = NewNestedReport(spec, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const nested_info_t& page = table->GetItem(i);
        const std::string key = Text(page.text, page.length);
        report->SetItem(i, 0, label(key));
        if (siteDomain) report->SetRealUrl(i, 0, report_rows::RealUrl(*siteDomain, key).c_str());
        report->SetItem(i, 1, Signed(page.hits));
        const int row = static_cast<int>(i);
        const unsigned long children = Count(page.children);
        report->AllocateNestedTable(row, static_cast<int>(children));
        for (unsigned long n = 0; n < children; ++n) {
            const referinfo_t& referrer = page.children->GetItem(n);
            const std::string text = label(Text(referrer.text, referrer.length));
            report->SetNestedTableItem(row, static_cast<int>(n), 0, text.c_str());
            report->SetNestedTableItem(row, static_cast<int>(n), 1, Signed(referrer.hits));
        }
    }
    return report;
}

std::unique_ptr<CNestedTableReport> BuildPageReferrers(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildReferrerNest(report_catalogue::kPageReferrers, t ? &t->pageReferrers : nullptr,
                             &sources.siteDomain, true);
}

std::unique_ptr<CTableReport> BuildSearchEngines(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildTextCounts(report_catalogue::kSearchEngines, t ? &t->searchEngines : nullptr, AsIs);
}

std::unique_ptr<CTableReport> BuildSearchKeywords(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildTextCounts(report_catalogue::kSearchKeywords, t ? &t->searchKeywords : nullptr,
                           AsIs);
}

std::unique_ptr<CTableReport> BuildSearchPhrases(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    const auto* phrases = t ? &t->searchPhrases : nullptr;
    const unsigned long rows = Count(phrases);
    auto report = NewTableReport(report_catalogue::kSearchPhrases, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const search_info_t& item = phrases->GetItem(i);
        report->SetItem(i, 0, Text(item.text, item.length));
        report->SetItem(i, 1, Text(item.engine, item.engineLength));
        report->SetItem(i, 2, Signed(item.hits));
    }
    return report;
}
