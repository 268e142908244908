#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/filter/TagInformation.h"
#include "store/hyperlink/PageType.h"
#include "store/report/Report.h"

// The hyperlink tree as read from a report file: for every page, the pages visitors came from
// (parents) and went to (children), with hits and tag shares, and how often the page was a
// site entry, site exit or single-access page.
class LOGVANE_STORE_API CLoadHyperlinkTreeReport : public CReport {
public:
    // The share of the visitors on a link who also matched a tag.
    struct tag_share_t {
        std::string name;
        double percentage = 0;     // above 1, at most 100
        std::uint32_t colour = 0;  // 0x00BBGGRR
        CTagInformation::tag_trigger_t type = CTagInformation::ANYPAGE;
    };

    // Entry, exit and single-access counts of a page; 0 when the file has none for it.
    struct page_counts_t {
        std::int64_t siteExits = 0;
        std::int64_t siteEntries = 0;
        std::int64_t singleAccesses = 0;
    };

    // A TAG element as stored: the trigger, its type text and the visitors counted.
    struct tag_count_t {
        std::string name;
        std::string type;
        std::int64_t count = 0;
    };

    // One entry of a page's parents or children.
    struct link_t {
        std::vector<tag_share_t> tags;
        std::vector<tag_count_t> tagCounts;  // as stored, for writing the tree again
        std::string name;                    // the linked page
        page_type_t type = page_type_t::NOTHING;
        std::int64_t linkHits = 0;
        std::int64_t totalHits = 0;  // hits of all links of this kind of the owning page
        page_counts_t counts;        // the linked page's counts
    };

    // One page of the tree.
    class LOGVANE_STORE_API CPage {
    public:
        std::map<std::string, link_t> parents;
        std::map<std::string, link_t> children;
        std::string name;
        page_type_t type = page_type_t::NOTHING;
        page_counts_t counts;
        std::int64_t parentTotal = 0;  // link hits of the parents, ENTRY pseudo-pages excluded
        std::int64_t childTotal = 0;   // link hits of the children
    };

    CLoadHyperlinkTreeReport();
    ~CLoadHyperlinkTreeReport() override;

    report_t GetReportType() const override { return HYPERLINK_TREE; }
    const std::string& GetReportName() const override { return m_reportName; }
    std::string GetReportIconType() const override { return "HYPERLINKTREEVIEW"; }
    std::string GetReportID() const override { return "HTVIEW"; }
    std::string GetReportClass() const override { return "HTVIEW"; }
    // Main position on HYPERLINKTREEREPORT. Missing parts leave pages without counts or links.
    bool LoadXML(CMarkup& markup) override;
    // Called before the report is dropped; nothing to do here.
    virtual void FinalDelete() {}

    // Null when no page of that name is in the file.
    CPage* GetPageData(const char* name);
    const std::map<std::string, CPage>& GetPages() const { return m_pages; }

    static page_type_t ConvertStringToPageType(const std::string& text) {
        return ::ConvertStringToPageType(text);
    }

protected:
    // Writes the tree back as it was read (pages and links in name order), so that a loaded
    // report file saved again keeps its hyperlink tree.
    void SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) override;

private:
    void LoadData(CMarkup& markup);
    void LoadLinks(CMarkup& markup);
    void LoadPage(CMarkup& markup);
    void LoadTags(CMarkup& markup, link_t& link) const;
    page_counts_t CountsOf(const std::string& name) const;
    void SaveLinks(CMarkup& markup, const std::map<std::string, link_t>& links,
                   const char* linkType) const;

    std::string m_reportName;
    std::map<std::string, CPage> m_pages;
    std::map<std::string, std::int64_t> m_tagTotals;
    std::vector<std::string> m_tagOrder;  // tag names in file order
    std::map<std::string, page_counts_t> m_pageCounts;
    bool m_escapedPageNames = false;  // LINKS page names may be HTML-escaped (older files)
};
