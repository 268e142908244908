#pragma once

#include <memory>
#include <string>

#include "store/StoreApi.h"

class CMarkup;
class CProjectDescription;
class CReport;

// The tree of reports of one analysis and the project it describes; read from and written to
// report files (root element "REPORTS"). Owns every report in it.
class LOGVANE_STORE_API CReportTree {
public:
    CReportTree();
    CReportTree(const CReportTree&) = delete;
    CReportTree& operator=(const CReportTree&) = delete;
    ~CReportTree();

    // Takes ownership of `report`: the root when the tree is empty, else the next sibling of
    // the current report. `report` becomes current.
    void AddReport(CReport* report);
    // Takes ownership of `report` as the child of the current report; it becomes current.
    // With no current report it is added as by AddReport.
    void AddReportAsChild(CReport* report);
    // Makes the current report's parent current, then the last report of that parent's level.
    // At the top level the last top-level report becomes current.
    void Ascend();

    // First report, depth-first in document order, whose GetReportID() equals `id` exactly;
    // null when none does.
    CReport* FindByReportID(const char* id) const;
    // As FindByReportID, starting at `start` and covering its following siblings.
    static CReport* InternalFindByReportID(CReport* start, const char* id);

    CReport* GetRoot() const { return m_root; }
    // Takes ownership of `root` (deleting the tree held before); the current report is reset
    // to the last top-level report.
    void SetRoot(CReport* root);
    // Deletes all reports; the tree is then empty with no current report.
    void Clear();

    void SetProjectDescription(const CProjectDescription& description);
    const CProjectDescription& GetProjectDescription() const { return *m_project; }
    std::string GetSiteDomainName() const;
    std::string GetSiteProjectName() const;
    std::string GetCreationDate() const;

    // Writes the report file through a temporary file renamed over `path`. An empty tree
    // writes a REPORTS element with no reports. False when the file cannot be written.
    bool SaveXML(const char* path) const;
    // Clears, then reads the report file. A missing, unreadable or malformed file leaves the
    // tree empty (false); a file with damaged reports loads what can be read (true).
    bool LoadXML(const char* path);
    // Reads the reports of the level at `markup`'s current position (after its main
    // position) and returns the first, linked as a sibling chain; null when there is none.
    CReport* RecursiveLoadXML(CMarkup& markup);

private:
    CReport* LoadLevel(CMarkup& markup, int depth, CReport* parent);

    CReport* m_root = nullptr;
    CReport* m_current = nullptr;
    std::unique_ptr<CProjectDescription> m_project;
};
