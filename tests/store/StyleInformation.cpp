#include <gtest/gtest.h>

#include "ProjectSamples.h"
#include "store/style/Styles.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using namespace logvane::test;

namespace {

struct ColorAttributes {
    std::string id, size, fontcolor, bgcolor;
};

std::vector<ColorAttributes> ColorStyles(CMarkup& doc) {
    std::vector<ColorAttributes> all;
    while (doc.FindChildElem("COLORSTYLE"))
        all.push_back({doc.GetChildAttrib("ID"), doc.GetChildAttrib("size"),
                       doc.GetChildAttrib("fontcolor"), doc.GetChildAttrib("bgcolor")});
    return all;
}

CStyle FromXml(const std::string& xml) {
    CMarkup doc(xml.c_str());
    doc.FindElem();
    return CStyle(doc);
}

}  // namespace

TEST(ColorStyle, CssRuleOfTheDefaults) {
    EXPECT_EQ(CColorStyle().GetStyleCSS(".x"),
              ".x { color: rgb(0,0,0); background-color: rgb(255,255,255); font-weight: Normal; "
              "font-style: Normal; font-family: Arial; font-size: 12pt;}\n");
}

TEST(ColorStyle, CssRuleTakesRedFromTheLowestByte) {
    const CColorStyle c("Times New Roman", 9, 0x00C08874, 0x00010203, true, true);
    EXPECT_EQ(c.GetStyleCSS("td.a"),
              "td.a { color: rgb(116,136,192); background-color: rgb(3,2,1); font-weight: Bold; "
              "font-style: Italic; font-family: Times New Roman; font-size: 9pt;}\n");
    const std::string longName(5000, 'F');
    const std::string rule = CColorStyle(longName, 1, 0, 0).GetStyleCSS("p");
    EXPECT_NE(rule.find("font-family: " + longName + "; font-size: 1pt;}\n"), std::string::npos);
}

TEST(Style, NewStyleSavesTheDocumentedDefaults) {
    CMarkup doc = CStyle().Save();
    doc.ResetPos();
    ASSERT_TRUE(doc.FindElem("STYLE"));
    EXPECT_EQ(doc.GetAttrib("type"), "basic");
    EXPECT_EQ(doc.GetAttrib("name"), "default");
    const auto colors = ColorStyles(doc);
    ASSERT_EQ(colors.size(), 7u);
    const char* ids[] = {"ReportName",  "ReportList",  "Table1",     "Table2",
                         "TableHeader", "Description", "ReportLinks"};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(colors[i].id, ids[i]);
        EXPECT_EQ(colors[i].bgcolor, "16777215");
        EXPECT_EQ(colors[i].size, i < 6 ? "12" : "9");
        EXPECT_EQ(colors[i].fontcolor, i < 6 ? "0" : "12617844");
    }
    doc.ResetChildPos();
    std::vector<std::string> order;
    while (doc.FindChildElem()) order.push_back(doc.GetChildTagName());
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 4),
              (std::vector<std::string>{"BACKGROUND", "CSSFILE", "HEADERFILE", "FOOTERFILE"}));
}

TEST(Style, FullyPopulatedStyleRoundTripsThroughItsElement) {
    const CStyle original = SampleStyle("Everything");
    CMarkup doc = original.Save();
    CMarkup reread(doc.GetDoc().c_str());
    reread.FindElem();
    EXPECT_EQ(CStyle(reread), original);
}

TEST(Style, ColorStyleIdsIgnoreCaseAndUnknownOnesAreSkipped) {
    const CStyle s = FromXml(
        "<STYLE type='ADVANCED' name='n'><COLORSTYLE ID='table1' fontname='Courier' size='7' "
        "bold='2' italic='0' fontcolor='-1' bgcolor='255'/><COLORSTYLE ID='Table9' size='99'/>"
        "<REPORT>a</REPORT><REPORT>a</REPORT><REPORT></REPORT><REPORT>b</REPORT></STYLE>");
    EXPECT_EQ(s.GetStyleType(), CStyle::advanced);
    EXPECT_EQ(s.GetStyleTable1(), CColorStyle("Courier", 7, 0xFFFFFFFF, 255, true, false));
    EXPECT_EQ(s.GetStyleTable2(), CColorStyle());
    ASSERT_EQ(s.GetNumReports(), 2);
    EXPECT_EQ(s.GetReport(1), "b");
}

TEST(Style, MissingAttributesReadAsEmptyOrZero) {
    const CStyle s = FromXml("<STYLE type='odd'><COLORSTYLE ID='Description'/></STYLE>");
    EXPECT_EQ(s.GetStyleType(), CStyle::basic);
    EXPECT_EQ(s.GetName(), "");
    EXPECT_EQ(s.GetStyleDescription(), CColorStyle("", 0, 0, 0));
    EXPECT_EQ(s.GetBackground(), 0xFFFFFFu);
}

TEST(Style, ReportListOperations) {
    CStyle s;
    s.AddReport("");
    s.AddReport("Hits");
    s.AddReport("hits");
    EXPECT_EQ(s.GetNumReports(), 2);
    EXPECT_EQ(s.FindReport("hits"), 1);
    EXPECT_EQ(s.FindReport("HITS"), -1);
    EXPECT_EQ(s.IsReportInList("Hits"), 1);
    EXPECT_FALSE(s.ReportExists(2));
    EXPECT_EQ(s.GetReport(2), "");
    s.RemoveReport(5);
    s.RemoveReport(0);
    EXPECT_EQ(s.GetReport(0), "hits");
    s.AllocateReports(3);
    EXPECT_EQ(s.GetNumReports(), 3);
    EXPECT_EQ(s.GetReport(2), "");
    s.AllocateReports(-1);
    EXPECT_EQ(s.GetNumReports(), 0);
}

class StylesFile : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(StylesFile, StylesRoundTripThroughTheFileInOrder) {
    CStyles styles;
    styles.Insert(new CStyle(SampleStyle("One")));
    styles.Insert(new CStyle());
    styles.Insert(new CStyle(SampleStyle("Two")));
    const std::string path = dir.file("styles-custom.xml");
    ASSERT_TRUE(styles.SaveXML(path.c_str()));

    CMarkup doc;
    ASSERT_TRUE(doc.Load(path));
    ASSERT_TRUE(doc.FindElem("STYLES"));
    EXPECT_EQ(doc.GetAttrib("version"), "1");

    CStyles loaded;
    loaded.Insert(new CStyle(SampleStyle("Already")));
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));
    ASSERT_EQ(loaded.GetNumStyles(), 4);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(*loaded.GetStyle(i + 1), *styles.GetStyle(i)) << i;
}

TEST_F(StylesFile, MissingOrMalformedFilesAddNothing) {
    WriteFile(dir.file("broken.xml"), "<STYLES><STYLE name='x'>");
    WriteFile(dir.file("foreign.xml"), "<PROJECT><STYLE name='x'/></PROJECT>");
    for (const char* name : {"missing.xml", "broken.xml", "foreign.xml"}) {
        CStyles styles;
        styles.Insert(new CStyle());
        EXPECT_FALSE(styles.LoadXML(dir.file(name).c_str())) << name;
        EXPECT_EQ(styles.GetNumStyles(), 1) << name;
    }
}

TEST(Styles, InsertPositions) {
    CStyles styles;
    for (int i = 0; i < 3; ++i) styles.Insert(new CStyle(SampleStyle(std::to_string(i))));
    auto* stray = new CStyle(SampleStyle("stray"));
    EXPECT_EQ(styles.Insert(stray, 5), -1);
    EXPECT_EQ(styles.GetNumStyles(), 3);
    delete stray;  // a refused style stays the caller's
    EXPECT_EQ(styles.Insert(nullptr), -1);
    EXPECT_EQ(styles.Insert(new CStyle(SampleStyle("end")), 3), 3);
    EXPECT_EQ(styles.Insert(new CStyle(SampleStyle("front")), 0), 0);
    EXPECT_EQ(styles.GetStyle(0)->GetName(), "front");
    EXPECT_EQ(styles.GetStyle(4)->GetName(), "end");
    EXPECT_EQ(styles.GetStyle(5), nullptr);
    EXPECT_EQ(styles.GetStyle(-1), nullptr);
    styles.Remove(9);
    styles.Remove(0);
    EXPECT_EQ(styles.GetStyle(0)->GetName(), "0");
    styles.Allocate(6);
    ASSERT_NE(styles.GetStyle(5), nullptr);
    EXPECT_EQ(*styles.GetStyle(5), CStyle());
    styles.Allocate(0);
    EXPECT_EQ(styles.GetNumStyles(), 0);
}
