#pragma once

#include <cstddef>
#include <cstdint>

#include "utility/UtilityApi.h"

// Seeded 32-bit hash of `length` bytes. The counting tables call it with seed 0 for the first
// probe and with the previous result for each further probe, so a different seed must give
// an unrelated value. Values are never stored: the function may change between versions.
extern "C" LOGVANE_UTILITY_API uint32_t memcrc(const void* data, size_t length, uint32_t seed);
