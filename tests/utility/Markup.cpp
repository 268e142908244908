#include "utility/Markup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>

#include "support/TempDir.h"

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

// <ROOT><A>1</A><B>2</B><A>3</A><C><D>4</D></C></ROOT>
CMarkup SampleDoc() {
    CMarkup xml;
    EXPECT_TRUE(xml.SetDoc("<ROOT><A>1</A><B>2</B><A>3</A><C><D>4</D></C></ROOT>"));
    return xml;
}

std::string AllBytes() {
    std::string s;
    for (int c = 1; c < 256; ++c) s += static_cast<char>(c);
    return s;
}

}  // namespace

TEST(MarkupNavigation, FindElemScansForwardOnly) {
    CMarkup xml = SampleDoc();
    ASSERT_TRUE(xml.FindElem("ROOT"));
    ASSERT_TRUE(xml.IntoElem());
    EXPECT_TRUE(xml.FindElem("B"));
    EXPECT_EQ(xml.GetData(), "2");
    // The first A stands before B, so only the second one is found.
    ASSERT_TRUE(xml.FindElem("A"));
    EXPECT_EQ(xml.GetData(), "3");
    EXPECT_FALSE(xml.FindElem("B"));
    EXPECT_EQ(xml.GetData(), "3") << "a failed find must not move the main position";
    xml.ResetMainPos();
    ASSERT_TRUE(xml.FindElem("A"));
    EXPECT_EQ(xml.GetData(), "1");
}

TEST(MarkupNavigation, FindElemWithoutTagTakesAnyElement) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    xml.IntoElem();
    std::string tags;
    while (xml.FindElem()) tags += xml.GetTagName();
    EXPECT_EQ(tags, "ABAC");
}

TEST(MarkupNavigation, ChildPositionMovesUnderTheMainElement) {
    CMarkup xml = SampleDoc();
    ASSERT_TRUE(xml.FindElem("ROOT"));
    ASSERT_TRUE(xml.FindChildElem("A"));
    EXPECT_EQ(xml.GetChildData(), "1");
    ASSERT_TRUE(xml.FindChildElem("A"));
    EXPECT_EQ(xml.GetChildData(), "3");
    EXPECT_FALSE(xml.FindChildElem("A"));
    EXPECT_EQ(xml.GetChildTagName(), "A");
    ASSERT_TRUE(xml.FindChildElem("C"));
    // Into the child: C becomes the main position, ROOT the parent.
    ASSERT_TRUE(xml.IntoElem());
    EXPECT_EQ(xml.GetTagName(), "C");
    ASSERT_TRUE(xml.FindChildElem("D"));
    EXPECT_EQ(xml.GetChildData(), "4");
    // Out again: ROOT is main, C the child position, so the scan goes on after C.
    ASSERT_TRUE(xml.OutOfElem());
    EXPECT_EQ(xml.GetTagName(), "ROOT");
    EXPECT_EQ(xml.GetChildTagName(), "C");
    EXPECT_FALSE(xml.FindChildElem());
    xml.ResetChildPos();
    EXPECT_TRUE(xml.FindChildElem("B"));
}

TEST(MarkupNavigation, IntoElemWithoutChildPositionLeavesNoMainPosition) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    ASSERT_TRUE(xml.IntoElem());
    EXPECT_EQ(xml.GetTagName(), "");
    EXPECT_TRUE(xml.FindElem("C"));
    ASSERT_TRUE(xml.IntoElem());
    EXPECT_TRUE(xml.FindElem("D"));
    ASSERT_TRUE(xml.OutOfElem());
    EXPECT_EQ(xml.GetTagName(), "C");
    ASSERT_TRUE(xml.OutOfElem());
    EXPECT_EQ(xml.GetTagName(), "ROOT");
    EXPECT_FALSE(xml.OutOfElem()) << "the document level has no parent";
}

TEST(MarkupNavigation, IntoElemNeedsAMainPosition) {
    CMarkup xml = SampleDoc();
    EXPECT_FALSE(xml.IntoElem());
    EXPECT_FALSE(xml.OutOfElem());
}

TEST(MarkupNavigation, FindChildElemWithoutMainPositionTakesTheRoot) {
    CMarkup xml = SampleDoc();
    ASSERT_TRUE(xml.FindChildElem("B"));
    EXPECT_EQ(xml.GetTagName(), "ROOT");
}

TEST(MarkupNavigation, ResetPosReturnsToTheDocumentLevel) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    xml.IntoElem();
    xml.FindElem("C");
    xml.ResetPos();
    EXPECT_EQ(xml.GetTagName(), "");
    ASSERT_TRUE(xml.FindElem("ROOT"));
}

TEST(MarkupBuilding, AddElemPlacesAfterTheMainPosition) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    xml.IntoElem();
    xml.FindElem("B");
    ASSERT_TRUE(xml.AddElem("X", "new"));
    EXPECT_EQ(xml.GetTagName(), "X");
    xml.ResetMainPos();
    std::string tags;
    while (xml.FindElem()) tags += xml.GetTagName();
    EXPECT_EQ(tags, "ABXAC");
}

TEST(MarkupBuilding, AddElemWithoutMainPositionAppends) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    xml.IntoElem();
    ASSERT_TRUE(xml.AddElem("Z"));
    xml.ResetMainPos();
    std::string tags;
    while (xml.FindElem()) tags += xml.GetTagName();
    EXPECT_EQ(tags, "ABACZ");
}

TEST(MarkupBuilding, InsertElemPlacesBeforeTheMainPositionOrFirst) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    xml.IntoElem();
    ASSERT_TRUE(xml.InsertElem("FIRST"));
    xml.FindElem("C");
    ASSERT_TRUE(xml.InsertElem("BEFOREC"));
    xml.ResetMainPos();
    std::string tags;
    while (xml.FindElem()) tags += xml.GetTagName() + ",";
    EXPECT_EQ(tags, "FIRST,A,B,A,BEFOREC,C,");
}

TEST(MarkupBuilding, AddChildElemPlacesAfterTheChildPosition) {
    CMarkup xml;
    ASSERT_TRUE(xml.AddElem("ROOT"));
    ASSERT_TRUE(xml.AddChildElem("ONE", 1));
    ASSERT_TRUE(xml.AddChildElem("THREE", 3));
    xml.ResetChildPos();
    xml.FindChildElem("ONE");
    ASSERT_TRUE(xml.AddChildElem("TWO", "2"));
    EXPECT_EQ(xml.GetChildTagName(), "TWO");
    ASSERT_TRUE(xml.InsertChildElem("ZERO"));
    xml.ResetChildPos();
    std::string tags;
    while (xml.FindChildElem()) tags += xml.GetChildTagName() + "=" + xml.GetChildData() + ",";
    EXPECT_EQ(tags, "ONE=1,ZERO=,TWO=2,THREE=3,");
}

TEST(MarkupBuilding, AddChildElemNeedsAMainPosition) {
    CMarkup xml;
    EXPECT_FALSE(xml.AddChildElem("X"));
    EXPECT_FALSE(xml.SetAttrib("a", "b"));
    EXPECT_FALSE(xml.SetData("x"));
}

TEST(MarkupBuilding, ADocumentHasOneRoot) {
    CMarkup xml;
    ASSERT_TRUE(xml.AddElem("ROOT"));
    EXPECT_FALSE(xml.AddElem("SECOND"));
    EXPECT_FALSE(xml.AddSubDoc("<OTHER/>"));
}

TEST(MarkupBuilding, WritesAndReadsTheWayTheFileReadersDo) {
    CMarkup out;
    out.AddElem("PROJECT");
    out.SetAttrib("version", "1");
    out.SetAttrib("Name", "Site");
    out.AddChildElem("LOGFILES");
    out.IntoElem();
    out.AddChildElem("LOGFILEENTRY");
    out.SetChildAttrib("Type", "LOCAL");
    out.IntoElem();
    out.AddChildElem("PATH", "/var/log/*.log");
    out.SetChildAttrib("Type", 2);
    out.OutOfElem();
    out.OutOfElem();
    out.AddChildElem("TRACKING");

    CMarkup in;
    ASSERT_TRUE(in.SetDoc(out.GetDoc()));
    ASSERT_TRUE(in.FindElem("PROJECT"));
    EXPECT_EQ(in.GetAttrib("Name"), "Site");
    EXPECT_EQ(in.GetAttribName(0), "version");
    EXPECT_EQ(in.GetAttribName(1), "Name");
    EXPECT_EQ(in.GetAttribName(2), "");
    ASSERT_TRUE(in.FindChildElem("LOGFILES"));
    in.IntoElem();
    ASSERT_TRUE(in.FindChildElem("LOGFILEENTRY"));
    EXPECT_EQ(in.GetChildAttrib("Type"), "LOCAL");
    in.IntoElem();
    ASSERT_TRUE(in.FindChildElem("PATH"));
    EXPECT_EQ(in.GetChildData(), "/var/log/*.log");
    EXPECT_EQ(in.GetChildAttrib("Type"), "2");
    EXPECT_EQ(in.GetChildAttrib("Missing"), "");
    in.OutOfElem();
    in.OutOfElem();
    EXPECT_TRUE(in.FindChildElem("TRACKING"));
    EXPECT_EQ(in.GetChildData(), "");
}

TEST(MarkupBuilding, SetDataReplacesTextButNotElements) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    EXPECT_FALSE(xml.SetData("x")) << "ROOT holds elements";
    xml.FindChildElem("B");
    EXPECT_TRUE(xml.SetChildData("changed"));
    EXPECT_EQ(xml.GetChildData(), "changed");
    EXPECT_TRUE(xml.SetChildData("<cdata & text>", 1));
    EXPECT_EQ(xml.GetChildData(), "<cdata & text>");
    CMarkup again(xml.GetDoc().c_str());
    again.FindChildElem("B");
    EXPECT_EQ(again.GetChildData(), "<cdata & text>");
    EXPECT_NE(xml.GetDoc().find("<![CDATA["), std::string::npos);
}

TEST(MarkupBuilding, CDataHoldingTheEndMarkerSurvives) {
    CMarkup xml;
    xml.AddElem("R");
    xml.SetData("a]]>b", 1);
    CMarkup again(xml.GetDoc().c_str());
    again.FindElem();
    EXPECT_EQ(again.GetData(), "a]]>b");
}

TEST(MarkupBuilding, RemoveAttrib) {
    CMarkup xml;
    xml.AddElem("R");
    xml.SetAttrib("a", "1");
    xml.SetAttrib("b", "2");
    xml.SetAttrib("a", "3");
    EXPECT_EQ(xml.GetAttrib("a"), "3");
    EXPECT_TRUE(xml.RemoveAttrib("a"));
    EXPECT_FALSE(xml.RemoveAttrib("a"));
    EXPECT_EQ(xml.GetAttribName(0), "b");
}

TEST(MarkupBuilding, SubDocumentsRoundTrip) {
    CMarkup xml = SampleDoc();
    xml.FindElem();
    xml.IntoElem();
    xml.FindElem("C");
    const std::string sub = xml.GetSubDoc();
    EXPECT_NE(sub.find("<D>4</D>"), std::string::npos);

    CMarkup other;
    other.AddElem("HOLDER");
    other.IntoElem();
    ASSERT_TRUE(other.AddSubDoc(sub.c_str()));
    EXPECT_EQ(other.GetTagName(), "C");
    ASSERT_TRUE(other.FindChildElem("D"));
    EXPECT_EQ(other.GetChildData(), "4");
    EXPECT_FALSE(other.AddSubDoc("<broken>"));
}

TEST(MarkupBuilding, AddNodeKeepsTheMainPosition) {
    CMarkup xml;
    xml.AddElem("R");
    xml.IntoElem();
    xml.AddElem("A");
    ASSERT_TRUE(xml.AddNode(CMarkup::MNT_COMMENT, " note "));
    EXPECT_EQ(xml.GetTagName(), "A");
    EXPECT_TRUE(xml.AddNode(CMarkup::MNT_PROCESSING_INSTRUCTION, "xml version=\"1.0\""));
    EXPECT_FALSE(xml.AddNode(12345, "x"));
    const std::string doc = xml.GetDoc();
    EXPECT_NE(doc.find("<!-- note -->"), std::string::npos);
    EXPECT_EQ(doc.find("<?xml"), doc.rfind("<?xml")) << "one declaration only";
}

class MarkupBytes : public ::testing::TestWithParam<std::string> {};

TEST_P(MarkupBytes, DataAndAttributesReadBackExactly) {
    const std::string text = GetParam();
    CMarkup out;
    out.AddElem("R");
    out.SetAttrib("v", text);
    out.AddChildElem("D", text);
    out.AddChildElem("C");
    out.SetChildData(text, 1);

    CMarkup in;
    ASSERT_TRUE(in.SetDoc(out.GetDoc())) << in.GetError();
    ASSERT_TRUE(in.FindElem("R"));
    EXPECT_EQ(in.GetAttrib("v"), text);
    ASSERT_TRUE(in.FindChildElem("D"));
    EXPECT_EQ(in.GetChildData(), text);
    ASSERT_TRUE(in.FindChildElem("C"));
    EXPECT_EQ(in.GetChildData(), text);
}

INSTANTIATE_TEST_SUITE_P(Texts, MarkupBytes,
                         ::testing::Values(AllBytes(), std::string("a & b < c > d \" e ' f"),
                                           std::string("\t\r\n"),
                                           std::string("  leading and trailing  "),
                                           std::string("line\r\nbreak\rcr"),
                                           std::string("&amp; already escaped &lt;"),
                                           std::string("caf\xc3\xa9 \xe2\x82\xac"),
                                           std::string("\xe9\xe8\xff\x80 cp1252"),
                                           std::string("]]>"), std::string(" ")));

TEST(MarkupFiles, SaveAndLoadKeepTheDocument) {
    TempDir dir;
    CMarkup out = SampleDoc();
    ASSERT_TRUE(out.Save(dir.file("doc.xml")));
    CMarkup in;
    ASSERT_TRUE(in.Load(dir.file("doc.xml"))) << in.GetError();
    EXPECT_EQ(in.GetDoc(), out.GetDoc());
    EXPECT_EQ(ReadFile(dir.file("doc.xml")), out.GetDoc());
}

TEST(MarkupFiles, SaveReplacesAtomicallyAndLeavesNoTemporaryFiles) {
    TempDir dir;
    const std::string path = dir.file("doc.xml");
    WriteFile(path, "old");
    chmod(path.c_str(), 0640);
    CMarkup xml = SampleDoc();
    ASSERT_TRUE(xml.Save(path));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "an existing file keeps its permissions";
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(MarkupFiles, OwnerOnlySaveIsPrivate) {
    TempDir dir;
    CMarkup xml = SampleDoc();
    ASSERT_TRUE(xml.Save(dir.file("secret.xml"), true));
    struct stat st;
    ASSERT_EQ(stat(dir.file("secret.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(MarkupFiles, FailedSaveKeepsTheOldFile) {
    if (geteuid() == 0) {
        // root writes into read-only folders; a missing folder fails for everyone
        CMarkup xml = SampleDoc();
        EXPECT_FALSE(xml.Save("/nonexistent-folder/doc.xml"));
        EXPECT_FALSE(xml.GetError().empty());
        return;
    }
    TempDir dir;
    const std::string path = dir.file("doc.xml");
    WriteFile(path, "<OLD/>");
    chmod(dir.path().c_str(), 0500);
    CMarkup xml = SampleDoc();
    EXPECT_FALSE(xml.Save(path));
    EXPECT_FALSE(xml.GetError().empty());
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(ReadFile(path), "<OLD/>");
}

TEST(MarkupFiles, SaveIntoAMissingFolderFails) {
    CMarkup xml = SampleDoc();
    EXPECT_FALSE(xml.Save("/nonexistent-folder/doc.xml"));
    EXPECT_NE(xml.GetError().find("nonexistent-folder"), std::string::npos);
}

TEST(MarkupFiles, ReadsAByteOrderMarkAndForeignDeclarations) {
    TempDir dir;
    WriteFile(
        dir.file("bom.xml"),
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<R a=\"\xe9\">\xe9</R>");
    CMarkup xml;
    ASSERT_TRUE(xml.Load(dir.file("bom.xml"))) << xml.GetError();
    ASSERT_TRUE(xml.FindElem("R"));
    EXPECT_EQ(xml.GetData(), "\xe9") << "bytes are never re-encoded";
    EXPECT_EQ(xml.GetAttrib("a"), "\xe9");
}

class MarkupMalformed : public ::testing::TestWithParam<std::pair<const char*, std::string>> {};

TEST_P(MarkupMalformed, LoadFailsWithAReason) {
    TempDir dir;
    const std::string path = dir.file("bad.xml");
    WriteFile(path, GetParam().second);
    CMarkup xml;
    EXPECT_FALSE(xml.Load(path));
    EXPECT_FALSE(xml.GetError().empty());
    EXPECT_FALSE(xml.FindElem()) << "a failed load leaves an empty document";
    EXPECT_FALSE(xml.SetDoc(GetParam().second) && !GetParam().second.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MarkupMalformed,
    ::testing::Values(std::make_pair("empty", std::string()),
                      std::make_pair("truncated", std::string("<ROOT><A>1</A><B>2")),
                      std::make_pair("unbalanced", std::string("<ROOT><A></B></ROOT>")),
                      std::make_pair("two_roots", std::string("<A/><B/>")),
                      std::make_pair("garbage",
                                     std::string("\x01\x02\xff\xfe\x00\x7f<<<>>>&&", 14)),
                      std::make_pair("only_text", std::string("just text"))),
    [](const auto& info) { return std::string(info.param.first); });

TEST(MarkupMalformed, AnUnknownEntityReadsLiterally) {
    CMarkup xml("<A>&bogus; &amp;</A>");
    ASSERT_TRUE(xml.FindElem("A"));
    EXPECT_EQ(xml.GetData(), "&bogus; &");
}

TEST(MarkupMalformed, MissingFileAndFolderFail) {
    TempDir dir;
    CMarkup xml;
    EXPECT_FALSE(xml.Load(dir.file("missing.xml")));
    EXPECT_NE(xml.GetError().find("missing.xml"), std::string::npos);
    EXPECT_FALSE(xml.Load(dir.path().string()));
}

TEST(MarkupMalformed, RandomGarbageNeverCrashes) {
    std::mt19937 rng(20261208);
    const std::string seed = CMarkup(SampleDoc()).GetDoc();
    for (int i = 0; i < 3000; ++i) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = rng() % text.size();
            switch (rng() % 4) {
                case 0:
                    text[at] = static_cast<char>(rng() % 255 + 1);
                    break;
                case 1:
                    text.erase(at, rng() % 8);
                    break;
                case 2:
                    text.insert(at, "<&\"'>");
                    break;
                default:
                    text.resize(at);
                    break;
            }
        }
        CMarkup xml;
        if (xml.SetDoc(text)) {
            while (xml.FindElem()) {
                xml.GetData();
                xml.IntoElem();
            }
        } else {
            EXPECT_FALSE(xml.GetError().empty());
        }
    }
}

TEST(MarkupLimits, DeepNestingLoadsAndSaves) {
    const int depth = 10000;
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<N>";
    for (int i = 0; i < depth; ++i) text += "</N>";
    CMarkup xml;
    ASSERT_TRUE(xml.SetDoc(text)) << xml.GetError();
    int levels = 0;
    while (xml.FindElem("N") && xml.IntoElem()) ++levels;
    EXPECT_EQ(levels, depth);
    EXPECT_FALSE(xml.GetDoc().empty());

    std::string unclosed;
    for (int i = 0; i < depth; ++i) unclosed += "<N>";
    EXPECT_FALSE(xml.SetDoc(unclosed));
}

TEST(MarkupLimits, HundredMegabyteTextNode) {
    TempDir dir;
    const size_t size = 100u << 20;
    std::string text = "<BIG>";
    text.append(size, 'x');
    text += "</BIG>";
    WriteFile(dir.file("big.xml"), text);
    text.clear();
    text.shrink_to_fit();
    CMarkup xml;
    ASSERT_TRUE(xml.Load(dir.file("big.xml"))) << xml.GetError();
    ASSERT_TRUE(xml.FindElem("BIG"));
    EXPECT_EQ(xml.GetData().size(), size);

    // The same node cut short is an error, not a hang.
    const std::string cut = ReadFile(dir.file("big.xml")).substr(0, size / 2);
    WriteFile(dir.file("cut.xml"), cut);
    EXPECT_FALSE(xml.Load(dir.file("cut.xml")));
}

TEST(MarkupCopy, CopiesHoldTheSameDocument) {
    CMarkup a = SampleDoc();
    a.FindElem();
    CMarkup b(a);
    EXPECT_EQ(b.GetDoc(), a.GetDoc());
    EXPECT_EQ(b.GetTagName(), "") << "copies start at the document level";
    b.FindElem();
    b.AddChildElem("NEW");
    EXPECT_NE(b.GetDoc(), a.GetDoc()) << "copies are independent";
}
