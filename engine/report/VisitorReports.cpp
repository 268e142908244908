#include "engine/report/VisitorReports.h"

#include <string>
#include <vector>

#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"
#include "utility/Progress.h"

using report_rows::Count;
using report_rows::Signed;
using report_rows::Text;

namespace {

// Resolves the listed hosts; names[i] stays empty for a host left as counted.
void ResolveHosts(const CFastHashTable<host_info_t>& hosts, CReportHostNames& resolver,
                  std::vector<std::string>& names) {
    const std::uint32_t rows = hosts.GetItemCount();
    resolver.Start();
    bool cancelled = false;
    for (std::uint32_t i = 0; i < rows && !cancelled; ++i) {
        CProgress::SetPercentageDone(static_cast<int>(std::uint64_t(i) * 100 / rows));
        cancelled = CProgress::ShouldCancel();
        if (!cancelled) {
            const host_info_t& host = hosts.GetItem(i);
            resolver.Queue(i, std::string_view(host.host, host.length));
        }
    }
    if (!cancelled) resolver.Wait();
    for (std::uint32_t i = 0; i < rows; ++i) {
        const host_info_t& host = hosts.GetItem(i);
        names[i] = resolver.GetName(i, std::string_view(host.host, host.length));
    }
    resolver.Stop();
}

}  // namespace

std::unique_ptr<CTableReport> BuildDomainName(const report_sources_t& sources) {
    const auto* hosts = sources.tables ? &sources.tables->hosts : nullptr;
    const unsigned long rows = Count(hosts);
    auto report = NewTableReport(report_catalogue::kDomainName, rows);
    std::vector<std::string> names(rows);
    if (rows && sources.lookups && !sources.fullLookups && sources.hostNames)
        ResolveHosts(*hosts, *sources.hostNames, names);
    for (unsigned long i = 0; i < rows; ++i) {
        const host_info_t& host = hosts->GetItem(i);
        report->SetItem(i, 0, names[i].empty() ? Text(host.host, host.length) : names[i]);
        report->SetItem(i, 1, Signed(host.hits));
        report->SetItem(i, 2, Signed(host.bytes));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildGeographicalLocation(const report_sources_t& sources) {
    const auto* countries = sources.tables ? &sources.tables->countries : nullptr;
    const unsigned long rows = Count(countries);
    auto report = NewTableReport(report_catalogue::kGeographicalLocation, rows);
    const std::uint64_t total = sources.tables ? sources.tables->counters.totalHits : 0;
    for (unsigned long i = 0; i < rows; ++i) {
        const country_info_t& country = countries->GetItem(i);
        std::string name = Text(country.name, country.nameLength);
        const std::string_view suffixCountry =
            sources.suffixes ? sources.suffixes->Lookup(name) : std::string_view();
        if (!suffixCountry.empty()) name = std::string(suffixCountry) + " (" + name + ")";
        report->SetItem(i, 0, name);
        report->SetItem(i, 1, Signed(country.hits));
        report->SetItem(i, 2, CFormat::MakePercentage(Signed(country.hits), Signed(total)));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildIdentityReport(const report_spec_t& spec,
                                                  const CGenericIdentification* list) {
    std::vector<int> matched;
    std::uint64_t total = 0;
    for (int i = 0; list && i < list->GetNum(); ++i) {
        if (list->GetNumMatches(i) == 0) continue;
        matched.push_back(i);
        total += list->GetNumMatches(i);
    }
    auto report = NewTableReport(spec, matched.size());
    for (unsigned long row = 0; row < matched.size(); ++row) {
        const std::uint64_t hits = list->GetNumMatches(matched[row]);
        report->SetItem(row, 0, list->GetName(matched[row]));
        report->SetItem(row, 1, Signed(hits));
        report->SetItemPercentage(row, 2, Signed(hits), Signed(total));
    }
    return report;
}

std::unique_ptr<CTableReport> BuildWebBrowsers(const report_sources_t& sources) {
    return BuildIdentityReport(report_catalogue::kWebBrowsers, sources.browsers);
}

std::unique_ptr<CTableReport> BuildOperatingSystems(const report_sources_t& sources) {
    return BuildIdentityReport(report_catalogue::kOperatingSystems, sources.oses);
}

std::unique_ptr<CTableReport> BuildSpiders(const report_sources_t& sources) {
    return BuildIdentityReport(report_catalogue::kSpiders, sources.spiders);
}

std::unique_ptr<CTableReport> BuildAuthenticatedUsers(const report_sources_t& sources) {
    const auto* users = sources.tables ? &sources.tables->users : nullptr;
    const unsigned long rows = Count(users);
    auto report = NewTableReport(report_catalogue::kAuthenticatedUsers, rows);
    for (unsigned long i = 0; i < rows; ++i) {
        const user_info_t& user = users->GetItem(i);
        report->SetItem(i, 0, Text(user.name, user.length));
        report->SetItem(i, 1, Signed(user.hits));
        report->SetItem(i, 2, Signed(user.sessions));
        report->SetItem(i, 3, Signed(user.bytes));
    }
    return report;
}
