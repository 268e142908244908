#pragma once

#include <string_view>

#include "engine/parse/HitRecord.h"
#include "engine/parse/ParseContext.h"

// Session cookie extraction from a cookie field: a list of segments separated by ";", where a
// segment after ";" begins after one following byte equal to skipA or skipB (such as a space).
// A segment matches when it begins with the session cookie name directly followed by "=";
// the value runs to the segment end. The last matching segment wins; without one the hit's
// cookie stays as it was (the parsers clear it first).
void ExtractSessionCookie(std::string_view field, char skipA, char skipB,
                          const parse_context_t& context, hit_t& hit);
