#include "store/hyperlink/SaveHyperlinkTreeReport.h"

#include <algorithm>
#include <array>
#include <charconv>
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

// Prints elements into a streamed CMarkup's file in the very bytes its own printing gives:
// one element a line, indented by tabs, attributes in double quotes; "&", "<", '"' and bytes
// below 32 escaped in attribute values, "&", "<", ">" and bytes below 32 other than tab, CR
// and LF in element text; control bytes as "&#NN;".
class CSaveHyperlinkTreeReport::CStreamedElements {
public:
    explicit CStreamedElements(CMarkup& markup)
        : m_markup(markup), m_indent(static_cast<std::size_t>(markup.GetMainDepth()) + 1) {
        m_buffer.reserve(kFlushSize + 4096);
    }
    ~CStreamedElements() { Flush(); }

    // "<TAG" at `level` below the main element's children.
    void Start(int level, const char* tag) {
        m_buffer.append(m_indent + static_cast<std::size_t>(level), '\t');
        m_buffer += '<';
        m_buffer += tag;
    }
    void Attribute(const char* name, std::string_view value) {
        m_buffer += ' ';
        m_buffer += name;
        m_buffer += "=\"";
        Escaped(value, true);
        m_buffer += '"';
    }
    void Attribute(const char* name, std::int64_t value) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        Attribute(name, std::string_view(text, static_cast<std::size_t>(end - text)));
    }
    // Ends the start tag of an element that holds elements.
    void Open() { m_buffer += ">\n"; }
    // Ends an element with `text` (none when empty) and no elements.
    void Close(const char* tag, std::string_view text) {
        if (text.empty()) {
            m_buffer += " />\n";
        } else {
            m_buffer += '>';
            Escaped(text, false);
            m_buffer += "</";
            m_buffer += tag;
            m_buffer += ">\n";
        }
        if (m_buffer.size() >= kFlushSize) Flush();
    }
    void End(int level, const char* tag) {
        m_buffer.append(m_indent + static_cast<std::size_t>(level), '\t');
        m_buffer += "</";
        m_buffer += tag;
        m_buffer += ">\n";
    }
    void Flush() {
        if (!m_buffer.empty()) m_markup.WriteRawContent(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }

private:
    static constexpr std::size_t kFlushSize = 1 << 20;

    void Escaped(std::string_view text, bool attribute) {
        // The element-by-element path hands texts over as C strings, so a text ends at NUL.
        text = text.substr(0, text.find('\0'));
        const unsigned char special = attribute ? kAttributeSpecial : kTextSpecial;
        std::size_t plain = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (!(kSpecial[c] & special)) continue;
            m_buffer.append(text.data() + plain, i - plain);
            plain = i + 1;
            switch (c) {
                case '&':
                    m_buffer += "&amp;";
                    break;
                case '<':
                    m_buffer += "&lt;";
                    break;
                case '>':
                    m_buffer += "&gt;";
                    break;
                case '"':
                    m_buffer += "&quot;";
                    break;
                default: {
                    const char code[] = {'&', '#', static_cast<char>('0' + c / 10),
                                         static_cast<char>('0' + c % 10), ';'};
                    m_buffer.append(code, sizeof code);
                }
            }
        }
        m_buffer.append(text.data() + plain, text.size() - plain);
    }

    static constexpr unsigned char kAttributeSpecial = 1, kTextSpecial = 2;
    // Per byte: which of attribute values and element text escape it.
    static constexpr std::array<unsigned char, 256> kSpecial = [] {
        std::array<unsigned char, 256> table{};
        for (int c = 1; c < 32; ++c)
            table[c] = c == '\t' || c == '\r' || c == '\n' ? kAttributeSpecial
                                                           : kAttributeSpecial | kTextSpecial;
        table['&'] = table['<'] = kAttributeSpecial | kTextSpecial;
        table['"'] = kAttributeSpecial;
        table['>'] = kTextSpecial;
        return table;
    }();

    CMarkup& m_markup;
    std::size_t m_indent;
    std::string m_buffer;
};

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
    // A streamed report file gets the millions of LINK elements printed directly; any other
    // document gets them one by one, in the same bytes.
    if (markup.WriteRawContent("", 0)) {
        CStreamedElements out(markup);
        PrintData(out);
        PrintLinks(out);
        return;
    }
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
    for (const auto& [name, counts] : CollectPageCounts()) {
        markup.AddChildElem("PAGE", std::string(name));
        markup.SetChildAttrib("NumSingleAccess", CountText(counts.singleAccess));
        markup.SetChildAttrib("NumSiteExit", CountText(counts.siteExit));
        markup.SetChildAttrib("NumSiteEntry", CountText(counts.siteEntry));
    }
    markup.OutOfElem();
}

// Pages in order of first sight, so the same tables always give the same file.
std::vector<std::pair<std::string_view, CSaveHyperlinkTreeReport::PageCounts>>
CSaveHyperlinkTreeReport::CollectPageCounts() const {
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
    return pages;
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

void CSaveHyperlinkTreeReport::PrintData(CStreamedElements& out) const {
    const auto pages = CollectPageCounts();
    out.Start(0, "DATA");
    if (m_triggers.empty() && pages.empty()) return out.Close("DATA", {});
    out.Open();
    for (std::size_t i = 0; i < m_triggers.size(); ++i) {
        out.Start(1, "TAGTOTAL");
        out.Attribute("Name", m_triggers[i].name);
        out.Close("TAGTOTAL", std::to_string(m_tagTotals ? m_tagTotals[i] : 0));
    }
    for (const auto& [name, counts] : pages) {
        out.Start(1, "PAGE");
        out.Attribute("NumSingleAccess", CountText(counts.singleAccess));
        out.Attribute("NumSiteExit", CountText(counts.siteExit));
        out.Attribute("NumSiteEntry", CountText(counts.siteEntry));
        out.Close("PAGE", name);
    }
    out.End(0, "DATA");
}

void CSaveHyperlinkTreeReport::PrintLinks(CStreamedElements& out) const {
    out.Start(0, "LINKS");
    bool open = false;
    if (m_links) {
        m_links->ForEach([&](const hyperlink_page_view_t& page) {
            if (!open) out.Open();
            open = true;
            out.Start(1, "PAGE");
            out.Attribute("Name", page.name);
            out.Attribute("PageType", ConvertPageTypeToString(page.type));
            const std::int64_t childSum = SumOfHits(page.children);
            const std::int64_t parentSum = SumOfHits(page.parents);
            bool any = false;
            PrintConnections(out, "CHILD", page.children, childSum, any);
            PrintConnections(out, "PARENT", page.parents, parentSum, any);
            if (any)
                out.End(1, "PAGE");
            else
                out.Close("PAGE", {});
        });
    }
    if (open)
        out.End(0, "LINKS");
    else
        out.Close("LINKS", {});
}

void CSaveHyperlinkTreeReport::PrintConnections(CStreamedElements& out, const char* linkType,
                                                const LinkRange* table, std::int64_t total,
                                                bool& any) const {
    if (!table) return;
    table->ForEach([&](const hyperlink_link_view_t& link) {
        if (!any) out.Open();
        any = true;
        out.Start(2, "LINK");
        out.Attribute("Name", link.name);
        out.Attribute("LinkHits", link.hits);
        out.Attribute("TotalHits", total);
        out.Attribute("PageType", ConvertPageTypeToString(link.type));
        out.Attribute("LinkType", linkType);
        bool tagged = false;
        for (std::size_t i = 0; link.tagCounts && i < m_triggers.size(); ++i) {
            if (link.tagCounts[i] == 0) continue;
            if (!tagged) out.Open();
            tagged = true;
            out.Start(3, "TAG");
            out.Attribute("Name", m_triggers[i].name);
            out.Attribute("Type", m_triggers[i].type);
            out.Close("TAG", std::to_string(link.tagCounts[i]));
        }
        if (tagged)
            out.End(2, "LINK");
        else
            out.Close("LINK", {});
    });
}
