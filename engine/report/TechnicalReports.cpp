#include "engine/report/TechnicalReports.h"

#include "engine/report/ReferrerReports.h"
#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"

using report_rows::Count;
using report_rows::Signed;
using report_rows::Text;

std::unique_ptr<CTableReport> BuildNotFound(const report_sources_t& sources) {
    const auto* errors = sources.tables ? &sources.tables->notFoundErrors : nullptr;
    const unsigned long rows = Count(errors);
    auto report = NewTableReport(report_catalogue::kNotFound, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const error_info_t& item = errors->GetItem(i);
        report->SetItem(i, 0, Text(item.url, item.length));
        report->SetItem(i, 1, Signed(item.hits));
    }
    return report;
}

std::unique_ptr<CNestedTableReport> BuildNotFoundReferrers(const report_sources_t& sources) {
    CRunTables* t = sources.tables;
    return BuildReferrerNest(report_catalogue::kNotFoundReferrers,
                             t ? &t->notFoundReferrers : nullptr, nullptr, false);
}

std::unique_ptr<CTableReport> BuildMiscErrors(const report_sources_t& sources) {
    const auto* errors = sources.tables ? &sources.tables->otherErrors : nullptr;
    const unsigned long rows = Count(errors);
    auto report = NewTableReport(report_catalogue::kMiscErrors, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const error_info_t& item = errors->GetItem(i);
        const std::string url = Text(item.url, item.length);
        report->SetItem(i, 0, url);
        report->SetRealUrl(i, 0, report_rows::RealUrl(sources.siteDomain, url).c_str());
        report->SetItem(i, 1, static_cast<std::int64_t>(item.status));
        report->SetItem(i, 2, Signed(item.hits));
        report->SetItem(i, 3, CFormat::GetErrorExplanation(static_cast<int>(item.status)));
    }
    return report;
}
