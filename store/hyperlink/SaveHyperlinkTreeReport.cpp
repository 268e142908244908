#include "store/hyperlink/SaveHyperlinkTreeReport.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/filter/TagInformation.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

// Page counts are written as 32-bit numbers; larger ones are capped rather than wrapped.
std::string CountText(std::int64_t count) {
    if (count <= 0) return "0";
    return std::to_string(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
}

std::int64_t SumOfHits(const CEntryRange<hyperlink_link_view_t>* table) {
    std::int64_t sum = 0;
    if (table) table->ForEach([&sum](const hyperlink_link_view_t& link) { sum += link.hits; });
    return sum;
}

}  // namespace

CSaveHyperlinkTreeReport::CSaveHyperlinkTreeReport(
    std::int64_t runTotal, std::unique_ptr<PageRange> links, const CTagInformation* tags,
    const std::int64_t* tagTotals, std::unique_ptr<CountRange> singleAccess,
    std::unique_ptr<CountRange> siteEntry, std::unique_ptr<CountRange> siteExit)
    : m_tags(tags),
      m_links(std::move(links)),
      m_singleAccess(std::move(singleAccess)),
      m_siteEntry(std::move(siteEntry)),
      m_siteExit(std::move(siteExit)),
      m_runTotal(runTotal),
      m_tagTotals(tagTotals) {
    SetHelpFile("Reports/Main-HyperlinkTreeview.htm");
}

CSaveHyperlinkTreeReport::~CSaveHyperlinkTreeReport() = default;

void CSaveHyperlinkTreeReport::ReadTriggers() {
    m_triggers.clear();
    const int count = m_tags ? m_tags->GetNumTriggers() : 0;
    for (int i = 0; i < count; ++i) {
        const CTagInformation::CTriggerInformation trigger = m_tags->GetTriggerInfo(i);
        m_triggers.push_back({trigger.GetName(), CTagInformation::ConvertTriggerTypeToString(
                                                     trigger.GetTriggerType())});
    }
}

void CSaveHyperlinkTreeReport::SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool) {
    progress.InReport(GetReportName());
    ReadTriggers();
    markup.AddElem("HYPERLINKTREEREPORT");
    markup.SetAttrib("Name", m_reportName);
    markup.SetAttrib("IconType", GetReportIconType());
    markup.SetAttrib("ReportID", GetReportID());
    markup.SetAttrib("ReportClass", GetReportClass());
    markup.SetAttrib("Version", 1);
    markup.SetAttrib("HelpFile", GetHelpFile());
    // Tells readers that no page name in this element is escaped.
    markup.SetAttrib("PageNames", "exact");
    SaveData(markup);
    SaveLinks(markup);
}

void CSaveHyperlinkTreeReport::SaveData(CMarkup& markup) {
    markup.AddChildElem("DATA");
    markup.IntoElem();
    for (std::size_t i = 0; i < m_triggers.size(); ++i) {
        markup.AddChildElem("TAGTOTAL", std::to_string(m_tagTotals ? m_tagTotals[i] : 0));
        markup.SetChildAttrib("Name", m_triggers[i].name);
    }
    // Pages in order of first sight, so the same tables always give the same file.
    std::vector<std::pair<std::string_view, PageCounts>> pages;
    std::unordered_map<std::string_view, std::size_t> index;
    auto collect = [&](const CountRange* table, std::int64_t PageCounts::*field) {
        if (!table) return;
        table->ForEach([&](const page_count_view_t& entry) {
            auto [it, added] = index.try_emplace(entry.name, pages.size());
            if (added) pages.emplace_back(entry.name, PageCounts{});
            pages[it->second].second.*field = entry.count > 0 ? entry.count : 0;
        });
    };
    collect(m_singleAccess.get(), &PageCounts::singleAccess);
    collect(m_siteEntry.get(), &PageCounts::siteEntry);
    collect(m_siteExit.get(), &PageCounts::siteExit);
    for (const auto& [name, counts] : pages) {
        markup.AddChildElem("PAGE", std::string(name));
        markup.SetChildAttrib("NumSingleAccess", CountText(counts.singleAccess));
        markup.SetChildAttrib("NumSiteExit", CountText(counts.siteExit));
        markup.SetChildAttrib("NumSiteEntry", CountText(counts.siteEntry));
    }
    markup.OutOfElem();
}

void CSaveHyperlinkTreeReport::SaveLinks(CMarkup& markup) {
    markup.AddChildElem("LINKS");
    markup.IntoElem();
    if (m_links) {
        m_links->ForEach([&](const hyperlink_page_view_t& page) {
            markup.AddChildElem("PAGE");
            markup.SetChildAttrib("Name", std::string(page.name));
            markup.SetChildAttrib("PageType", ConvertPageTypeToString(page.type));
            const std::int64_t childSum = SumOfHits(page.children);
            const std::int64_t parentSum = SumOfHits(page.parents);
            markup.IntoElem();
            OutputChildHash(markup, "CHILD", page.children, childSum);
            OutputChildHash(markup, "PARENT", page.parents, parentSum);
            markup.OutOfElem();
        });
    }
    markup.OutOfElem();
}

void CSaveHyperlinkTreeReport::OutputChildHash(CMarkup& markup, const char* linkType,
                                               const LinkRange* table, std::int64_t total) {
    if (!table) return;
    const std::string totalText = std::to_string(total);
    table->ForEach([&](const hyperlink_link_view_t& link) {
        markup.AddChildElem("LINK");
        markup.SetChildAttrib("Name", std::string(link.name));
        markup.SetChildAttrib("LinkHits", std::to_string(link.hits));
        markup.SetChildAttrib("TotalHits", totalText);
        markup.SetChildAttrib("PageType", ConvertPageTypeToString(link.type));
        markup.SetChildAttrib("LinkType", linkType);
        if (!link.tagCounts) return;
        markup.IntoElem();
        for (std::size_t i = 0; i < m_triggers.size(); ++i) {
            if (link.tagCounts[i] == 0) continue;
            markup.AddChildElem("TAG", std::to_string(link.tagCounts[i]));
            markup.SetChildAttrib("Name", m_triggers[i].name);
            markup.SetChildAttrib("Type", m_triggers[i].type);
        }
        markup.OutOfElem();
    });
}
