#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/StoreApi.h"
#include "store/hyperlink/HyperlinkTableView.h"
#include "store/hyperlink/PageType.h"
#include "store/report/Report.h"

class CTagInformation;

// Writes the HYPERLINKTREEREPORT element of a report file from the engine's counting tables:
// per page its entry, exit and single-access counts, and its child and parent links with hits
// and per-tag counts. Write-only: LoadXML reads nothing (files load as
// CLoadHyperlinkTreeReport). Page names are written exactly as they are in every place (and
// the element says so with PageNames="exact"), so a reader finds each page's counts by name
// whatever bytes the name holds.
class LOGVANE_STORE_API CSaveHyperlinkTreeReport : public CReport {
public:
    using PageRange = CEntryRange<hyperlink_page_view_t>;
    using LinkRange = CEntryRange<hyperlink_link_view_t>;
    using CountRange = CEntryRange<page_count_view_t>;

    // Owns the ranges; the tables behind them, `tags` and `tagTotals` (one per trigger of
    // `tags`) are not owned and must live until the report file is written. Writing a streamed
    // file walks `links` on a helper thread while the calling thread reads the other ranges, so
    // none of them may share state that a walk changes. Null ranges, tags or totals are read
    // as empty (or 0).
    CSaveHyperlinkTreeReport(std::int64_t runTotal, std::unique_ptr<PageRange> links,
                             const CTagInformation* tags, const std::int64_t* tagTotals,
                             std::unique_ptr<CountRange> singleAccess,
                             std::unique_ptr<CountRange> siteEntry,
                             std::unique_ptr<CountRange> siteExit);
    ~CSaveHyperlinkTreeReport() override;

    report_t GetReportType() const override { return HYPERLINK_TREE; }
    const std::string& GetReportName() const override { return m_reportName; }
    std::string GetReportIconType() const override { return "HTVIEW"; }
    std::string GetReportID() const override { return "HTVIEW"; }
    std::string GetReportClass() const override { return "HTVIEW"; }
    // Reads nothing.
    bool LoadXML(CMarkup&) override { return true; }

    std::int64_t GetRunTotal() const { return m_runTotal; }

    // Pages and links per batch of the LINKS element that the two threads writing a report
    // file print in turn (at least 1). Small batches let tests cross many batch boundaries.
    void SetLinkBatchSize(std::size_t links) { m_batchLinks = links > 0 ? links : 1; }

    static std::string ConvertPageTypeToString(page_type_t type) {
        return ::ConvertPageTypeToString(type);
    }

protected:
    void SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) override;
    // Adds one LINK element per used entry of `table` under the main position.
    void OutputChildHash(CMarkup& markup, const char* linkType, const LinkRange* table,
                         std::int64_t total);

private:
    struct PageCounts {
        std::int64_t singleAccess = 0;
        std::int64_t siteEntry = 0;
        std::int64_t siteExit = 0;
    };
    struct TagTrigger {
        std::string name;
        std::string type;
    };

    class CStreamedElements;
    struct LinkTexts;
    struct LinkBatch;
    class CLinkBatches;
    class CLinkHelper;
    static constexpr std::size_t kPageTypes = 8;

    void ReadTriggers();
    std::vector<std::pair<std::string_view, PageCounts>> CollectPageCounts() const;
    void SaveData(CMarkup& markup);
    void SaveLinks(CMarkup& markup);
    // The same elements printed straight into a streamed file.
    void PrintData(CStreamedElements& out) const;
    void PrintStreamed(CStreamedElements& out) const;
    static void EndLinks(CStreamedElements& out, bool open);
    // The LINKS element walked by both threads; false when the pages cannot be walked so.
    bool PrintInBlocks(CStreamedElements& out, const LinkTexts& texts) const;
    // On the helper thread: the pages of the LINKS element in batches, in order.
    void ProduceLinkBatches(std::size_t indent, const LinkTexts& texts,
                            CLinkBatches& batches) const;
    LinkTexts MakeLinkTexts(const CStreamedElements& out) const;
    void PrintPage(CStreamedElements& out, const LinkTexts& texts,
                   const hyperlink_page_view_t& page) const;
    // `linkType`: 0 for CHILD, 1 for PARENT.
    void PrintConnections(CStreamedElements& out, const LinkTexts& texts, std::size_t linkType,
                          const LinkRange* table, std::int64_t total, bool& any) const;

    const CTagInformation* m_tags;
    std::unique_ptr<PageRange> m_links;
    std::unique_ptr<CountRange> m_singleAccess;
    std::unique_ptr<CountRange> m_siteEntry;
    std::unique_ptr<CountRange> m_siteExit;
    std::int64_t m_runTotal;
    const std::int64_t* m_tagTotals;
    std::vector<TagTrigger> m_triggers;  // filled while writing
    std::string m_reportName = "Hyperlink Tree View";
    std::size_t m_batchLinks = 2048;
};
