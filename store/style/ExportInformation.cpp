#include "store/style/ExportInformation.h"

#include "store/filter/XmlValue.h"
#include "store/settings/SettingsFolder.h"
#include "store/style/Styles.h"
#include "utility/Markup.h"

using logvane::xml::EqualNoCase;

namespace {

const char* MethodText(CExportInformation::export_t type) {
    switch (type) {
        case CExportInformation::LOCAL:
            return "LOCAL";
        case CExportInformation::FTP:
            return "FTP";
        case CExportInformation::CSV:
            return "CSV";
        default:
            return nullptr;
    }
}

const char* YesNo(bool on) { return on ? "YES" : "NO"; }

}  // namespace

bool CExportInformation::IsWritten() const {
    return m_isExport && MethodText(m_exportType) != nullptr;
}

CExportInformation::export_t CExportInformation::ConvertStringToExportType(
    const std::string& text) {
    if (text == "FTP") return FTP;
    if (text == "CSV") return CSV;
    return LOCAL;
}

void CExportInformation::LoadNamedStyle(const std::string& name) {
    CStyles styles;
    styles.LoadXML(GetSettingsFile("styles").c_str());
    for (int i = 0; i < styles.GetNumStyles(); ++i) {
        if (EqualNoCase(styles.GetStyle(i)->GetName(), name)) {
            m_style = *styles.GetStyle(i);
            return;
        }
    }
}

// Main position on OUTPUT. Children are scanned forward in the written order. Returns whether
// OUTPUT holds IMAGES.
bool CExportInformation::ReadOutput(CMarkup& markup) {
    m_isExport = true;
    m_exportType = ConvertStringToExportType(markup.GetAttrib("Method"));
    m_exportDefault = markup.GetAttrib("Default") == "YES";
    m_pdf = markup.GetAttrib("PDF") == "YES" ? 1 : 0;
    LoadNamedStyle(markup.GetAttrib("Style"));

    m_exportPath = markup.FindChildElem("LOCALPATH") ? markup.GetChildData() : "";
    if (m_exportType == FTP) {
        m_ftpSite = markup.FindChildElem("SERVERNAME") ? markup.GetChildData() : "";
        m_ftpUser = markup.FindChildElem("USERNAME") ? markup.GetChildData() : "";
        m_ftpPassword = markup.FindChildElem("PASSWORD") ? markup.GetChildData() : "";
        m_ftpPath = markup.FindChildElem("FTPPATH") ? markup.GetChildData() : "";
        m_ftpPort =
            markup.FindChildElem("PORTNUM") ? logvane::xml::ToInt(markup.GetChildData()) : 21;
    }
    // IMAGES is written last inside OUTPUT; looked for from the start so its place among the
    // other children does not matter.
    markup.ResetChildPos();
    if (!markup.FindChildElem("IMAGES")) return false;
    m_includeImages = !EqualNoCase(markup.GetChildData(), "NO");
    return true;
}

bool CExportInformation::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "EXPORT") return false;
    m_includeImages = true;
    markup.ResetChildPos();
    if (!markup.FindChildElem("OUTPUT")) {
        m_isExport = false;
        return true;
    }
    markup.IntoElem();
    const bool imagesInside = ReadOutput(markup);
    markup.OutOfElem();
    // Older readers looked for IMAGES beside OUTPUT; a file that has it there still counts.
    if (!imagesInside && markup.FindChildElem("IMAGES"))
        m_includeImages = !EqualNoCase(markup.GetChildData(), "NO");
    return true;
}

bool CExportInformation::SaveXML(CMarkup& markup) const {
    if (!IsWritten()) return true;
    markup.IntoElem();
    markup.AddElem("EXPORT");
    markup.AddChildElem("OUTPUT");
    markup.IntoElem();
    markup.SetAttrib("Default", YesNo(m_exportDefault));
    markup.SetAttrib("PDF", YesNo(m_pdf != 0));
    markup.SetAttrib("Style", m_style.GetName());
    markup.SetAttrib("Method", MethodText(m_exportType));
    if (m_exportType == FTP) {
        markup.AddChildElem("SERVERNAME", m_ftpSite);
        markup.AddChildElem("USERNAME", m_ftpUser);
        markup.AddChildElem("PASSWORD", m_ftpPassword);
        markup.AddChildElem("FTPPATH", m_ftpPath);
        markup.AddChildElem("PORTNUM", m_ftpPort);
    } else {
        markup.AddChildElem("LOCALPATH", m_exportPath);
    }
    markup.AddChildElem("IMAGES", YesNo(m_includeImages));
    markup.OutOfElem();
    markup.OutOfElem();
    return true;
}
