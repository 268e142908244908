// The parsers that read a line in place in a view, and what they build on: the line index and
// the field scan that stops at a line end or at a byte that is no field byte. Each is checked
// against a plain byte-by-byte reading, and the view parsers against the line parsers.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "GuardedPages.h"
#include "engine/parse/FieldCursor.h"
#include "engine/parse/LineIndex.h"
#include "engine/parse/LineParser.h"
#include "engine/scan/MappedFile.h"
#include "engine/scan/Scanner.h"

namespace {

bool IsStopByte(unsigned char c) { return c < 0x20 || c == 0x7F || c == 0xFF; }

// ---- the line index, with either vector width ----

class LineIndexWidth : public ::testing::TestWithParam<CLineIndex::width_t> {
protected:
    void SetUp() override { CLineIndex::UseWidth(GetParam()); }
    void TearDown() override { CLineIndex::UseWidth(CLineIndex::width_t::Best); }
};

// What Build must find, byte by byte: the length, or npos when the line is not plain.
std::size_t PlainLength(const std::string& text, bool stopsAtLineEnd) {
    for (std::size_t i = 0; i < text.size() && i < CLineIndex::kMaxLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!IsStopByte(c)) continue;
        if (stopsAtLineEnd && (c == '\n' || c == '\r')) return i;
        return std::string::npos;
    }
    return text.size() < CLineIndex::kMaxLength ? text.size() : std::string::npos;
}

TEST_P(LineIndexWidth, FindsEverySpaceAndQuoteAndTheEndAtEveryPlaceOfAChunk) {
    CGuardedPages pages;
    ASSERT_TRUE(pages.Valid());
    std::mt19937 random(5);
    CLineIndex index;
    for (int run = 0; run < 4000; ++run) {
        const std::size_t size = random() % 600;
        std::string text(size, 'a');
        for (char& c : text) c = "ab \"x/"[random() % 6];
        // Now and then a line end, a tab or a control byte at any place, or a byte above 0x7F.
        if (size > 0 && random() % 2)
            text[random() % size] = "\n\r\t\x01\x7f\xff\x80\xfe"[random() % 8];
        const bool view = random() % 2;
        const char* placed = pages.Place(text);
        const std::size_t expected = PlainLength(text, view);
        const bool built = index.Build(placed, size, view);
        ASSERT_EQ(built, expected != std::string::npos) << run;
        if (!built) continue;
        ASSERT_EQ(index.Length(), expected) << run;
        for (std::size_t from = 0; from <= expected; ++from) {
            std::size_t space = from, quote = from;
            while (space < expected && text[space] != ' ') ++space;
            while (quote < expected && text[quote] != '"') ++quote;
            ASSERT_EQ(index.NextSpace(from), space) << run << " from " << from;
            ASSERT_EQ(index.NextQuote(from), quote) << run << " from " << from;
        }
    }
}

TEST_P(LineIndexWidth, BytesAfterTheLineEndDoNotMatter) {
    CLineIndex index;
    const std::string line = "a \"b\" c";
    for (const char* after : {"\n\x01\x02", "\r\n\t\xff",
                              "\n"
                              "0123456789012345678901234567890123456789"}) {
        const std::string text = line + after;
        ASSERT_TRUE(index.Build(text.data(), text.size(), true)) << after;
        EXPECT_EQ(index.Length(), line.size());
        EXPECT_EQ(index.NextQuote(3), 4u);
        EXPECT_EQ(index.NextQuote(5), line.size());
        // Handed over alone, the same bytes are a line with a line end inside: not plain.
        EXPECT_FALSE(index.Build(text.data(), text.size(), false));
    }
}

TEST_P(LineIndexWidth, LinesLongerThanTheIndexAreLeftToTheGeneralReaders) {
    CLineIndex index;
    std::string text(CLineIndex::kMaxLength - 1, 'x');
    EXPECT_TRUE(index.Build(text.data(), text.size(), false));
    text += 'x';
    EXPECT_FALSE(index.Build(text.data(), text.size(), false));
    EXPECT_FALSE(index.Build(text.data(), text.size(), true));
    text.back() = '\n';
    EXPECT_TRUE(index.Build(text.data(), text.size(), true));
    EXPECT_EQ(index.Length(), CLineIndex::kMaxLength - 1);
}

INSTANTIATE_TEST_SUITE_P(Widths, LineIndexWidth,
                         ::testing::Values(CLineIndex::width_t::Best, CLineIndex::width_t::Narrow),
                         [](const auto& info) {
                             return info.param == CLineIndex::width_t::Best ? "Best" : "Narrow";
                         });

// ---- the field scan ----

TEST(FieldScan, StopsAtTheSoughtByteOrAtTheFirstByteThatIsNoFieldByte) {
    CGuardedPages pages;
    ASSERT_TRUE(pages.Valid());
    std::mt19937 random(17);
    for (int run = 0; run < 20000; ++run) {
        std::string text(random() % 90, 'a');
        for (char& c : text) c = "ab \t\"x\x80"[random() % 7];
        if (!text.empty() && random() % 3 == 0)
            text[random() % text.size()] = "\n\r\x01\x7f\xff"[random() % 5];
        const char* begin = pages.Place(text);
        const char* end = begin + text.size();
        const char* quote = begin;
        while (quote != end && *quote != '"' &&
               !(IsStopByte(static_cast<unsigned char>(*quote)) && *quote != '\t'))
            ++quote;
        ASSERT_EQ(ScanToStop<false>(begin, end, '"'), quote) << run;
        const char* blank = begin;
        while (blank != end && *blank != ' ' && !IsStopByte(static_cast<unsigned char>(*blank)))
            ++blank;
        ASSERT_EQ(ScanToStop<true>(begin, end, ' '), blank) << run;
    }
}

// ---- the parsers in a view against the line parsers ----

const char* const kLines[] = {
    R"(127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] "GET /apache_pb.gif HTTP/1.0" 200 2326)",
    R"L(1.2.3.4 - "a b" [20/Jul/2009:22:59:26 +0000] "GET /x?y=1 HTTP/1.0" 200 134 "http://r/" "Mozilla/4.0 (compatible)")L",
    R"L(1.2.3.4 - - [20/Jul/2009:22:59:26 +0000] "GET /q\"x HTTP/1.0" 200 1 "http://r/\"" "UA \\" x")L",
    R"L(1.2.3.4 - - [03/Apr/2013:00:00:11 +0200] "GET /t.gif HTTP/1.1" 200 43 "-" "UA" "SID=a; b=\"c\"")L",
    R"L("SID=s1; lang=en" 10.1.1.1 - bob [05/Nov/2006:00:28:27 -0500] "GET /b HTTP/1.1" 200 9 "-" "UA")L",
    R"L(lang=en; SID=s2; 10.1.1.2 - - [05/Mar/2006:00:28:27 -0500] "GET /c HTTP/1.1" 200 9 "-" "UA")L",
    R"L(- 10.0.0.7 x jim [07/Jul/2010:01:02:03 +0000] "GET /s HTTP/1.1" 200 11 "-" "UA")L",
    R"L(133.149.133.102 www.acmeco.com - [05/Nov/2006:00:28:27 -0500] "GET /webdb.nsf HTTP/1.1" 404 38692)L",
    "1.2.3.4\t-\t-\t[20/Jul/2009:22:59:26 +0000]\t\"GET / HTTP/1.0\"\t200\t1\t\"-\"\t\"UA\"",
    R"L(1.2.3.4  -  -  [20/Jul/2009:22:59:26 +0000]  "GET / HTTP/1.0"  200  1  "-"  "UA")L",
};

const int kViewTypes[] = {0, 1, 7, 8, 10, 11};

std::string Mutated(std::string line, std::mt19937& random) {
    const char interesting[] = "\"[]/\\ \t;=-\r\n\x01\x7f\xff\x80";
    for (int edits = int(random() % 4); edits > 0; --edits) {
        const std::size_t pos = random() % (line.size() + 1);
        const char byte = interesting[random() % (sizeof interesting - 1)];
        switch (random() % 4) {
            case 0:
                line.insert(pos, 1, byte);
                break;
            case 1:
                if (pos < line.size()) line[pos] = byte;
                break;
            case 2:
                line.resize(pos);
                break;
            default:
                line.insert(pos, std::string(random() % 300, 'u'));
                break;
        }
    }
    return line;
}

void ExpectSameRecord(const hit_t& a, const hit_t& b) {
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.hour, b.hour);
    EXPECT_EQ(a.dayOfWeek, b.dayOfWeek);
    EXPECT_EQ(a.method, b.method);
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.Host(), b.Host());
    EXPECT_EQ(a.User(), b.User());
    EXPECT_EQ(a.Path(), b.Path());
    EXPECT_EQ(a.Referrer(), b.Referrer());
    EXPECT_EQ(a.Agent(), b.Agent());
    EXPECT_EQ(a.Server(), b.Server());
    EXPECT_EQ(a.Cookie(), b.Cookie());
    EXPECT_EQ(a.agent[a.agentLen], '\0');
    EXPECT_EQ(a.path[a.pathLen], '\0');
}

TEST(ParseInView, ReadsEveryLineAsTheLineParserReadsItAlone) {
    CGuardedPages pages;
    ASSERT_TRUE(pages.Valid());
    std::mt19937 random(2026);
    auto inView = std::make_unique<hit_t>();
    auto alone = std::make_unique<hit_t>();
    parse_context_t context;
    context.cookieName = "SID";
    context.cookieNameLen = 3;
    int accepted = 0;
    for (int run = 0; run < 30000; ++run) {
        const std::string text = Mutated(kLines[random() % std::size(kLines)], random);
        // What follows the line in the view: nothing (the file's last line), or a line end and
        // the next line.
        std::string view = text;
        if (random() % 4) view += (random() % 2 ? "\n" : "\r\n") + std::string(kLines[0]);
        const std::string line = text.substr(0, text.find_first_of("\r\n"));
        const char* placed = pages.Place(view);
        for (int type : kViewTypes) {
            context.cookieMode = type == 10 ? COOKIE_END : type == 11 ? COOKIE_BEGIN : COOKIE_NONE;
            const std::size_t used = GetViewParser(type)(placed, view.size(), *inView, context);
            const std::size_t expected =
                GetLineParser(type)(line.data(), line.size(), *alone, context);
            ASSERT_EQ(used, expected) << "type " << type << " line " << line;
            if (used == 0) continue;
            ++accepted;
            ExpectSameRecord(*inView, *alone);
            if (HasFailure()) FAIL() << "type " << type << " line " << line;
        }
    }
    EXPECT_GT(accepted, 10000);
}

TEST(ParseInView, FormatsReadAWholeLineAtATimeHaveNoViewParser) {
    for (int type : {SCAN_LOG_W3C, SCAN_LOG_CSV_SHORT, SCAN_LOG_CSV_LONG, SCAN_LOG_AUTO})
        EXPECT_EQ(GetViewParser(type), nullptr) << type;
}

}  // namespace
