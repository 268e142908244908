#include "engine/report/TrackedFileReports.h"

#include <string>
#include <vector>

#include "engine/report/AccessReports.h"
#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/table/RunTables.h"

using report_rows::Count;
using report_rows::Signed;
using report_rows::Text;

const char* const kTrackedFilesDescription =
    "The files you asked to follow in the project settings: for each one, its hits and data "
    "per day, the pages that linked to it and the query strings it was requested with.";

namespace {

// The catalogue report with the pattern added to its name and ID.
void Personalize(CTableReport& report, const report_spec_t& spec, const std::string& pattern) {
    report.SetReportName((spec.name + pattern).c_str());
    report.SetReportID(pattern + spec.id);
}

std::unique_ptr<CTableReport> BuildTrackedReferrers(const tracked_file_t& tracked) {
    const unsigned long rows = Count(&tracked.referrers);
    auto report = NewTableReport(report_catalogue::kTrackedReferrers, rows);
    std::uint64_t total = 0;
    for (unsigned long i = 0; i < rows; ++i) total += tracked.referrers.GetItem(i).hits;
    for (unsigned long i = 0; i < rows; ++i) {
        const referinfo_t& item = tracked.referrers.GetItem(i);
        report->SetItem(i, 0, Text(item.text, item.length));
        report->SetItem(i, 1, Signed(item.hits));
        report->SetItemPercentage(i, 2, Signed(item.hits), Signed(total));
    }
    return report;
}

// Links `reports` as a sibling chain under `parent`.
void AdoptChain(CReport& parent, std::vector<std::unique_ptr<CReport>> reports) {
    CReport* last = nullptr;
    for (auto& report : reports) {
        CReport* next = report.release();
        if (last)
            last->SetSibling(next);
        else
            parent.SetChild(next);
        last = next;
    }
}

}  // namespace

std::unique_ptr<CFolderReport> BuildTrackedFileFolder(tracked_file_t& tracked,
                                                      const run_counters_t& totals) {
    using namespace report_catalogue;
    const std::string& pattern = tracked.name;
    auto folder = std::make_unique<CFolderReport>();
    folder->SetReportName(pattern.c_str());
    folder->SetDescription("Statistics of the tracked file " + pattern + ".");

    std::vector<std::unique_ptr<CReport>> reports;
    auto hits = BuildDayReport(kTrackedHitsPerDay, &tracked.hitsPerDay, false, totals.totalHits);
    Personalize(*hits, kTrackedHitsPerDay, pattern);
    auto bytes =
        BuildDayReport(kTrackedBandwidthPerDay, &tracked.hitsPerDay, true, totals.totalBytes);
    Personalize(*bytes, kTrackedBandwidthPerDay, pattern);
    auto referrers = BuildTrackedReferrers(tracked);
    Personalize(*referrers, kTrackedReferrers, pattern);
    auto queries = BuildQueryStringReport(kTrackedQueryStrings, &tracked.queryStrings);
    queries->SetReportID(pattern + kTrackedQueryStrings.id);
    reports.push_back(std::move(hits));
    reports.push_back(std::move(bytes));
    reports.push_back(std::move(referrers));
    reports.push_back(std::move(queries));
    AdoptChain(*folder, std::move(reports));
    return folder;
}

std::unique_ptr<CFolderReport> BuildTrackedFiles(const report_sources_t& sources) {
    auto folder = std::make_unique<CFolderReport>();
    folder->SetReportName("Tracked Files");
    folder->SetDescription(kTrackedFilesDescription);
    if (!sources.tables) return folder;
    std::vector<std::unique_ptr<CReport>> files;
    for (auto& tracked : sources.tables->trackedFiles)
        files.push_back(BuildTrackedFileFolder(*tracked, sources.tables->counters));
    AdoptChain(*folder, std::move(files));
    return folder;
}
