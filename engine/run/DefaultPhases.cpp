#include <ctime>

#include "engine/hit/HitPhases.h"
#include "engine/run/AnalysisPhases.h"
#include "engine/table/RunTables.h"
#include "store/format/Format.h"
#include "store/project/ProjectDescription.h"
#include "store/project/ProjectInformation.h"
#include "store/report/ReportTree.h"
#include "utility/Progress.h"

namespace {

// Counts the run-wide totals of every accepted hit. Stands in until full hit processing
// takes over the seam; it counts no visits, so a run through it ends with the "all
// excluded" error rather than an empty report.
class CTotalsConsumer : public CHitConsumer {
public:
    explicit CTotalsConsumer(analysis_context_t& context)
        : m_counters(context.tables->counters), m_cookieData(context.cookieData) {}

    void ProcessHit(hit_t* hit) override {
        ++m_counters.totalHits;
        if (hit->bytes > 0) m_counters.totalBytes += static_cast<uint64_t>(hit->bytes);
        if (hit->time > 0 && hit->time < m_counters.earliestHit) m_counters.earliestHit = hit->time;
        if (hit->time > m_counters.latestHit) m_counters.latestHit = hit->time;
        if (hit->cookiePresent) m_cookieData = 1;
    }

private:
    run_counters_t& m_counters;
    int& m_cookieData;
};

// Writes the report file with the project's description; the reports themselves come with
// the report catalogue.
void SaveReportTree(analysis_context_t& context, const std::string& output, bool save) {
    CProjectDescription description;
    description.SetCreationDate(
        CFormat::FormatCTime(static_cast<long>(std::time(nullptr)), "%B %d, %Y %I:%M %p"));
    description.SetSiteDomainName(context.project.GetSiteDomain());
    description.SetProjectName(context.project.GetProjectName());
    CReportTree tree;
    tree.SetProjectDescription(description);
    if (save) {
        CProgress::SetPercentageDone(0);
        CProgress::SetText(PROGRESS_PREPARING, "Initializing");
        tree.SaveXML(output.c_str());
    }
    if (context.project.GetExportInformation().GetIsExport()) {
        CProgress::SetPercentageDone(0);
        CProgress::SetText(PROGRESS_PREPARING_TREE, "Initializing");
    }
}

}  // namespace

analysis_phases_t MakeDefaultPhases() {
    analysis_phases_t phases;
    phases.makeHitConsumer = [](analysis_context_t& context) -> std::unique_ptr<CHitConsumer> {
        return std::make_unique<CTotalsConsumer>(context);
    };
    phases.parseFiles = [](const std::vector<scan_file_t>& files, const scan_options_t& options,
                           CHitConsumer& consumer, std::uint64_t* accepted) {
        return ParseAllFiles(files, options, consumer, accepted);
    };
    phases.assembleReportTree = SaveReportTree;
    InstallHitProcessing(phases, HitRunState());
    return phases;
}
