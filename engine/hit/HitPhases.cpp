#include "engine/hit/HitPhases.h"

#include <ctime>

#include "engine/table/Prefetch.h"
#include "engine/table/RunTables.h"
#include "store/ident/FileTypeIdentification.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/Settings.h"

void CHitRunState::ReleaseRun() {
    sessions.reset();
    filters.reset();
    fileTypes.reset();
    browsers.reset();
    spiders.reset();
    oses.reset();
    spiderKeywords.reset();
    searchEngines.reset();
    countryLookup = nullptr;
}

hit_classifiers_t CHitRunState::Classifiers() const {
    hit_classifiers_t c;
    c.fileTypes = fileTypes.get();
    c.spiders = spiders.get();
    c.browsers = browsers.get();
    c.oses = oses.get();
    c.searchEngines = searchEngines.get();
    c.filters = filters.get();
    c.suffixes = &suffixes;
    c.countryLookup = &countryLookup;
    return c;
}

CHitRunState& HitRunState() {
    static CHitRunState state;
    return state;
}

hit_options_t MakeHitOptions(const analysis_context_t& context) {
    hit_options_t options;
    options.caseSensitive = context.snapshot.caseSensitive;
    options.hideQuestionMark = context.snapshot.doNotDisplayQuestionMark;
    options.hidePound = context.snapshot.doNotDisplayPound;
    options.ip2Country = context.settings.GetIp2Country();
    options.defaultPage = context.snapshot.defaultPage;
    options.siteDomain = context.snapshot.siteDomain;
    return options;
}

CHitProcessingConsumer::CHitProcessingConsumer(analysis_context_t& context, CHitRunState& state)
    : m_processor(*context.tables, state.sessions.get(), MakeHitOptions(context),
                  state.Classifiers(), &context.cookieData) {
    m_processor.DeferCounts(true);
}

CHitProcessingConsumer::~CHitProcessingConsumer() {
    // The sessions are closed after the scan, which ends with this consumer.
    m_processor.FlushDeferred();
    for (batch_preparations_t& prepared : m_prepared) {
        if (!prepared.hits) continue;
        for (int i = 0; i < kHitBatchSize; ++i) CHitProcessor::ReleasePreparation(prepared.hits[i]);
    }
}

void CHitProcessingConsumer::PrepareBatch(std::span<hit_t> batch) {
    batch_preparations_t* slot = nullptr;
    for (batch_preparations_t& prepared : m_prepared) {
        const hit_t* address = prepared.batch.load(std::memory_order_relaxed);
        if (address == batch.data()) {
            slot = &prepared;
            break;
        }
        if (!address && !slot) slot = &prepared;
    }
    // Batches beyond the ones remembered are prepared when counted.
    if (!slot || batch.size() > static_cast<std::size_t>(kHitBatchSize)) return;
    if (!slot->hits) {
        slot->hits = std::make_unique<prepared_hit_t[]>(kHitBatchSize);
        slot->batch.store(batch.data(), std::memory_order_release);
    }
    m_processor.PrepareBatch(batch, slot->hits.get());
}

prepared_hit_t* CHitProcessingConsumer::FindPreparation(const hit_t* hit) {
    for (batch_preparations_t& prepared : m_prepared) {
        const hit_t* batch = prepared.batch.load(std::memory_order_acquire);
        if (!batch) return nullptr;
        if (hit >= batch && hit < batch + kHitBatchSize) {
            m_batchEnd = prepared.hits.get() + kHitBatchSize;
            return &prepared.hits[hit - batch];
        }
    }
    return nullptr;
}

void CHitProcessingConsumer::ProcessHit(hit_t* hit) {
    prepared_hit_t* prep = FindPreparation(hit);
    if (!prep || !prep->ready) {
        m_processor.ProcessHit(*hit);
        return;
    }
    // Counting waits on memory far more than it computes: the records of the hits a few places
    // on, then what they remember, start loading while this one is counted.
    const std::ptrdiff_t left = m_batchEnd - prep - 1;
    if (left >= kPreparationAhead) {
        const hit_t& ahead = hit[kPreparationAhead];
        logvane::table::PrefetchLine(&prep[kPreparationAhead]);
        logvane::table::PrefetchLine(&prep[kPreparationAhead].pooledHost);
        logvane::table::PrefetchLine(&ahead);
        logvane::table::PrefetchLine(&ahead.cookieLen);
        logvane::table::PrefetchLine(&ahead.hostLen);
        logvane::table::PrefetchLine(&ahead.userLen);
        logvane::table::PrefetchLine(ahead.user);
        logvane::table::PrefetchLine(&ahead.bytes);
    }
    if (left >= kRecordsAhead)
        m_processor.PrefetchAhead(hit[kRecordsAhead], prep[kRecordsAhead], true);
    if (left >= kEntriesAhead)
        m_processor.PrefetchAhead(hit[kEntriesAhead], prep[kEntriesAhead], false);
    if (left >= kTablesAhead) m_processor.PrefetchQueryTables(prep[kTablesAhead]);
    m_processor.Count(*hit, *prep);
}

namespace {

void LoadIdentification(analysis_context_t& context, CHitRunState& state) {
    const identification_paths_t& paths = context.paths;
    CFileTypeIdentification types;
    types.LoadXML(paths.fileTypes.c_str());  // a missing file: every path is a page
    state.fileTypes = std::make_unique<CFastFileTypeIdentification>(types);
    state.browsers = std::make_unique<CBrowserIdentification>();
    state.browsers->LoadXML(paths.browser.c_str());
    state.spiders = std::make_unique<CSpiderIdentification>();
    state.spiders->LoadXML(paths.spider.c_str());
    state.spiderKeywords = std::make_unique<CGenericInformation>("SPIDER", "Spiders");
    state.spiderKeywords->LoadXML(paths.spider.c_str());
    state.oses = std::make_unique<COSIdentification>();
    state.oses->LoadXML(paths.os.c_str());
    state.searchEngines = std::make_unique<CSearchEngineIdentification>();
    state.searchEngines->LoadXML(paths.searchEngines.c_str());
}

// Every keyword of the spider list but those of its catch-all entry.
std::vector<std::string> SpiderKeywords(const CGenericInformation* spiders) {
    std::vector<std::string> keywords;
    if (!spiders) return keywords;
    for (int i = 0; i + 1 < spiders->GetNumElems(); ++i)
        for (int k = 0; k < spiders->GetNumKeywords(i); ++k)
            keywords.push_back(spiders->GetKeyword(i, k));
    return keywords;
}

void CompileFilters(analysis_context_t& context, CHitRunState& state) {
    const run_snapshot_t& s = context.snapshot;
    const CUrlNormalizer normalizer(s.doNotDisplayQuestionMark, s.doNotDisplayPound, s.defaultPage);
    filter_compile_options_t options;
    options.caseSensitive = s.caseSensitive;
    options.andInclude = s.andIncludeFilters;
    options.andExclude = s.andExcludeFilters;
    options.spiderKeywords = SpiderKeywords(state.spiderKeywords.get());
    options.normalizer = &normalizer;
    options.now = std::time(nullptr);
    state.filters = std::make_unique<CFilterEvaluator>();
    state.filters->CompileFilters(context.filters, options);
}

}  // namespace

void InstallHitProcessing(analysis_phases_t& phases, CHitRunState& state) {
    CHitRunState* s = &state;
    phases.releaseRun = [previous = phases.releaseRun, s] {
        if (previous) previous();
        s->ReleaseRun();
    };
    phases.loadIdentification = [s](analysis_context_t& c) { LoadIdentification(c, *s); };
    phases.createTagTracker = [s](analysis_context_t& c) {
        s->sessions = std::make_unique<CVisitorSessions>(*c.tables, c.project.GetTagInformation(),
                                                         c.snapshot.caseSensitive);
    };
    phases.compileFilters = [s](analysis_context_t& c) { CompileFilters(c, *s); };
    phases.makeHitConsumer = [s](analysis_context_t& c) -> std::unique_ptr<CHitConsumer> {
        return std::make_unique<CHitProcessingConsumer>(c, *s);
    };
    phases.closeSessions = [s](analysis_context_t&) {
        if (s->sessions) s->sessions->CloseAllSessions();
    };
    phases.loadSuffixData = [s](const std::string& path) { s->suffixes.LoadXML(path.c_str()); };
    phases.releaseSuffixData = [s] { s->suffixes.Clear(); };
}
