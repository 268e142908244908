#pragma once

#include "engine/EngineApi.h"

class CReportTree;

// The report catalogue as a tree of every report without rows (tables keep their columns,
// charts and descriptions), with the hyperlink tree and an empty "Tracked Files" folder, and
// an empty project description.
LOGVANE_ENGINE_API void BuildReportTemplate(CReportTree& tree);
// Writes that tree as a report file; false when the file cannot be written.
LOGVANE_ENGINE_API bool WriteReportTemplate(const char* path);
