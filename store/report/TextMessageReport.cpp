#include "store/report/TextMessageReport.h"

#include "store/format/Format.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

void CTextMessageReport::SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool) {
    markup.AddElem("TEXTMESSAGE");
    markup.SetAttrib("Name", GetReportName());
    markup.SetAttrib("IconType", GetReportIconType());
    markup.SetAttrib("ReportID", GetReportID());
    markup.SetAttrib("ReportClass", GetReportClass());
    markup.AddChildElem("MESSAGE", CFormat::htmlescape(m_message.c_str()));
    progress.InReport(GetReportName());
}

bool CTextMessageReport::LoadXML(CMarkup& markup) {
    m_reportName = markup.GetAttrib("Name");
    SetReportID(markup.GetAttrib("ReportID"));
    SetReportClass(markup.GetAttrib("ReportClass"));
    LoadMessage(markup);
    return true;
}

void CTextMessageReport::LoadMessage(CMarkup& markup) {
    markup.ResetChildPos();
    m_message.clear();
    if (markup.FindChildElem("MESSAGE"))
        m_message = CFormat::unhtmlescape(markup.GetChildData().c_str());
}
