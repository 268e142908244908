#include "engine/report/HyperlinkTreeBuilder.h"

#include <cstdint>
#include <vector>

#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/session/HyperlinkTable.h"
#include "engine/table/RunTables.h"
#include "store/filter/TagInformation.h"

namespace {

// The tag totals must outlive the base writer that points at them, so they sit in a base
// initialised first.
struct tag_totals_holder_t {
    std::vector<std::int64_t> tagTotals;
};

class CRunHyperlinkTreeReport : private tag_totals_holder_t, public CSaveHyperlinkTreeReport {
public:
    CRunHyperlinkTreeReport(std::vector<std::int64_t> totals, std::int64_t runTotal,
                            std::unique_ptr<PageRange> links, const CTagInformation* tags,
                            std::unique_ptr<CountRange> singleAccess,
                            std::unique_ptr<CountRange> siteEntry,
                            std::unique_ptr<CountRange> siteExit)
        : tag_totals_holder_t{std::move(totals)},
          CSaveHyperlinkTreeReport(runTotal, std::move(links), tags, tagTotals.data(),
                                   std::move(singleAccess), std::move(siteEntry),
                                   std::move(siteExit)) {}
};

std::unique_ptr<CSaveHyperlinkTreeReport::CountRange> PageCounts(
    CFastHashTable<referinfo_t>* table) {
    if (!table) return nullptr;
    return MakeEntryRange<page_count_view_t>(
        [table](const std::function<void(const page_count_view_t&)>& visit) {
            table->ForEach([&visit](const referinfo_t& entry) {
                visit(page_count_view_t{std::string_view(entry.text, entry.length),
                                        report_rows::Signed(entry.hits)});
            });
        });
}

}  // namespace

std::unique_ptr<CSaveHyperlinkTreeReport> BuildHyperlinkTree(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    std::vector<std::int64_t> totals;
    if (t)
        for (std::uint64_t count : t->counters.tagTriggers)
            totals.push_back(report_rows::Signed(count));
    // The writer reads one total per trigger of the tags: never fewer than the tags name.
    if (sources.tags && static_cast<int>(totals.size()) < sources.tags->GetNumTriggers())
        totals.resize(static_cast<std::size_t>(sources.tags->GetNumTriggers()), 0);
    auto links = sources.hyperlinks ? MakeHyperlinkPageRange(*sources.hyperlinks) : nullptr;
    return std::make_unique<CRunHyperlinkTreeReport>(
        std::move(totals), t ? report_rows::Signed(t->counters.sessions) : 0, std::move(links),
        sources.tags, PageCounts(t ? &t->singleAccessPages : nullptr),
        PageCounts(t ? &t->entryPages : nullptr), PageCounts(t ? &t->exitPages : nullptr));
}
