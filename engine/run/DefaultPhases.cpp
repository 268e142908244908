#include "engine/dns/ResolvingConsumer.h"
#include "engine/geo/CountryPhase.h"
#include "engine/hit/HitPhases.h"
#include "engine/remote/RetrievalPhase.h"
#include "engine/report/ReportTreeAssembly.h"
#include "engine/run/AnalysisPhases.h"

analysis_phases_t MakeDefaultPhases() {
    analysis_phases_t phases;
    phases.parseFiles = [](const std::vector<scan_file_t>& files, const scan_options_t& options,
                           CHitConsumer& consumer, std::uint64_t* accepted) {
        return ParseAllFiles(files, options, consumer, accepted);
    };
    InstallReportBuilding(phases, HitRunState());
    InstallHitProcessing(phases, HitRunState());
    InstallRemoteRetrieval(phases);
    InstallIpToCountry(phases, HitRunState());
    InstallHostResolution(phases, HitRunState());
    return phases;
}
