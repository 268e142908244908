#pragma once

#include <memory>

#include "engine/EngineApi.h"
#include "engine/hit/CountryLookup.h"

class CHitRunState;
class CIPToCountry;
struct analysis_phases_t;

// The per-hit country lookup over a loaded database: Convert, FindIP, then the abbreviation
// and name of the range ("Unknown" for both outside every range and for host names). The views
// it hands out point into the database, which the function keeps alive.
LOGVANE_ENGINE_API country_lookup_t MakeCountryLookup(std::shared_ptr<CIPToCountry> database);

// Installs the run's IP-to-country step: a new database component per run, brought up to date
// (Fetch, through the settings' proxy) and loaded; when it loads, hit processing's
// countryLookup answers from it, otherwise countries come from domain suffixes.
LOGVANE_ENGINE_API void InstallIpToCountry(analysis_phases_t& phases, CHitRunState& state);
