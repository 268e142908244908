#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "support/TempDir.h"
#include "utility/Markup.h"

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

// One writer's calls, replayed into any CMarkup: the same sequence must give the same bytes
// whether the document is kept whole and saved, or streamed.
using Writer = std::function<void(CMarkup&)>;

std::string Saved(const Writer& write, const TempDir& dir) {
    CMarkup whole;
    write(whole);
    EXPECT_TRUE(whole.Save(dir.file("whole.xml")));
    return ReadFile(dir.file("whole.xml"));
}

std::string Streamed(const Writer& write, const TempDir& dir) {
    CMarkup stream;
    EXPECT_TRUE(stream.StartStream(dir.file("stream.xml").c_str()));
    write(stream);
    EXPECT_TRUE(stream.EndStream()) << stream.GetError();
    return ReadFile(dir.file("stream.xml"));
}

std::string RandomText(std::mt19937& rng) {
    std::string text;
    const int length = static_cast<int>(rng() % 12);
    for (int i = 0; i < length; ++i) {
        // Markup characters, control bytes and high bytes show up often.
        static const char kSpecial[] = "&<>\"'\t\r\n\x01\x1f\x7f\xe9\xff ]]>";
        text += rng() % 3 ? static_cast<char>('a' + rng() % 26)
                          : kSpecial[rng() % (sizeof kSpecial - 1)];
    }
    return text;
}

// A random append-only tree: elements with attributes, data or children, to some depth.
void RandomChildren(CMarkup& xml, std::mt19937& rng, int depth) {
    const int count = static_cast<int>(rng() % 4);
    for (int i = 0; i < count; ++i) {
        const std::string tag = "T" + std::to_string(rng() % 5);
        const bool withChildren = depth < 4 && rng() % 3 == 0;
        const std::string data = withChildren || rng() % 4 == 0 ? "" : RandomText(rng);
        xml.AddChildElem(tag.c_str(), data.c_str());
        for (int a = static_cast<int>(rng() % 3); a > 0; --a)
            xml.SetChildAttrib(("a" + std::to_string(a)).c_str(), RandomText(rng).c_str());
        if (withChildren) {
            xml.IntoElem();
            RandomChildren(xml, rng, depth + 1);
            xml.OutOfElem();
        }
    }
}

}  // namespace

TEST(MarkupStream, WritesTheSameBytesAsAWholeDocumentSave) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const Writer write = [seed](CMarkup& xml) {
            std::mt19937 rng(seed);
            xml.AddElem("ROOT");
            xml.SetAttrib("seed", static_cast<int>(seed));
            RandomChildren(xml, rng, 0);
        };
        TempDir dir;
        ASSERT_EQ(Streamed(write, dir), Saved(write, dir)) << "seed " << seed;
    }
}

TEST(MarkupStream, ReportShapedDocumentsMatchAndStaySmallInMemory) {
    size_t largestHeld = 0;
    const Writer write = [&largestHeld](CMarkup& xml) {
        xml.AddElem("REPORTS");
        xml.SetAttrib("ProjectName", "Site & <Co>");
        xml.IntoElem();
        for (int r = 0; r < 3; ++r) {
            xml.AddElem("TABLEREPORT");
            xml.SetAttrib("Name", "Report " + std::to_string(r));
            xml.AddChildElem("DESCRIPTION", "d");
            xml.AddChildElem("ROWS");
            xml.IntoElem();
            for (int row = 0; row < 2000; ++row) {
                xml.AddChildElem("ROW");
                xml.IntoElem();
                xml.AddChildElem("COL", "/page-" + std::to_string(row));
                xml.SetChildAttrib("RealURL", "http://x/?a=1&b=2");
                xml.AddChildElem("COL", row);
                xml.OutOfElem();
                if (row % 250 == 0) largestHeld = std::max(largestHeld, xml.GetDoc().size());
            }
            xml.OutOfElem();
        }
        xml.AddElem("FOLDER");
        xml.AddChildElem("MESSAGE", "");
    };
    TempDir dir;
    const std::string streamed = Streamed(write, dir);
    EXPECT_GT(largestHeld, 0u);
    const size_t streamedHeld = largestHeld;
    EXPECT_EQ(streamed, Saved(write, dir));
    EXPECT_LT(streamedHeld, 2000u) << "a streamed document holds only its open path";
    EXPECT_GT(streamed.size(), 150000u);
}

TEST(MarkupStream, RefusesToChangeWhatIsWritten) {
    TempDir dir;
    CMarkup xml;
    ASSERT_TRUE(xml.StartStream(dir.file("s.xml").c_str()));
    xml.AddElem("R");
    xml.AddChildElem("A");
    EXPECT_TRUE(xml.SetChildAttrib("x", "1")) << "the last element is still open";
    xml.IntoElem();
    xml.AddChildElem("B");
    xml.AddChildElem("C");  // writes B, and so the start tags of R and A
    xml.OutOfElem();
    EXPECT_FALSE(xml.SetChildAttrib("y", "2")) << "A's start tag is in the file";
    EXPECT_FALSE(xml.SetAttrib("y", "2"));
    EXPECT_FALSE(xml.InsertChildElem("Z"));
    EXPECT_FALSE(xml.AddSubDoc("<S/>"));
    EXPECT_FALSE(xml.Save(dir.file("other.xml")));
    ASSERT_TRUE(xml.EndStream());
    CMarkup back;
    ASSERT_TRUE(back.Load(dir.file("s.xml")));
    ASSERT_TRUE(back.FindChildElem("A"));
    EXPECT_EQ(back.GetChildAttrib("x"), "1");
    back.IntoElem();
    EXPECT_TRUE(back.FindChildElem("B"));
    EXPECT_TRUE(back.FindChildElem("C"));
}

TEST(MarkupStream, AFailedStreamLeavesTheTargetAlone) {
    CMarkup xml;
    EXPECT_FALSE(xml.StartStream("/nonexistent-folder/s.xml"));
    EXPECT_FALSE(xml.GetError().empty());
    EXPECT_FALSE(xml.EndStream());

    TempDir dir;
    WriteFile(dir.file("s.xml"), "old");
    {
        CMarkup abandoned;
        ASSERT_TRUE(abandoned.StartStream(dir.file("s.xml").c_str()));
        abandoned.AddElem("R");
        abandoned.AddChildElem("A");
        abandoned.AddChildElem("B");
    }  // never ended: the temporary file goes, the target stays
    EXPECT_EQ(ReadFile(dir.file("s.xml")), "old");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        entries += !e.path().empty();
    EXPECT_EQ(entries, 1);
}

// Large reports have their write-back started stretch by stretch while they are written; the
// file must still hold every byte, in order, replacing the old target.
TEST(MarkupStream, AStreamOfManyMegabytesArrivesWhole) {
    TempDir dir;
    WriteFile(dir.file("big.xml"), "old report");
    CMarkup xml;
    ASSERT_TRUE(xml.StartStream(dir.file("big.xml").c_str()));
    xml.AddElem("R");
    std::string expected;
    std::mt19937 rng(7);
    for (int piece = 0; piece < 700; ++piece) {
        // Pieces of uneven sizes, so that stretches end inside pieces.
        std::string text(20000 + rng() % 20000, 'a' + static_cast<char>(piece % 26));
        text += "\n";
        ASSERT_TRUE(xml.WriteRawContent(text.data(), text.size()));
        expected += text;
    }
    ASSERT_TRUE(xml.EndStream()) << xml.GetError();
    const std::string written = ReadFile(dir.file("big.xml"));
    ASSERT_GT(written.size(), 16u << 20);
    const size_t start = written.find("<R>\n");
    ASSERT_NE(start, std::string::npos);
    EXPECT_TRUE(written.compare(start + 4, expected.size(), expected) == 0);
    EXPECT_EQ(written.substr(start + 4 + expected.size()), "</R>\n");
}
