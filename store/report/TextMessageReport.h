#pragma once

#include <string>

#include "store/StoreApi.h"
#include "store/report/Report.h"

// A page of text in the report tree (for example "no data for this report").
class LOGVANE_STORE_API CTextMessageReport : public CReport {
public:
    CTextMessageReport() = default;
    ~CTextMessageReport() override = default;

    report_t GetReportType() const override { return TEXT_MESSAGE; }
    const std::string& GetReportName() const override { return m_reportName; }
    // Always "TEXTPAGE".
    std::string GetReportIconType() const override { return "TEXTPAGE"; }
    bool LoadXML(CMarkup& markup) override;

    virtual void SetReportName(const char* name) { m_reportName = name ? name : ""; }
    void SetMessage(const std::string& message) { m_message = message; }
    const std::string& GetMessage() const { return m_message; }

protected:
    void SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) override;
    // Reads the MESSAGE child (unescaped) of the element at the main position.
    void LoadMessage(CMarkup& markup);

private:
    std::string m_message;
    std::string m_reportName;
};
