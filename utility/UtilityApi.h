#pragma once

// Names of the utility library seen by the other layers. The library is shared so that the
// process holds exactly one progress record, whoever links it.
#define LOGVANE_UTILITY_API __attribute__((visibility("default")))
