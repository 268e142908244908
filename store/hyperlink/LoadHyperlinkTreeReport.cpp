#include "store/hyperlink/LoadHyperlinkTreeReport.h"

#include "store/format/Format.h"
#include "store/report/NumberText.h"
#include "utility/Markup.h"

namespace {

std::uint32_t TagColour(const std::string& type) {
    if (type == "REFERRER") return 0xC8F064;
    if (type == "ANYPAGE") return 0xD0D0D0;
    return 0x64BE64;
}

}  // namespace

CLoadHyperlinkTreeReport::CLoadHyperlinkTreeReport() = default;

CLoadHyperlinkTreeReport::~CLoadHyperlinkTreeReport() = default;

CLoadHyperlinkTreeReport::CPage* CLoadHyperlinkTreeReport::GetPageData(const char* name) {
    if (!name) return nullptr;
    const auto it = m_pages.find(name);
    return it == m_pages.end() ? nullptr : &it->second;
}

bool CLoadHyperlinkTreeReport::LoadXML(CMarkup& markup) {
    m_pages.clear();
    m_tagTotals.clear();
    m_pageCounts.clear();
    m_reportName = markup.GetAttrib("Name");
    SetReportIconType(markup.GetAttrib("IconType"));
    SetReportID(markup.GetAttrib("ReportID"));
    SetReportClass(markup.GetAttrib("ReportClass"));
    SetHelpFile(markup.GetAttrib("HelpFile"));
    m_escapedPageNames = markup.GetAttrib("PageNames") != "exact";
    markup.IntoElem();
    if (markup.FindElem("DATA")) LoadData(markup);
    if (markup.FindElem("LINKS")) LoadLinks(markup);
    markup.OutOfElem();
    m_tagTotals.clear();
    m_pageCounts.clear();
    return true;
}

void CLoadHyperlinkTreeReport::LoadData(CMarkup& markup) {
    while (markup.FindChildElem()) {
        const std::string tag = markup.GetChildTagName();
        if (tag == "TAGTOTAL") {
            m_tagTotals[markup.GetChildAttrib("Name")] =
                report_text::ParseInt64(markup.GetChildData());
        } else if (tag == "PAGE") {
            page_counts_t& counts = m_pageCounts[markup.GetChildData()];
            counts.singleAccesses =
                report_text::ParseInt32(markup.GetChildAttrib("NumSingleAccess"));
            counts.siteExits = report_text::ParseInt32(markup.GetChildAttrib("NumSiteExit"));
            counts.siteEntries = report_text::ParseInt32(markup.GetChildAttrib("NumSiteEntry"));
        }
    }
}

CLoadHyperlinkTreeReport::page_counts_t CLoadHyperlinkTreeReport::CountsOf(
    const std::string& name) const {
    const auto it = m_pageCounts.find(name);
    return it == m_pageCounts.end() ? page_counts_t{} : it->second;
}

void CLoadHyperlinkTreeReport::LoadLinks(CMarkup& markup) {
    markup.IntoElem();
    while (markup.FindElem("PAGE")) LoadPage(markup);
    markup.OutOfElem();
}

void CLoadHyperlinkTreeReport::LoadPage(CMarkup& markup) {
    CPage page;
    page.name = markup.GetAttrib("Name");
    // Writers that do not mark their names exact escaped this one name; such a page is
    // known by its real name, under which its counts stand.
    if (m_escapedPageNames && !m_pageCounts.count(page.name)) {
        std::string unescaped = CFormat::unhtmlescape(page.name.c_str());
        if (unescaped != page.name && m_pageCounts.count(unescaped))
            page.name = std::move(unescaped);
    }
    page.type = ConvertStringToPageType(markup.GetAttrib("PageType"));
    page.counts = CountsOf(page.name);
    while (markup.FindChildElem("LINK")) {
        link_t link;
        link.name = markup.GetChildAttrib("Name");
        link.type = ConvertStringToPageType(markup.GetChildAttrib("PageType"));
        link.linkHits = report_text::ParseInt64(markup.GetChildAttrib("LinkHits"));
        link.totalHits = report_text::ParseInt64(markup.GetChildAttrib("TotalHits"));
        link.counts = CountsOf(link.name);
        const std::string linkType = markup.GetChildAttrib("LinkType");
        markup.IntoElem();
        LoadTags(markup, link);
        markup.OutOfElem();
        if (linkType == "CHILD") {
            page.childTotal += link.linkHits;
            std::string key = link.name;
            page.children.insert_or_assign(std::move(key), std::move(link));
        } else if (linkType == "PARENT") {
            if (link.type != page_type_t::ENTRY) page.parentTotal += link.linkHits;
            std::string key = link.name;
            page.parents.insert_or_assign(std::move(key), std::move(link));
        }
    }
    std::string key = page.name;
    m_pages.insert_or_assign(std::move(key), std::move(page));
}

void CLoadHyperlinkTreeReport::LoadTags(CMarkup& markup, link_t& link) const {
    while (markup.FindChildElem("TAG")) {
        const std::string name = markup.GetChildAttrib("Name");
        const auto total = m_tagTotals.find(name);
        if (total == m_tagTotals.end() || total->second == 0) continue;
        double percentage =
            double(report_text::ParseInt64(markup.GetChildData())) * 100.0 / double(total->second);
        if (percentage < 0) continue;
        if (percentage > 100) percentage = 100;
        if (percentage <= 1) continue;
        const std::string type = markup.GetChildAttrib("Type");
        link.tags.push_back(
            {name, percentage, TagColour(type), CTagInformation::ConvertStringToTriggerType(type)});
    }
}
