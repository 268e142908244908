#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"

// Appends the link targets of an HTML page to `links` in page order: the HREF of every "<A"
// tag and the SRC of every "<FRAME " tag, tag and attribute names in any case. A value that is
// empty, ends with "/" (folders, the parent folder) or begins with "?" (sort links) is left out.
LOGVANE_ENGINE_API void ScanLinks(std::string_view page, std::vector<std::string>& links);
