#include "engine/geo/CountryPhase.h"

#include "engine/geo/IPToCountry.h"
#include "engine/hit/HitPhases.h"
#include "engine/run/AnalysisPhases.h"

country_lookup_t MakeCountryLookup(std::shared_ptr<CIPToCountry> database) {
    return [database = std::move(database)](std::string_view host, country_result_t& result) {
        database->FindIP(database->Convert(host));
        result.abbreviation = database->GetIPAbbrev();
        result.name = database->GetIPName();
    };
}

void InstallIpToCountry(analysis_phases_t& phases, CHitRunState& state) {
    phases.updateIpToCountry = [&state](analysis_context_t& context) {
        auto database = std::make_shared<CIPToCountry>();
        database->Fetch(context.settings);
        state.countryLookup = database->Load() ? MakeCountryLookup(database) : nullptr;
    };
}
