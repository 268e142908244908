#pragma once

#include <string_view>

#include "engine/parse/ParseContext.h"

// Builds the column map from a "#Fields:" line (from the directive to the line end, without
// CR or LF). Tokens after the directive, split at spaces and tabs, take columns 0, 1, ...; a
// recognised name records its column for its role (a later duplicate wins).
void MapW3CFields(std::string_view fieldsLine, w3c_columns_t& columns);

// A column map with no columns at all, as before the first "#Fields:" line.
void ClearW3CFields(w3c_columns_t& columns);

// The role of a W3C field name, or -1 when the name has none. Matching is case-sensitive.
int W3CRoleOf(std::string_view name);
