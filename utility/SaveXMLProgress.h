#pragma once

#include <string>

#include "utility/UtilityApi.h"

// Reports progress while a report tree is written: constructed with the number of reports
// about to be saved, told the name of each report as it is written. Percentages and texts go
// to the progress record under the "preparing the report tree" stage.
class LOGVANE_UTILITY_API CSaveXMLProgress {
public:
    explicit CSaveXMLProgress(int reportCount);

    void InReport(const std::string& reportName);

    int GetReportsDone() const { return m_done; }

private:
    int m_count;
    int m_done = 0;
};
