#include "engine/dns/ResolvingConsumer.h"

CResolvingConsumer::CResolvingConsumer(analysis_context_t& context, CHitRunState& state,
                                       const resolver_settings_t& settings, host_lookup_t lookup)
    : CHitProcessingConsumer(context, state), m_resolver(std::move(lookup)) {
    m_resolver.Start(settings);
}

CResolvingConsumer::~CResolvingConsumer() { m_resolver.Stop(); }

void CResolvingConsumer::ResolveBatch(std::span<hit_t> batch) { m_resolver.ResolveBatch(batch); }

void InstallHostResolution(analysis_phases_t& phases, CHitRunState& state, host_lookup_t lookup) {
    auto plain = phases.makeHitConsumer;
    phases.makeHitConsumer = [plain, &state, lookup = std::move(lookup)](
                                 analysis_context_t& context) -> std::unique_ptr<CHitConsumer> {
        if (context.snapshot.lookups && context.snapshot.fullLookups)
            return std::make_unique<CResolvingConsumer>(
                context, state, MakeResolverSettings(context.settings), lookup);
        if (plain) return plain(context);
        return std::make_unique<CHitProcessingConsumer>(context, state);
    };
}
