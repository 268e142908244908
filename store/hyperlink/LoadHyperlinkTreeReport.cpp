#include "store/hyperlink/LoadHyperlinkTreeReport.h"

#include "store/format/Format.h"
#include "store/report/NumberText.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

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
    m_tagOrder.clear();
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
    return true;
}

void CLoadHyperlinkTreeReport::LoadData(CMarkup& markup) {
    while (markup.FindChildElem()) {
        const std::string tag = markup.GetChildTagName();
        if (tag == "TAGTOTAL") {
            const std::string name = markup.GetChildAttrib("Name");
            if (!m_tagTotals.count(name)) m_tagOrder.push_back(name);
            m_tagTotals[name] = report_text::ParseInt64(markup.GetChildData());
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
        const std::string type = markup.GetChildAttrib("Type");
        const std::int64_t count = report_text::ParseInt64(markup.GetChildData());
        link.tagCounts.push_back({name, type, count});
        const auto total = m_tagTotals.find(name);
        if (total == m_tagTotals.end() || total->second == 0) continue;
        double percentage = double(count) * 100.0 / double(total->second);
        if (percentage < 0) continue;
        if (percentage > 100) percentage = 100;
        if (percentage <= 1) continue;
        link.tags.push_back(
            {name, percentage, TagColour(type), CTagInformation::ConvertStringToTriggerType(type)});
    }
}

void CLoadHyperlinkTreeReport::SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool) {
    progress.InReport(GetReportName());
    markup.AddElem("HYPERLINKTREEREPORT");
    markup.SetAttrib("Name", m_reportName);
    markup.SetAttrib("IconType", CReport::GetReportIconType());
    markup.SetAttrib("ReportID", "HTVIEW");
    markup.SetAttrib("ReportClass", "HTVIEW");
    markup.SetAttrib("Version", 1);
    markup.SetAttrib("HelpFile", GetHelpFile());
    if (!m_escapedPageNames) markup.SetAttrib("PageNames", "exact");
    markup.AddChildElem("DATA");
    markup.IntoElem();
    for (const std::string& name : m_tagOrder) {
        markup.AddChildElem("TAGTOTAL", std::to_string(m_tagTotals.at(name)));
        markup.SetChildAttrib("Name", name);
    }
    for (const auto& [name, counts] : m_pageCounts) {
        markup.AddChildElem("PAGE", name);
        markup.SetChildAttrib("NumSingleAccess", std::to_string(counts.singleAccesses));
        markup.SetChildAttrib("NumSiteExit", std::to_string(counts.siteExits));
        markup.SetChildAttrib("NumSiteEntry", std::to_string(counts.siteEntries));
    }
    markup.OutOfElem();
    markup.AddChildElem("LINKS");
    markup.IntoElem();
    for (const auto& [name, page] : m_pages) {
        markup.AddChildElem("PAGE");
        markup.SetChildAttrib("Name", name);
        markup.SetChildAttrib("PageType", ConvertPageTypeToString(page.type));
        markup.IntoElem();
        SaveLinks(markup, page.children, "CHILD");
        SaveLinks(markup, page.parents, "PARENT");
        markup.OutOfElem();
    }
    markup.OutOfElem();
}

void CLoadHyperlinkTreeReport::SaveLinks(CMarkup& markup,
                                         const std::map<std::string, link_t>& links,
                                         const char* linkType) const {
    for (const auto& [name, link] : links) {
        markup.AddChildElem("LINK");
        markup.SetChildAttrib("Name", name);
        markup.SetChildAttrib("LinkHits", std::to_string(link.linkHits));
        markup.SetChildAttrib("TotalHits", std::to_string(link.totalHits));
        markup.SetChildAttrib("PageType", ConvertPageTypeToString(link.type));
        markup.SetChildAttrib("LinkType", linkType);
        if (link.tagCounts.empty()) continue;
        markup.IntoElem();
        for (const tag_count_t& tag : link.tagCounts) {
            markup.AddChildElem("TAG", std::to_string(tag.count));
            markup.SetChildAttrib("Name", tag.name);
            markup.SetChildAttrib("Type", tag.type);
        }
        markup.OutOfElem();
    }
}
