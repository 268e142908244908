#include "store/hyperlink/SaveHyperlinkTreeReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "store/filter/TagInformation.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

// Page counts are written as 32-bit numbers; larger ones are capped rather than wrapped.
std::string CountText(std::int64_t count) {
    if (count <= 0) return "0";
    return std::to_string(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
}

// Calls f(link) for every link of `table` (which may be null), without a call through
// std::function per link when the range holds its links in one array.
template <class F>
void ForEachLink(const CEntryRange<hyperlink_link_view_t>* table, F&& f) {
    if (!table) return;
    std::span<const hyperlink_link_view_t> links;
    if (table->GetSpan(links)) {
        for (const hyperlink_link_view_t& link : links) f(link);
        return;
    }
    table->ForEach(f);
}

std::int64_t SumOfHits(const CEntryRange<hyperlink_link_view_t>* table) {
    std::int64_t sum = 0;
    ForEachLink(table, [&sum](const hyperlink_link_view_t& link) { sum += link.hits; });
    return sum;
}

// The escaping of a byte in attribute values and in element text.
constexpr unsigned char kAttributeSpecial = 1, kTextSpecial = 2;
// Per byte: where it is escaped. "&", "<", '"' and bytes below 32 in attribute values; "&",
// "<", ">" and bytes below 32 other than tab, CR and LF in element text; NUL ends a text.
constexpr std::array<unsigned char, 256> kSpecial = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 32; ++c)
        table[c] = c == '\t' || c == '\r' || c == '\n' ? kAttributeSpecial
                                                       : kAttributeSpecial | kTextSpecial;
    table['&'] = table['<'] = kAttributeSpecial | kTextSpecial;
    table['"'] = kAttributeSpecial;
    table['>'] = kTextSpecial;
    return table;
}();

constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;

constexpr std::uint64_t HasZeroByte(std::uint64_t v) { return (v - kOnes) & ~v & kHighs; }
constexpr std::uint64_t HasByte(std::uint64_t v, unsigned char c) {
    return HasZeroByte(v ^ (kOnes * c));
}
constexpr std::uint64_t HasByteBelow32(std::uint64_t v) { return (v - kOnes * 32) & ~v & kHighs; }

// Whether any of eight bytes may need escaping `where` (tab, CR and LF count in text too).
template <unsigned char where>
[[gnu::always_inline]] inline bool MaySpecial(std::uint64_t v) {
    if constexpr (where == kAttributeSpecial)
        return (HasByteBelow32(v) | HasByte(v, '"') | HasByte(v, '&') | HasByte(v, '<')) != 0;
    else
        return (HasByteBelow32(v) | HasByte(v, '>') | HasByte(v, '&') | HasByte(v, '<')) != 0;
}

char* Copy(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Writes one byte, escaped as `where` needs; false at a NUL, which ends the text (the
// element-by-element path hands texts over as C strings).
template <unsigned char where>
bool PutByte(char*& out, unsigned char c) {
    if (!(kSpecial[c] & where)) {
        *out++ = static_cast<char>(c);
        return true;
    }
    switch (c) {
        case 0:
            return false;
        case '&':
            out = Copy(out, "&amp;");
            break;
        case '<':
            out = Copy(out, "&lt;");
            break;
        case '>':
            out = Copy(out, "&gt;");
            break;
        case '"':
            out = Copy(out, "&quot;");
            break;
        default:
            *out++ = '&';
            *out++ = '#';
            *out++ = static_cast<char>('0' + c / 10);
            *out++ = static_cast<char>('0' + c % 10);
            *out++ = ';';
    }
    return true;
}

// Room for escaping a text of `size` bytes: six for each ("&quot;"), and the few that the
// word-wide copies write past the end.
constexpr std::size_t MaxEscaped(std::size_t size) { return size * 6 + 16; }

// Writes `text` escaped as `where` needs: bytes that need none are copied sixteen or eight at
// a time, so a plain text costs a few steps. The output may take MaxEscaped(text.size()).
template <unsigned char where>
char* Escaped(char* out, std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
#if defined(__SSE2__)
    const __m128i quoteOrGreater = _mm_set1_epi8(where == kAttributeSpecial ? '"' : '>');
    const __m128i amp = _mm_set1_epi8('&'), less = _mm_set1_epi8('<'), control = _mm_set1_epi8(31);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, quoteOrGreater), _mm_cmpeq_epi8(v, amp)),
            _mm_or_si128(_mm_cmpeq_epi8(v, less), _mm_cmpeq_epi8(_mm_min_epu8(v, control), v)));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        if (mask == 0) {
            out += 16;
            p += 16;
            continue;
        }
        // The bytes before the first special one are written; that one goes through PutByte.
        const unsigned plain = static_cast<unsigned>(__builtin_ctz(mask));
        out += plain;
        p += plain;
        if (!PutByte<where>(out, static_cast<unsigned char>(*p))) return out;
        ++p;
    }
#endif
    while (end - p >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, sizeof v);
        if (!MaySpecial<where>(v)) {
            std::memcpy(out, &v, sizeof v);
            out += 8;
            p += 8;
            continue;
        }
        for (const char* stop = p + 8; p < stop; ++p)
            if (!PutByte<where>(out, static_cast<unsigned char>(*p))) return out;
    }
    const std::size_t rest = static_cast<std::size_t>(end - p);
    if (rest > 0 && text.size() >= 8) {
        // The last eight bytes of the text hold the rest at their top; plain letters stand in
        // for the bytes already written.
        std::uint64_t v;
        std::memcpy(&v, end - 8, sizeof v);
        v = (v >> (8 * (8 - rest))) | (kOnes * 'a' << (8 * rest));
        if (!MaySpecial<where>(v)) {
            std::memcpy(out, &v, sizeof v);
            return out + rest;
        }
    }
    for (; p < end; ++p)
        if (!PutByte<where>(out, static_cast<unsigned char>(*p))) return out;
    return out;
}

constexpr std::size_t kNumberSize = 20;

// A short fixed text kept with room to be copied in 16-byte steps, which costs less than a
// call to memcpy for each of millions of elements.
class CPiece {
public:
    CPiece() = default;
    explicit CPiece(std::string_view text) : m_bytes(text.size() + 16, '\0'), m_size(text.size()) {
        std::memcpy(m_bytes.data(), text.data(), text.size());
    }
    std::size_t size() const { return m_size; }
    // Copies the text to `out`, which must have room for size() + 16 bytes.
    char* CopyTo(char* out) const {
        for (std::size_t i = 0; i < m_size; i += 16) std::memcpy(out + i, m_bytes.data() + i, 16);
        return out + m_size;
    }

private:
    std::vector<char> m_bytes;
    std::size_t m_size = 0;
};

char* Number(char* out, std::int64_t value) {
    return std::to_chars(out, out + kNumberSize, value).ptr;
}

}  // namespace

// Prints elements into a streamed CMarkup's file in the very bytes its own printing gives:
// one element a line, indented by tabs, attributes in double quotes, texts escaped as
// kSpecial says, control bytes as "&#NN;". Elements are written straight into a block that
// is handed to the file when full; each caller asks for room for the most an element can
// take, so nothing is checked byte by byte.
class CSaveHyperlinkTreeReport::CStreamedElements {
public:
    // Prints into `markup`'s file, block by block.
    explicit CStreamedElements(CMarkup& markup)
        : CStreamedElements(&markup, static_cast<std::size_t>(markup.GetMainDepth()) + 1) {}
    // Prints into a growing buffer that TakeBytes empties, for elements `indent` tabs deep.
    explicit CStreamedElements(std::size_t indent) : CStreamedElements(nullptr, indent) {}
    ~CStreamedElements() { Flush(); }
    CStreamedElements(const CStreamedElements&) = delete;
    CStreamedElements& operator=(const CStreamedElements&) = delete;

    // The write position, with room for `size` more bytes.
    char* Room(std::size_t size) {
        if (m_size + size > m_block.size()) {
            Flush();
            if (m_size + size > m_block.size()) m_block.resize(m_size + size + kSlack);
        }
        return m_block.data() + m_size;
    }
    // Ends a write that began at Room and stopped before `end`.
    void Done(char* end) {
        m_size = static_cast<std::size_t>(end - m_block.data());
        if (m_size >= kBlockSize) Flush();
    }
    // Writes bytes printed elsewhere after what this printer holds.
    void Write(const std::vector<char>& bytes) {
        Flush();
        if (m_markup && !bytes.empty()) m_markup->WriteRawContent(bytes.data(), bytes.size());
    }
    // What a printer without a file printed so far, leaving it empty.
    void TakeBytes(std::vector<char>& bytes) {
        bytes.assign(m_block.data(), m_block.data() + m_size);
        m_size = 0;
    }
    std::size_t GetIndent() const { return m_indent; }
    // The tabs before an element at `level` below the main element's children.
    std::string_view Tabs(int level) const {
        return std::string_view(m_tabs).substr(0, m_indent + static_cast<std::size_t>(level));
    }

    // "<TAG" at `level`.
    void Start(int level, std::string_view tag) {
        char* out = Room(m_tabs.size() + tag.size() + 1);
        out = Copy(out, Tabs(level));
        *out++ = '<';
        Done(Copy(out, tag));
    }
    void Attribute(std::string_view name, std::string_view value) {
        char* out = Room(name.size() + 4 + MaxEscaped(value.size()));
        *out++ = ' ';
        out = Copy(out, name);
        out = Copy(out, "=\"");
        out = Escaped<kAttributeSpecial>(out, value);
        *out++ = '"';
        Done(out);
    }
    void Attribute(std::string_view name, std::int64_t value) {
        char* out = Room(name.size() + 4 + kNumberSize);
        *out++ = ' ';
        out = Copy(out, name);
        out = Copy(out, "=\"");
        out = Number(out, value);
        *out++ = '"';
        Done(out);
    }
    // Ends the start tag of an element that holds elements.
    void Open() { Done(Copy(Room(2), ">\n")); }
    // Ends an element with `text` (none when empty) and no elements.
    void Close(std::string_view tag, std::string_view text) {
        if (text.empty()) return Done(Copy(Room(4), " />\n"));
        char* out = Room(MaxEscaped(text.size()) + tag.size() + 5);
        *out++ = '>';
        out = Escaped<kTextSpecial>(out, text);
        out = Copy(out, "</");
        out = Copy(out, tag);
        Done(Copy(out, ">\n"));
    }
    void End(int level, std::string_view tag) {
        char* out = Room(m_tabs.size() + tag.size() + 4);
        out = Copy(out, Tabs(level));
        out = Copy(out, "</");
        out = Copy(out, tag);
        Done(Copy(out, ">\n"));
    }
    // Hands the block to the file; a printer without a file keeps it.
    void Flush() {
        if (!m_markup) return;
        if (m_size) m_markup->WriteRawContent(m_block.data(), m_size);
        m_size = 0;
    }

private:
    static constexpr std::size_t kBlockSize = 1 << 20;
    // Room past a block's end for the element that fills it.
    static constexpr std::size_t kSlack = 1 << 16;

    CStreamedElements(CMarkup* markup, std::size_t indent)
        : m_markup(markup),
          m_indent(indent),
          m_tabs(m_indent + 4, '\t'),
          m_block(kBlockSize + kSlack) {}

    CMarkup* m_markup;
    std::size_t m_indent;
    std::string m_tabs;
    std::vector<char> m_block;
    std::size_t m_size = 0;
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
        PrintStreamed(out);
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

// The fixed pieces of the LINKS element, printed once per report rather than per link.
struct CSaveHyperlinkTreeReport::LinkTexts {
    std::string pageStart;                          // tabs, "<PAGE Name=\""
    CPiece linkStart;                               // tabs, "<LINK Name=\""
    std::string linkEnd;                            // tabs, "</LINK>\n"
    std::array<std::string, kPageTypes> pageTypes;  // "PAGE\""
    // Per link type (CHILD, PARENT) and page type: "PAGE\" LinkType=\"CHILD\"".
    std::array<std::array<CPiece, kPageTypes>, 2> typeAndLinkType;
    // Per trigger: tabs, "<TAG Name=\"...\" Type=\"...\">".
    std::vector<std::string> tagStarts;
    std::size_t longestTagStart = 0;
};

namespace {
// Room for " TotalHits=\"<20 digits>\" PageType=\"".
constexpr std::size_t kTotalRoom = 48;
}  // namespace

namespace {

// The text form of a page type as an index into the table of texts.
std::size_t PageTypeIndex(page_type_t type) {
    const int value = static_cast<int>(type);
    return value >= 0 && value < 8 ? static_cast<std::size_t>(value)
                                   : static_cast<std::size_t>(page_type_t::NOTHING);
}

std::string EscapedAttribute(std::string_view text) {
    std::string escaped(MaxEscaped(text.size()), '\0');
    escaped.resize(static_cast<std::size_t>(Escaped<kAttributeSpecial>(escaped.data(), text) -
                                            escaped.data()));
    return escaped;
}

}  // namespace

CSaveHyperlinkTreeReport::LinkTexts CSaveHyperlinkTreeReport::MakeLinkTexts(
    const CStreamedElements& out) const {
    LinkTexts texts;
    texts.pageStart = std::string(out.Tabs(1)) + "<PAGE Name=\"";
    texts.linkStart = CPiece(std::string(out.Tabs(2)) + "<LINK Name=\"");
    texts.linkEnd = std::string(out.Tabs(2)) + "</LINK>\n";
    const char* const linkTypes[] = {"CHILD", "PARENT"};
    for (std::size_t t = 0; t < kPageTypes; ++t)
        texts.pageTypes[t] = ConvertPageTypeToString(static_cast<page_type_t>(t)) + "\"";
    for (std::size_t l = 0; l < 2; ++l)
        for (std::size_t t = 0; t < kPageTypes; ++t)
            texts.typeAndLinkType[l][t] =
                CPiece(texts.pageTypes[t] + " LinkType=\"" + linkTypes[l] + "\"");
    for (const TagTrigger& trigger : m_triggers) {
        texts.tagStarts.push_back(std::string(out.Tabs(3)) + "<TAG Name=\"" +
                                  EscapedAttribute(trigger.name) + "\" Type=\"" +
                                  EscapedAttribute(trigger.type) + "\">");
        texts.longestTagStart = std::max(texts.longestTagStart, texts.tagStarts.back().size());
    }
    return texts;
}

// A run of pages of the LINKS element in table order: printed by the helper thread, or, every
// other run, copied for the calling thread to print.
struct CSaveHyperlinkTreeReport::LinkBatch {
    struct page_t {
        std::string_view name;
        page_type_t type = page_type_t::NOTHING;
        std::size_t firstChild = 0, children = 0, parents = 0;  // into links
    };
    std::size_t pageCount = 0;
    bool printed = false;
    std::vector<char> text;  // printed: the elements
    std::vector<page_t> pages;
    std::vector<hyperlink_link_view_t> links;
};

// The batches on their way from the helper thread to the calling thread, at most kInFlight at
// a time so that memory stays bounded whichever thread is ahead.
class CSaveHyperlinkTreeReport::CLinkBatches {
public:
    // Waits for room; false when the reader gave up.
    bool Push(LinkBatch&& batch) {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [this] { return m_queue.size() < kInFlight || m_abandoned; });
        if (m_abandoned) return false;
        m_queue.push_back(std::move(batch));
        m_notEmpty.notify_one();
        return true;
    }
    // The next batch in order; false after the last.
    bool Pop(LinkBatch& batch) {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [this] { return !m_queue.empty() || m_finished; });
        if (m_queue.empty()) return false;
        batch = std::move(m_queue.front());
        m_queue.pop_front();
        m_notFull.notify_one();
        return true;
    }
    void Finish() {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_notEmpty.notify_all();
    }
    void Abandon() {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
        m_notFull.notify_all();
    }

private:
    static constexpr std::size_t kInFlight = 3;

    std::mutex m_mutex;
    std::condition_variable m_notFull, m_notEmpty;
    std::deque<LinkBatch> m_queue;
    bool m_finished = false;
    bool m_abandoned = false;
};

// The helper thread of the LINKS element, producing into its batches. The thread stops and
// is waited for however the calling thread leaves.
class CSaveHyperlinkTreeReport::CLinkHelper {
public:
    template <class Produce>
    explicit CLinkHelper(Produce produce)
        : m_thread([this, produce] {
              try {
                  produce(m_batches);
              } catch (...) {
                  m_failure = std::current_exception();
              }
              m_batches.Finish();
          }) {}
    ~CLinkHelper() {
        m_batches.Abandon();
        m_thread.join();
    }
    CLinkHelper(const CLinkHelper&) = delete;
    CLinkHelper& operator=(const CLinkHelper&) = delete;

    CLinkBatches& Batches() { return m_batches; }
    // Once Pop has returned false: what the helper threw, if anything.
    void RethrowFailure() const {
        if (m_failure) std::rethrow_exception(m_failure);
    }

private:
    CLinkBatches m_batches;
    std::exception_ptr m_failure;
    std::thread m_thread;  // last, so that it starts once the rest is made
};

namespace {

std::size_t LinkCount(const CEntryRange<hyperlink_link_view_t>* table) {
    std::size_t count = 0;
    ForEachLink(table, [&count](const hyperlink_link_view_t&) { ++count; });
    return count;
}

}  // namespace

// The LINKS element is the bulk of a report file. A helper thread walks the pages (laying out
// their links is part of the walk) and prints every other batch of them; this thread prints
// the batches between and writes all of them to the file in order. The DATA element is
// printed meanwhile.
void CSaveHyperlinkTreeReport::PrintStreamed(CStreamedElements& out) const {
    if (!m_links) {
        PrintData(out);
        out.Start(0, "LINKS");
        return out.Close("LINKS", {});
    }
    const LinkTexts texts = MakeLinkTexts(out);
    if (PrintInBlocks(out, texts)) return;
    CLinkHelper helper([this, &texts, indent = out.GetIndent()](CLinkBatches& batches) {
        ProduceLinkBatches(indent, texts, batches);
    });
    PrintData(out);
    out.Start(0, "LINKS");
    bool open = false;
    LinkBatch batch;
    while (helper.Batches().Pop(batch)) {
        if (batch.pageCount == 0) continue;
        if (!open) out.Open();
        open = true;
        if (batch.printed) {
            out.Write(batch.text);
            continue;
        }
        for (const LinkBatch::page_t& page : batch.pages) {
            const std::span<const hyperlink_link_view_t> links(batch.links);
            const CSpanEntryRange<hyperlink_link_view_t> children(
                links.subspan(page.firstChild, page.children));
            const CSpanEntryRange<hyperlink_link_view_t> parents(
                links.subspan(page.firstChild + page.children, page.parents));
            PrintPage(out, texts, {page.name, page.type, &children, &parents});
        }
    }
    helper.RethrowFailure();
    EndLinks(out, open);
}

void CSaveHyperlinkTreeReport::EndLinks(CStreamedElements& out, bool open) {
    if (open)
        out.End(0, "LINKS");
    else
        out.Close("LINKS", {});
}

// When the range walks its pages in blocks, both threads walk: the helper lays out and prints
// the even blocks, this thread the odd ones, each straight into the file once the helper's
// block before it is written.
bool CSaveHyperlinkTreeReport::PrintInBlocks(CStreamedElements& out, const LinkTexts& texts) const {
    if (!m_links->CanWalkInBlocks()) return false;
    // About m_batchLinks links a block, pages having a few dozen links each.
    const std::size_t pagesPerBlock = std::max<std::size_t>(1, m_batchLinks / 32);
    CLinkHelper helper([&, indent = out.GetIndent()](CLinkBatches& batches) {
        CStreamedElements printer(indent);
        LinkBatch batch;
        std::size_t current = 0;
        bool stopped = false;
        const auto send = [&] {
            printer.TakeBytes(batch.text);
            batch.printed = true;
            stopped = !batches.Push(std::move(batch));
            batch = LinkBatch();
        };
        m_links->ForEachInBlocks(pagesPerBlock, 0, 2,
                                 [&](std::size_t block, const hyperlink_page_view_t& page) {
                                     if (stopped) return;
                                     if (batch.pageCount > 0 && block != current) send();
                                     current = block;
                                     ++batch.pageCount;
                                     PrintPage(printer, texts, page);
                                 });
        if (!stopped && batch.pageCount > 0) send();
    });
    PrintData(out);
    out.Start(0, "LINKS");
    bool open = false;
    const auto openLinks = [&] {
        if (!open) out.Open();
        open = true;
    };
    // The helper's next block, which comes before the block this thread is about to print.
    const auto writeHelperBlock = [&] {
        LinkBatch batch;
        if (!helper.Batches().Pop(batch)) return false;
        openLinks();
        out.Write(batch.text);
        return true;
    };
    std::size_t current = 0;
    bool started = false;
    m_links->ForEachInBlocks(pagesPerBlock, 1, 2,
                             [&](std::size_t block, const hyperlink_page_view_t& page) {
                                 if (!started || block != current) writeHelperBlock();
                                 started = true;
                                 current = block;
                                 openLinks();
                                 PrintPage(out, texts, page);
                             });
    while (writeHelperBlock()) {
    }
    helper.RethrowFailure();
    EndLinks(out, open);
    return true;
}

void CSaveHyperlinkTreeReport::ProduceLinkBatches(std::size_t indent, const LinkTexts& texts,
                                                  CLinkBatches& batches) const {
    CStreamedElements printer(indent);
    LinkBatch batch;
    std::size_t number = 0, links = 0;
    bool stopped = false;
    const auto send = [&] {
        batch.printed = number % 2 == 0;
        if (batch.printed) printer.TakeBytes(batch.text);
        stopped = !batches.Push(std::move(batch));
        batch = LinkBatch();
        ++number;
        links = 0;
    };
    m_links->ForEach([&](const hyperlink_page_view_t& page) {
        if (stopped) return;
        ++batch.pageCount;
        if (number % 2 == 0) {
            PrintPage(printer, texts, page);
            links += LinkCount(page.children) + LinkCount(page.parents);
        } else {
            LinkBatch::page_t copy{page.name, page.type, batch.links.size(), 0, 0};
            ForEachLink(page.children,
                        [&](const hyperlink_link_view_t& l) { batch.links.push_back(l); });
            copy.children = batch.links.size() - copy.firstChild;
            ForEachLink(page.parents,
                        [&](const hyperlink_link_view_t& l) { batch.links.push_back(l); });
            copy.parents = batch.links.size() - copy.firstChild - copy.children;
            links += copy.children + copy.parents;
            batch.pages.push_back(copy);
        }
        // A page counts as a link, so that pages without links also end batches.
        if (++links >= m_batchLinks) send();
    });
    if (!stopped && batch.pageCount > 0) send();
}

void CSaveHyperlinkTreeReport::PrintPage(CStreamedElements& out, const LinkTexts& texts,
                                         const hyperlink_page_view_t& page) const {
    const std::string_view type = texts.pageTypes[PageTypeIndex(page.type)];
    char* o = out.Room(texts.pageStart.size() + MaxEscaped(page.name.size()) + 16 + type.size());
    o = Copy(o, texts.pageStart);
    o = Escaped<kAttributeSpecial>(o, page.name);
    o = Copy(o, "\" PageType=\"");
    out.Done(Copy(o, type));
    const std::int64_t childSum = SumOfHits(page.children);
    const std::int64_t parentSum = SumOfHits(page.parents);
    bool any = false;
    PrintConnections(out, texts, 0, page.children, childSum, any);
    PrintConnections(out, texts, 1, page.parents, parentSum, any);
    if (any)
        out.End(1, "PAGE");
    else
        out.Close("PAGE", {});
}

void CSaveHyperlinkTreeReport::PrintConnections(CStreamedElements& out, const LinkTexts& texts,
                                                std::size_t linkType, const LinkRange* table,
                                                std::int64_t total, bool& any) const {
    if (!table) return;
    // What follows each link's hits: "\" TotalHits=\"<total>\" PageType=\"".
    char totalText[kTotalRoom] = {};
    char* end = Copy(totalText, "\" TotalHits=\"");
    end = Number(end, total);
    end = Copy(end, "\" PageType=\"");
    const std::size_t totalSize = static_cast<std::size_t>(end - totalText);
    // Link start, hits, total part, type and link type, " />\n", and 16 bytes of overrun.
    const std::size_t fixed = texts.linkStart.size() + 16 + kNumberSize + kTotalRoom + 64;
    ForEachLink(table, [&](const hyperlink_link_view_t& link) {
        if (!any) out.Open();
        any = true;
        char* o = out.Room(fixed + MaxEscaped(link.name.size()));
        o = texts.linkStart.CopyTo(o);
        o = Escaped<kAttributeSpecial>(o, link.name);
        o = Copy(o, "\" LinkHits=\"");
        o = Number(o, link.hits);
        std::memcpy(o, totalText, kTotalRoom);
        o += totalSize;
        o = texts.typeAndLinkType[linkType][PageTypeIndex(link.type)].CopyTo(o);
        bool tagged = false;
        for (std::size_t i = 0; link.tagCounts && i < m_triggers.size(); ++i) {
            if (link.tagCounts[i] == 0) continue;
            if (!tagged) o = Copy(o, ">\n");
            tagged = true;
            out.Done(o);
            o = out.Room(texts.longestTagStart + kNumberSize + 8);
            o = Copy(o, texts.tagStarts[i]);
            o = Number(o, link.tagCounts[i]);
            o = Copy(o, "</TAG>\n");
        }
        if (tagged) {
            out.Done(o);
            o = Copy(out.Room(texts.linkEnd.size()), texts.linkEnd);
        } else {
            o = Copy(o, " />\n");
        }
        out.Done(o);
    });
}
