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
    phases.parseFiles = [](const std::vector<scan_file_t>& files, const scan_options_t& options,
                           CHitConsumer& consumer, std::uint64_t* accepted) {
        return ParseAllFiles(files, options, consumer, accepted);
    };
    phases.assembleReportTree = SaveReportTree;
    InstallHitProcessing(phases, HitRunState());
    return phases;
}
