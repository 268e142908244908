#include "store/style/Style.h"

#include <algorithm>

#include "store/filter/XmlValue.h"

using logvane::xml::EqualNoCase;
using logvane::xml::ToInt;

const char* const CStyle::kColorStyleIDs[CStyle::kNumColorStyles] = {
    "ReportName", "ReportList", "Table1", "Table2", "TableHeader", "Description", "ReportLinks"};

namespace {

// Colours are written as signed decimal numbers.
int ColorNumber(std::uint32_t color) { return static_cast<int>(color); }
std::uint32_t ColorOf(const std::string& text) { return static_cast<std::uint32_t>(ToInt(text)); }

}  // namespace

CStyle::CStyle() { m_colors[kReportLinks] = CColorStyle("Arial", 9, 0xC08874, 0xFFFFFF); }

CStyle::CStyle(CMarkup& markup) : CStyle() { Load(markup); }

void CStyle::AddReport(const std::string& reportID) {
    if (!reportID.empty()) m_reports.push_back(reportID);
}

int CStyle::FindReport(const std::string& reportID) const {
    auto it = std::find(m_reports.begin(), m_reports.end(), reportID);
    return it == m_reports.end() ? -1 : static_cast<int>(it - m_reports.begin());
}

std::string CStyle::GetReport(int i) const {
    return ReportExists(i) ? m_reports[static_cast<size_t>(i)] : std::string();
}

void CStyle::RemoveReport(int i) {
    if (ReportExists(i)) m_reports.erase(m_reports.begin() + i);
}

void CStyle::AllocateReports(int n) { m_reports.resize(n > 0 ? static_cast<size_t>(n) : 0); }

void CStyle::AddColorStyle(const std::string& id, const CColorStyle& style) {
    if (CColorStyle* slot = GetColorStyle(id)) *slot = style;
}

CColorStyle* CStyle::GetColorStyle(const std::string& id) {
    for (int i = 0; i < kNumColorStyles; ++i)
        if (EqualNoCase(id, kColorStyleIDs[i])) return &m_colors[i];
    return nullptr;
}

CStyle::style_t CStyle::EnumStyleType(const std::string& text) {
    return EqualNoCase(text, "advanced") ? advanced : basic;
}

std::string CStyle::StringifyType(style_t type) { return type == advanced ? "advanced" : "basic"; }

CMarkup CStyle::Save() const {
    CMarkup markup;
    SaveXML(markup);
    return markup;
}

void CStyle::SaveXML(CMarkup& markup) const {
    markup.AddElem("STYLE");
    markup.SetAttrib("type", StringifyType(m_type));
    markup.SetAttrib("name", m_name);
    markup.AddChildElem("BACKGROUND", ColorNumber(m_background));
    markup.AddChildElem("CSSFILE", m_cssFile);
    markup.AddChildElem("HEADERFILE", m_headerFile);
    markup.AddChildElem("FOOTERFILE", m_footerFile);
    for (int i = 0; i < kNumColorStyles; ++i) {
        const CColorStyle& c = m_colors[i];
        markup.AddChildElem("COLORSTYLE");
        markup.SetChildAttrib("ID", kColorStyleIDs[i]);
        markup.SetChildAttrib("fontname", c.GetFontName());
        markup.SetChildAttrib("size", c.GetSize());
        markup.SetChildAttrib("bold", c.GetBold() ? 1 : 0);
        markup.SetChildAttrib("italic", c.GetItalic() ? 1 : 0);
        markup.SetChildAttrib("fontcolor", ColorNumber(c.GetFontColor()));
        markup.SetChildAttrib("bgcolor", ColorNumber(c.GetBgColor()));
    }
    for (const std::string& report : m_reports) markup.AddChildElem("REPORT", report);
}

void CStyle::Load(CMarkup& markup) {
    if (markup.GetTagName() != "STYLE") return;
    m_type = EnumStyleType(markup.GetAttrib("type"));
    m_name = markup.GetAttrib("name");
    markup.ResetChildPos();
    while (markup.FindChildElem()) {
        const std::string tag = markup.GetChildTagName();
        if (tag == "BACKGROUND") {
            m_background = ColorOf(markup.GetChildData());
        } else if (tag == "CSSFILE") {
            m_cssFile = markup.GetChildData();
        } else if (tag == "HEADERFILE") {
            m_headerFile = markup.GetChildData();
        } else if (tag == "FOOTERFILE") {
            m_footerFile = markup.GetChildData();
        } else if (tag == "COLORSTYLE") {
            AddColorStyle(
                markup.GetChildAttrib("ID"),
                CColorStyle(markup.GetChildAttrib("fontname"), ToInt(markup.GetChildAttrib("size")),
                            ColorOf(markup.GetChildAttrib("fontcolor")),
                            ColorOf(markup.GetChildAttrib("bgcolor")),
                            ToInt(markup.GetChildAttrib("bold")) != 0,
                            ToInt(markup.GetChildAttrib("italic")) != 0));
        } else if (tag == "REPORT") {
            const std::string report = markup.GetChildData();
            if (FindReport(report) < 0) AddReport(report);
        }
    }
}
