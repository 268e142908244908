#include "engine/report/AccessReports.h"

#include <array>

#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"
#include "store/format/Url.h"

using report_rows::Count;
using report_rows::Signed;
using report_rows::Text;

namespace {

const run_counters_t& Counters(const report_sources_t& sources) {
    static const run_counters_t kNone;
    return sources.tables ? sources.tables->counters : kNone;
}

// Four labelled values with their shares of the four together, all as text.
std::unique_ptr<CTableReport> BuildPageTypes(const report_spec_t& spec,
                                             const std::array<std::uint64_t, 4>& values) {
    static const char* const kLabels[] = {"Files", "Images", "Pages", "Misc. Web"};
    std::uint64_t total = 0;
    for (std::uint64_t v : values) total += v;
    auto report = NewTableReport(spec, 4);
    for (unsigned long row = 0; row < 4; ++row) {
        report->SetItem(row, 0, kLabels[row]);
        report->SetItem(row, 1, CFormat::MakeNumber(Signed(values[row])));
        report->SetItem(row, 2, CFormat::MakePercentage(Signed(values[row]), Signed(total)));
    }
    return report;
}

}  // namespace

std::unique_ptr<CTableReport> BuildPageTypesHits(const report_sources_t& sources) {
    const run_counters_t& c = Counters(sources);
    return BuildPageTypes(report_catalogue::kPageTypesHits,
                          {c.fileHits, c.imageHits, c.pageHits, c.miscWebHits});
}

std::unique_ptr<CTableReport> BuildPageTypesBandwidth(const report_sources_t& sources) {
    const run_counters_t& c = Counters(sources);
    return BuildPageTypes(report_catalogue::kPageTypesBandwidth,
                          {c.fileBytes, c.imageBytes, c.pageBytes, c.miscWebBytes});
}

std::unique_ptr<CTableReport> BuildResourceReport(const report_spec_t& spec,
                                                  const CFastHashTable<resource_info_t>* table,
                                                  const std::string& siteDomain, bool unescape) {
    const unsigned long rows = Count(table);
    auto report = NewTableReport(spec, rows);
    const bool withIncomplete = spec.numColumns == 4;
    for (unsigned long i = 0; i < rows; ++i) {
        const resource_info_t& item = table->GetItem(i);
        const std::string key = Text(item.url, item.length);
        report->SetItem(i, 0, unescape ? CFormat::unhtmlescape(key.c_str()) : key);
        report->SetRealUrl(i, 0, report_rows::RealUrl(siteDomain, key).c_str());
        unsigned long col = 1;
        report->SetItem(i, col++, Signed(item.hits));
        if (withIncomplete) report->SetItem(i, col++, Signed(item.incomplete));
        report->SetItem(i, col, Signed(item.bytes));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildMostLeastReport(const report_sources_t& sources, int index) {
    using namespace report_catalogue;
    static const report_spec_t* const kSpecs[kMostLeastReports] = {
        &kMostResources, &kMostPages,       &kMostFiles,      &kMostImages,
        &kMostMiscWeb,   &kMostDirectories, &kLeastResources, &kLeastPages,
        &kLeastFiles,    &kLeastImages,     &kLeastMiscWeb,   &kLeastDirectories};
    if (index < 0 || index >= kMostLeastReports) return nullptr;
    CRunTables* t = sources.tables;
    const CFastHashTable<resource_info_t>* tables[kMostLeastReports] = {};
    if (t) {
        const CFastHashTable<resource_info_t>* all[kMostLeastReports] = {&t->resources,
                                                                         &t->pages,
                                                                         &t->files,
                                                                         &t->images,
                                                                         &t->miscWeb,
                                                                         &t->directories,
                                                                         t->leastResources.get(),
                                                                         t->leastPages.get(),
                                                                         t->leastFiles.get(),
                                                                         t->leastImages.get(),
                                                                         t->leastMiscWeb.get(),
                                                                         t->leastDirectories.get()};
        std::copy(std::begin(all), std::end(all), std::begin(tables));
    }
    // Least Requested Pages shows its keys unescaped, as the page names were written.
    const bool unescape = kSpecs[index] == &kLeastPages;
    return BuildResourceReport(*kSpecs[index], tables[index], sources.siteDomain, unescape);
}

std::unique_ptr<CTableReport> BuildDayReport(const report_spec_t& spec,
                                             const CTimeSeriesTable* series, bool second,
                                             std::uint64_t total) {
    const unsigned long rows = Count<day_info_t>(series);
    auto report = NewTableReport(spec, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const day_info_t& day = series->GetItem(i);
        const std::uint64_t value = second ? day.second : day.first;
        report->SetItem(i, 0, static_cast<std::int64_t>(day.key) * 86400);
        report->SetItem(i, 1, Signed(value));
        report->SetItemPercentage(i, 2, Signed(value), Signed(total));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildHitsPerDay(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildDayReport(report_catalogue::kHitsPerDay, t ? &t->hitsPerDay : nullptr, false,
                          Counters(sources).totalHits);
}

std::unique_ptr<CTableReport> BuildBandwidthPerDay(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildDayReport(report_catalogue::kBandwidthPerDay, t ? &t->hitsPerDay : nullptr, true,
                          Counters(sources).totalBytes);
}

std::unique_ptr<CTableReport> BuildPageViewsPerDay(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    // Every page view is counted on its day, so the days' sum is the run's total.
    std::uint64_t total = 0;
    if (t) t->pageViewsPerDay.ForEach([&total](const day_info_t& day) { total += day.first; });
    return BuildDayReport(report_catalogue::kPageViewsPerDay, t ? &t->pageViewsPerDay : nullptr,
                          false, total);
}

std::unique_ptr<CTableReport> BuildVisitorsPerDay(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildDayReport(report_catalogue::kVisitorsPerDay, t ? &t->visitorsPerDay : nullptr,
                          false, Counters(sources).sessions);
}

std::unique_ptr<CTableReport> BuildDayOfWeek(const report_sources_t& sources) {
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    const run_counters_t& c = Counters(sources);
    auto report = NewTableReport(report_catalogue::kDayOfWeek, 7);
    report->SetAlternateSort(0);
    for (unsigned long day = 0; day < 7; ++day) {
        report->SetItem(day, 0, kDays[day]);
        report->SetAlternateSortItem(day, 0, static_cast<std::int64_t>(day));
        report->SetItem(day, 1, Signed(c.hitsPerWeekday[day]));
        report->SetItemPercentage(day, 2, Signed(c.hitsPerWeekday[day]), Signed(c.totalHits));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildHours(const report_sources_t& sources) {
    const run_counters_t& c = Counters(sources);
    auto report = NewTableReport(report_catalogue::kHours, 24);
    report->SetAlternateSort(0);
    for (unsigned long hour = 0; hour < 24; ++hour) {
        std::string label;
        if (hour == 0)
            label = "Midnight";
        else if (hour == 6)
            label = "6 AM";
        else if (hour == 12)
            label = "Noon";
        else if (hour == 18)
            label = "6 PM";
        else
            label = std::to_string(hour > 12 ? hour - 12 : hour);
        report->SetItem(hour, 0, label);
        report->SetAlternateSortItem(hour, 0, static_cast<std::int64_t>(hour));
        report->SetItem(hour, 1, Signed(c.hitsPerHour[hour]));
        report->SetItemPercentage(hour, 2, Signed(c.hitsPerHour[hour]), Signed(c.totalHits));
    }
    return report;
}

std::unique_ptr<CNestedTableReport> BuildQueryStringReport(const report_spec_t& spec,
                                                           const CNestedTable* table) {
    const unsigned long rows = Count<nested_info_t>(table);
    auto report = NewNestedReport(spec, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const nested_info_t& page = table->GetItem(i);
        report->SetItem(i, 0, UrlDecode(Text(page.text, page.length)));
        report->SetItem(i, 1, Signed(page.hits));
        const unsigned long children = Count(page.children);
        report->AllocateNestedTable(static_cast<int>(i), static_cast<int>(children));
        for (unsigned long n = 0; n < children; ++n) {
            const referinfo_t& query = page.children->GetItem(n);
            const std::string text = UrlDecode(Text(query.text, query.length));
            report->SetNestedTableItem(static_cast<int>(i), static_cast<int>(n), 0, text.c_str());
            report->SetNestedTableItem(static_cast<int>(i), static_cast<int>(n), 1,
                                       Signed(query.hits));
        }
    }
    return report;
}

std::unique_ptr<CNestedTableReport> BuildQueryStrings(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildQueryStringReport(report_catalogue::kQueryStrings, t ? &t->queryStrings : nullptr);
}
