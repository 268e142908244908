#pragma once

#include <atomic>
#include <memory>
#include <span>

#include "engine/EngineApi.h"
#include "engine/filter/FilterEvaluation.h"
#include "engine/hit/CountryLookup.h"
#include "engine/hit/HitProcessor.h"
#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "engine/run/AnalysisPhases.h"
#include "engine/scan/Scanner.h"
#include "engine/session/VisitorSessions.h"
#include "store/ident/GenericInformation.h"

// What hit processing keeps between the phases of a run: the identification tables, the
// compiled filters and the visitor sessions (released at the next run's start or at
// LogvaneKill), and the domain-suffix table (from LogvaneInitialize to LogvaneKill). The
// report builders read the match counts, the suffixes and the hyperlink table after the run.
class LOGVANE_ENGINE_API CHitRunState {
public:
    std::unique_ptr<CFastFileTypeIdentification> fileTypes;
    std::unique_ptr<CBrowserIdentification> browsers;
    std::unique_ptr<CSpiderIdentification> spiders;
    std::unique_ptr<COSIdentification> oses;
    // The spider file once more, as plain keywords for QUICKFILTER_SPIDERS filters.
    std::unique_ptr<CGenericInformation> spiderKeywords;
    std::unique_ptr<CSearchEngineIdentification> searchEngines;
    std::unique_ptr<CFilterEvaluator> filters;
    // Visitor sessions and the hyperlink table of the run; the tag tracker.
    std::unique_ptr<CVisitorSessions> sessions;
    CDomainSuffixTable suffixes;
    // The IP-to-country module installs its lookup here after loading its database (in its
    // updateIpToCountry phase); empty means countries by domain suffix.
    country_lookup_t countryLookup;

    // Drops everything of the last run; the suffix table stays.
    void ReleaseRun();
    // The classifiers for a hit processor over this state.
    hit_classifiers_t Classifiers() const;
};

// The engine's one hit-processing state, from LogvaneInitialize to LogvaneKill.
LOGVANE_ENGINE_API CHitRunState& HitRunState();

// Receives the scanner's hits and runs them through hit processing: each batch is prepared on
// the parsing thread as it is filled, and counted here. Host-name resolution subclasses it,
// overriding ResolveBatch, and prepares nothing ahead (hosts change after parsing).
class LOGVANE_ENGINE_API CHitProcessingConsumer : public CHitConsumer {
public:
    CHitProcessingConsumer(analysis_context_t& context, CHitRunState& state);
    ~CHitProcessingConsumer() override;
    void PrepareBatch(std::span<hit_t> batch) override;
    void ProcessHit(hit_t* hit) override;
    // Counts a batch of the visits kept for the sessions.
    bool HelpWhileWaiting() override { return m_processor.CountWaitingVisits(); }
    CHitProcessor& GetProcessor() { return m_processor; }

private:
    // The preparations of the hits of one of the scanner's batches, found by its address.
    struct batch_preparations_t {
        std::atomic<const hit_t*> batch{nullptr};
        std::unique_ptr<prepared_hit_t[]> hits;
    };
    // The scanner fills a few batches in turn; more are prepared when counted.
    static constexpr int kPreparedBatches = 8;
    prepared_hit_t* FindPreparation(const hit_t* hit);

    // How far ahead counting starts loading a hit's facts records, then their entries, then
    // the child tables those name.
    static constexpr int kPreparationAhead = 16;
    static constexpr int kRecordsAhead = 8;
    static constexpr int kEntriesAhead = 4;
    static constexpr int kTablesAhead = 2;

    batch_preparations_t m_prepared[kPreparedBatches];
    const prepared_hit_t* m_batchEnd = nullptr;  // end of the preparations of the last hit found
    CHitProcessor m_processor;
};

// Hit processing's options from the run snapshot and the settings.
LOGVANE_ENGINE_API hit_options_t MakeHitOptions(const analysis_context_t& context);

// Fills the phases hit processing owns (identification, tag tracker, filters, the hit
// consumer, closing sessions, the suffix table) over `state`, keeping any release step
// already installed.
LOGVANE_ENGINE_API void InstallHitProcessing(analysis_phases_t& phases, CHitRunState& state);
