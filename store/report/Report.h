#pragma once

#include <string>

#include "store/StoreApi.h"

class CMarkup;
class CSaveXMLProgress;

// One node of the report tree: a table, nested table, hyperlink tree, folder or text page.
// A report owns its first child and its next sibling; deleting the first top-level report
// deletes the whole tree. The parent link is not owned.
class LOGVANE_STORE_API CReport {
public:
    enum report_t {
        TABLE = 0,
        NESTED_TABLE = 1,
        HYPERLINK_TREE = 2,
        FOLDER = 3,
        TEXT_MESSAGE = 4,
    };

    CReport() = default;
    CReport(const CReport&) = delete;
    CReport& operator=(const CReport&) = delete;
    // Deletes the child and sibling chains (iteratively, so long chains cannot exhaust the
    // stack).
    virtual ~CReport();

    virtual report_t GetReportType() const = 0;
    virtual const std::string& GetReportName() const = 0;
    virtual std::string GetReportIconType() const { return m_iconType; }
    virtual std::string GetReportID() const { return m_reportID; }
    virtual std::string GetReportClass() const { return m_reportClass; }
    virtual void SetReportIconType(const std::string& iconType) { m_iconType = iconType; }
    virtual void SetReportID(const std::string& id) { m_reportID = id; }
    virtual void SetReportClass(const std::string& reportClass) { m_reportClass = reportClass; }
    // Empty in the base.
    virtual std::string GetDescription() const { return {}; }
    // Adds this report's element after the current element of `markup`. With `all`, also
    // writes everything below it and then every following sibling with what lies below them.
    // The sibling chain is walked in a loop, so its length does not deepen the stack.
    virtual void SaveXML(CSaveXMLProgress& progress, CMarkup& markup, bool all);
    // Reads this report from the element at the main position of `markup`; missing parts take
    // their defaults. False only when the element cannot be this report at all.
    virtual bool LoadXML(CMarkup& markup) = 0;

    CReport* GetChild() const { return m_child; }
    CReport* GetSibling() const { return m_sibling; }
    CReport* GetParent() const { return m_parent; }
    // Takes ownership of `child` (may be null) and makes this report its parent. A child
    // stored before is not deleted: the caller keeps it.
    void SetChild(CReport* child);
    // Takes ownership of `sibling` (may be null) and gives it this report's parent.
    void SetSibling(CReport* sibling);
    void SetParent(CReport* parent) { m_parent = parent; }
    const std::string& GetHelpFile() const { return m_helpFile; }
    void SetHelpFile(const std::string& helpFile) { m_helpFile = helpFile; }

    // This report, everything below it, and every following sibling with everything below it.
    int GetCount() const;

protected:
    // Writes this one report's element after the current element (a folder with
    // `withChildren` also writes its child chain inside its element); siblings are not
    // written.
    virtual void SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) = 0;

private:
    CReport* m_child = nullptr;
    CReport* m_sibling = nullptr;
    CReport* m_parent = nullptr;
    std::string m_reportClass;
    std::string m_reportID;
    std::string m_iconType;
    std::string m_helpFile;
};
