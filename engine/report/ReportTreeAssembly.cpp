#include "engine/report/ReportTreeAssembly.h"

#include <functional>
#include <memory>

#include "engine/api/LogvaneEngine.h"
#include "engine/hit/HitPhases.h"
#include "engine/report/AccessReports.h"
#include "engine/report/GeneralStatistics.h"
#include "engine/report/HyperlinkTreeBuilder.h"
#include "engine/report/ReferrerReports.h"
#include "engine/report/ReportRows.h"
#include "engine/report/ReportSources.h"
#include "engine/report/ResolverHostNames.h"
#include "engine/report/TechnicalReports.h"
#include "engine/report/TrackedFileReports.h"
#include "engine/report/VisitorReports.h"
#include "engine/run/AnalysisPhases.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"
#include "store/project/ProjectDescription.h"
#include "store/project/ProjectInformation.h"
#include "store/report/FolderReport.h"
#include "store/report/ReportTree.h"
#include "utility/Progress.h"

const char* const kNoCookieDataError =
    "A session cookie was specified, however no cookie data was found in the logfile";

namespace {

// Builds the tree with CReportTree's cursor: Add appends at the current level, Folder adds a
// folder and its contents one level down.
class CTreeWriter {
public:
    explicit CTreeWriter(CReportTree& tree) : m_tree(tree) {}

    template <class Report>
    void Add(std::unique_ptr<Report> report) {
        CReport* raw = report.release();
        if (m_enterNext)
            m_tree.AddReportAsChild(raw);
        else
            m_tree.AddReport(raw);
        m_enterNext = false;
    }

    void Folder(const char* name, const char* description,
                const std::function<void()>& contents = {}) {
        auto folder = std::make_unique<CFolderReport>();
        folder->SetReportName(name);
        folder->SetDescription(description);
        Add(std::move(folder));
        if (!contents) return;
        m_enterNext = true;
        contents();
        if (!m_enterNext) m_tree.Ascend();
        m_enterNext = false;
    }

private:
    CReportTree& m_tree;
    bool m_enterNext = false;  // the next report is the first child of the current folder
};

void AddAccessStatistics(CTreeWriter& w, const report_sources_t& s) {
    w.Folder("Page Types",
             "How the site's traffic divides among pages, images, downloadable files and "
             "other web content, by hits and by data sent.",
             [&] {
                 w.Add(BuildPageTypesHits(s));
                 w.Add(BuildPageTypesBandwidth(s));
             });
    w.Folder("Most Popular Resources",
             "The pages, files, images, other web content and directories visitors asked for "
             "most often.",
             [&] {
                 for (int i = 0; i < kMostLeastReports / 2; ++i) w.Add(BuildMostLeastReport(s, i));
             });
    w.Folder("Least Popular Resources",
             "The pages, files, images, other web content and directories visitors asked for "
             "least often.",
             [&] {
                 for (int i = kMostLeastReports / 2; i < kMostLeastReports; ++i)
                     w.Add(BuildMostLeastReport(s, i));
             });
    w.Add(BuildHitsPerDay(s));
    w.Add(BuildBandwidthPerDay(s));
    w.Add(BuildPageViewsPerDay(s));
    w.Add(BuildVisitorsPerDay(s));
    w.Add(BuildDayOfWeek(s));
    w.Add(BuildHours(s));
    auto queries = BuildQueryStrings(s);
    queries->SetReportID("QS");
    queries->SetReportClass("QS");
    w.Add(std::move(queries));
}

void AddReferrerInformation(CTreeWriter& w, const report_sources_t& s) {
    w.Add(BuildReferrerOrigin(s));
    w.Add(BuildReferringDomain(s));
    w.Add(BuildReferringPages(s));
    w.Add(BuildPageReferrers(s));
    w.Add(BuildSearchEngines(s));
    w.Add(BuildSearchKeywords(s));
    w.Add(BuildSearchPhrases(s));
}

bool SaveTree(const CReportTree& tree, const std::string& output) {
    CProgress::SetPercentageDone(0);
    CProgress::SetText(PROGRESS_PREPARING, "Initializing");
    if (tree.SaveXML(output.c_str())) return true;
    CProgress::AddError("Could not write the report file \"" + output + "\"", "");
    return false;
}

void Export(const CProjectInformation& project, const std::string& output) {
    const CExportInformation& exportInformation = project.GetExportInformation();
    if (!exportInformation.GetIsExport()) return;
    CProgress::SetPercentageDone(0);
    CProgress::SetText(PROGRESS_PREPARING_TREE, "Initializing");
    if (exportInformation.GetExportType() == CExportInformation::CSV)
        LogvaneExportToCSV(output.c_str(), exportInformation);
    else
        LogvaneExportToHTML(output.c_str(), exportInformation);
}

}  // namespace

void BuildReportTree(const report_sources_t& s, CReportTree& tree) {
    CTreeWriter w(tree);
    w.Add(BuildGeneralStatistics(s));
    w.Add(BuildHyperlinkTree(s));
    w.Folder("Visitor Information",
             "Who the visitors were: their host names and countries, the browsers, operating "
             "systems and search engine spiders they used, and the users who logged in.",
             [&] {
                 w.Add(BuildDomainName(s));
                 w.Add(BuildGeographicalLocation(s));
                 w.Add(BuildWebBrowsers(s));
                 w.Add(BuildOperatingSystems(s));
                 w.Add(BuildSpiders(s));
                 w.Add(BuildAuthenticatedUsers(s));
             });
    w.Folder("Access Statistics",
             "What visitors asked for and when: page types, the most and least requested "
             "resources, traffic per day, weekday and hour, and query strings.",
             [&] { AddAccessStatistics(w, s); });
    w.Folder("Site \"Stickiness\"",
             "How well the site holds its visitors: how long they stay and how many pages they "
             "view on one visit.");
    w.Folder("Referrer Information",
             "How visitors found the site: the kinds of links they followed, the referring sites "
             "and pages, and the search engines, keywords and phrases that brought them.",
             [&] { AddReferrerInformation(w, s); });
    w.Folder("Technical Information",
             "Requests that went wrong: missing pages with the links that point to them, and "
             "other server errors.",
             [&] {
                 w.Add(BuildNotFound(s));
                 w.Add(BuildNotFoundReferrers(s));
                 w.Add(BuildMiscErrors(s));
             });
    w.Folder("Scenario Analysis",
             "How visitors moved through the paths (scenarios) defined in the project.");
    w.Add(BuildTrackedFiles(s));
}

bool AssembleReportTree(const CProjectInformation& project, const report_sources_t& sources,
                        int cookieData, const std::string& output, bool save, std::time_t now) {
    CProjectDescription description;
    description.SetCreationDate(
        CFormat::FormatCTime(report_rows::LocalClock(now), "%B %d, %Y %I:%M %p"));
    description.SetSiteDomainName(project.GetSiteDomain());
    description.SetProjectName(project.GetProjectName());
    if (!project.GetCookieID().empty() && cookieData == 0)
        CProgress::AddError(kNoCookieDataError, "General/Cookies.htm");

    CReportTree tree;
    tree.SetProjectDescription(description);
    BuildReportTree(sources, tree);
    const bool saved = !save || SaveTree(tree, output);
    Export(project, output);
    return saved;
}

bool AssembleRunReportTree(analysis_context_t& context, const std::string& output, bool save,
                           CHitRunState* hits, const report_host_names_factory_t& hostNames) {
    report_sources_t sources;
    sources.tables = context.tables;
    sources.siteDomain = context.snapshot.siteDomain;
    sources.tags = &context.project.GetTagInformation();
    sources.lookups = context.snapshot.lookups;
    sources.fullLookups = context.snapshot.fullLookups;
    sources.startTime = context.snapshot.startTime;
    if (hits) {
        sources.browsers = hits->browsers.get();
        sources.oses = hits->oses.get();
        sources.spiders = hits->spiders.get();
        sources.suffixes = &hits->suffixes;
        if (hits->sessions) sources.hyperlinks = &hits->sessions->GetHyperlinks();
    }
    std::unique_ptr<CReportHostNames> names;
    if (hostNames && sources.lookups && !sources.fullLookups) names = hostNames(context);
    sources.hostNames = names.get();
    return AssembleReportTree(context.project, sources, context.cookieData, output, save,
                              std::time(nullptr));
}

void InstallReportBuilding(analysis_phases_t& phases, CHitRunState& hits,
                           report_host_names_factory_t hostNames) {
    if (!hostNames) {
        hostNames = [](const analysis_context_t& context) -> std::unique_ptr<CReportHostNames> {
            return std::make_unique<CResolverHostNames>(MakeResolverSettings(context.settings));
        };
    }
    phases.assembleReportTree = [state = &hits, names = std::move(hostNames)](
                                    analysis_context_t& context, const std::string& output,
                                    bool save) {
        return AssembleRunReportTree(context, output, save, state, names);
    };
}
