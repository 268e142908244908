#pragma once

#include <string>

#include "store/StoreApi.h"
#include "store/report/TextMessageReport.h"

// A folder that groups the reports below it (its child chain). Its ID and class are derived
// from its name: a folder named "General" is "FOLDERGeneral".
class LOGVANE_STORE_API CFolderReport : public CTextMessageReport {
public:
    CFolderReport() = default;
    ~CFolderReport() override = default;

    report_t GetReportType() const override { return FOLDER; }
    const std::string& GetReportName() const override { return m_folderName; }
    std::string GetReportIconType() const override { return "FOLDER"; }
    std::string GetReportID() const override { return "FOLDER" + m_folderName; }
    std::string GetReportClass() const override { return "FOLDER" + m_folderName; }
    std::string GetDescription() const override { return m_description; }
    // Reads the folder's own attributes, MESSAGE and DESCRIPTION; the reports inside the
    // element are read by the tree.
    bool LoadXML(CMarkup& markup) override;

    // Sets the folder name.
    void SetReportName(const char* name) override { m_folderName = name ? name : ""; }
    void SetDescription(const std::string& description) { m_description = description; }

protected:
    // With `withChildren`, writes the child chain inside the folder's element.
    void SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) override;

private:
    std::string m_folderName;
    std::string m_description;
};
