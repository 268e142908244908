#pragma once

#include <functional>
#include <string_view>

// The country of a client host, as the IP-to-country module answers it: abbreviation and
// display name, "Unknown" for both when the address is in no range. The views must stay valid
// for the rest of the run (the module's loaded database) or at least until the call returns
// (hit processing copies new keys at once).
struct country_result_t {
    std::string_view abbreviation;
    std::string_view name;
};

// Filled by the IP-to-country module after it has loaded its database; empty when there is
// none, and hit processing then falls back to the domain suffix of resolved host names.
using country_lookup_t = std::function<void(std::string_view host, country_result_t& result)>;
