#pragma once

#include <span>

#include "engine/EngineApi.h"
#include "engine/dns/HostResolver.h"
#include "engine/hit/HitPhases.h"

// Hit processing with full host-name lookups: the workers run from the first batch of the run
// to the last, and every batch is resolved before its hits are processed. The cache lives as
// long as the consumer, so an address is looked up once per run.
class LOGVANE_ENGINE_API CResolvingConsumer : public CHitProcessingConsumer {
public:
    CResolvingConsumer(analysis_context_t& context, CHitRunState& state,
                       const resolver_settings_t& settings,
                       host_lookup_t lookup = SystemHostLookup);
    // Stops the workers, waiting for lookups in progress.
    ~CResolvingConsumer() override;

    void ResolveBatch(std::span<hit_t> batch) override;
    // Hosts are rewritten by ResolveBatch, after parsing: nothing can be prepared ahead.
    void PrepareBatch(std::span<hit_t>) override {}
    CHostResolver& GetResolver() { return m_resolver; }

private:
    CHostResolver m_resolver;
};

// Makes phases.makeHitConsumer hand out a CResolvingConsumer (looking up with `lookup`) when
// the run's lookups are on and full (a global DOMAIN filter included); other runs keep the
// consumer phases.makeHitConsumer gave before, or plain hit processing.
LOGVANE_ENGINE_API void InstallHostResolution(analysis_phases_t& phases, CHitRunState& state,
                                              host_lookup_t lookup = SystemHostLookup);
