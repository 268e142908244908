#include "engine/report/GeneralStatistics.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"

namespace {

constexpr std::int64_t kDaySeconds = 86400;

std::string Fixed2(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// "count (share%)" of all hits; "0 (0%)" when there are none.
std::string CountWithShare(std::uint64_t count, std::uint64_t hits) {
    if (hits == 0) return "0 (0%)";
    char text[96];
    std::snprintf(text, sizeof text, "%llu (%.2f%%)", static_cast<unsigned long long>(count),
                  static_cast<double>(count) * 100.0 / static_cast<double>(hits));
    return text;
}

std::string Size(std::uint64_t bytes) {
    return CFormat::GetDriveSizeStr(report_rows::Signed(bytes));
}

bool HasDatedHits(const run_counters_t& c) {
    return c.earliestHit != INT32_MAX && c.earliestHit <= c.latestHit;
}

std::string TimePeriod(const run_counters_t& c) {
    if (!HasDatedHits(c)) return "No dated hits";
    const char* format = "%B %d, %Y, %I:%M:%S %p";
    return CFormat::FormatCTime(c.earliestHit, format) + " to " +
           CFormat::FormatCTime(c.latestHit, format);
}

// The run's start as the local clock showed it: log times are local, and FormatCTime shows a
// time as it stands.
std::string GeneratedOn(std::int32_t startTime) {
    return CFormat::FormatCTime(report_rows::LocalClock(startTime), "%B %d, %Y at %I:%M:%S %p");
}

}  // namespace

std::int64_t LogSpanDays(const run_counters_t& c) {
    if (!HasDatedHits(c)) return 1;
    const std::int64_t span = static_cast<std::int64_t>(c.latestHit) - c.earliestHit;
    return 1 + span / kDaySeconds;
}

std::unique_ptr<CTableReport> BuildGeneralStatistics(const run_counters_t& c,
                                                     std::int32_t startTime) {
    auto report = NewTableReport(report_catalogue::kGeneralStatistics, 18);
    const std::int64_t days = LogSpanDays(c);
    const auto hits = static_cast<double>(c.totalHits);
    const auto sessions = static_cast<double>(c.sessions);
    const auto perDay = static_cast<std::uint64_t>(days);

    report->SetItem(0, "Hits", std::to_string(c.totalHits));
    report->SetItem(1, "Total Data Transferred", Size(c.totalBytes));
    report->SetItem(2, "Total Visiting Users", std::to_string(c.sessions));
    report->SetItem(3, "Time Period", TimePeriod(c));
    report->SetItem(4, "Average Hits per User", Fixed2(c.sessions ? hits / sessions : 0.0));
    report->SetItem(5, "Average Users per Day", Fixed2(sessions / static_cast<double>(days)));
    report->SetItem(6, "Average Data Transferred per Day", Size(c.totalBytes / perDay));
    report->SetItem(7, "Hits cached by Client", CountWithShare(c.cachedHits, c.totalHits));
    report->SetItem(8, "Report generated on", GeneratedOn(startTime));
    report->SetItem(9, "Incomplete downloads/file requests",
                    CountWithShare(c.incompleteHits, c.totalHits));
    report->SetItem(10, "Log spans a period of",
                    days == 1 ? std::string("1 day") : std::to_string(days) + " days");
    report->SetItem(11, "Total failed requests", CountWithShare(c.notFoundHits, c.totalHits));
    report->SetItem(12, "Average Data Transferred per User",
                    c.sessions ? Size(c.totalBytes / c.sessions) : std::string("0 bytes"));
    report->SetItem(13, "Average Hits per Day", Fixed2(hits / static_cast<double>(days)));
    report->SetItem(14, "Average Data Transferred per Hit",
                    c.totalHits ? Size(c.totalBytes / c.totalHits) : std::string("0 bytes"));
    report->SetItem(15, "Hits on Pages", std::to_string(c.pageHits));
    report->SetItem(16, "Hits on Files", std::to_string(c.fileHits));
    report->SetItem(17, "Hits for Graphics", std::to_string(c.imageHits + c.miscWebHits));
    return report;
}

std::unique_ptr<CTableReport> BuildGeneralStatistics(const report_sources_t& sources) {
    static const run_counters_t kNone;
    return BuildGeneralStatistics(sources.tables ? sources.tables->counters : kNone,
                                  sources.startTime);
}
