#include "store/report/FolderReport.h"

#include "store/format/Format.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

void CFolderReport::SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) {
    markup.AddElem("FOLDER");
    markup.SetAttrib("Name", m_folderName);
    markup.SetAttrib("IconType", GetReportIconType());
    markup.SetAttrib("ReportID", GetReportID());
    markup.SetAttrib("ReportClass", GetReportClass());
    markup.AddChildElem("MESSAGE", CFormat::htmlescape(GetMessage().c_str()));
    markup.AddChildElem("DESCRIPTION", m_description);
    progress.InReport(GetReportName());
    if (!withChildren || !GetChild()) return;
    markup.IntoElem();
    GetChild()->SaveXML(progress, markup, true);
    markup.OutOfElem();
}

bool CFolderReport::LoadXML(CMarkup& markup) {
    m_folderName = markup.GetAttrib("Name");
    CReport::SetReportID(markup.GetAttrib("ReportID"));
    CReport::SetReportClass(markup.GetAttrib("ReportClass"));
    // Leaves the child position on the last of MESSAGE and DESCRIPTION: the folder's reports
    // are read from there on.
    LoadMessage(markup);
    m_description.clear();
    if (markup.FindChildElem("DESCRIPTION")) m_description = markup.GetChildData();
    return true;
}
