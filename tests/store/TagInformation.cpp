#include "store/filter/TagInformation.h"

#include <gtest/gtest.h>

#include "utility/Markup.h"

using Trigger = CTagInformation::CTriggerInformation;

TEST(TagInformation, RoundTripsAfterTheCurrentChildOfTheProject) {
    CTagInformation tags;
    tags.AddTriggerInformation(Trigger(CTagInformation::REFERRER, "*search*", "S"));
    tags.AddTriggerInformation(Trigger(CTagInformation::SITEENTRY, "/a&b<c>", "A \"quoted\""));
    tags.AddTriggerInformation(Trigger(CTagInformation::ANYPAGE, "", ""));
    CMarkup doc;
    doc.AddElem("PROJECT");
    doc.AddChildElem("TRACKING");
    tags.SaveXML(doc);
    EXPECT_EQ(doc.GetTagName(), "PROJECT");
    EXPECT_EQ(doc.GetChildTagName(), "TAGS");

    CMarkup reread(doc.GetDoc().c_str());
    reread.FindElem();
    reread.IntoElem();
    ASSERT_TRUE(reread.FindElem("TRACKING"));
    ASSERT_TRUE(reread.FindElem("TAGS"));
    CTagInformation loaded;
    loaded.LoadXML(reread);
    EXPECT_EQ(loaded, tags);
    loaded.LoadXML(reread);  // the list is not emptied first
    EXPECT_EQ(loaded.GetNumTriggers(), 6);
}

TEST(TagInformation, UnknownTypesCountAnyPageAndOtherElementsAreIgnored) {
    CMarkup doc("<TAGS><TAG Type='referrer' Name='x'>/x</TAG><OTHER/><TAG>/y</TAG></TAGS>");
    doc.FindElem();
    CTagInformation tags;
    tags.LoadXML(doc);
    ASSERT_EQ(tags.GetNumTriggers(), 2);
    EXPECT_EQ(tags.GetTriggerInfo(0).GetTriggerType(), CTagInformation::ANYPAGE);
    EXPECT_EQ(tags.GetTriggerInfo(1).GetMatchText(), "/y");
    EXPECT_EQ(tags.GetTriggerInfo(7), Trigger());

    CMarkup other("<TAG Type='REFERRER'><TAG/></TAG>");
    other.FindElem();
    CTagInformation none;
    EXPECT_EQ(none.LoadXML(other), 0);
    EXPECT_EQ(none.GetNumTriggers(), 0);
}

TEST(TagInformation, InsertAndRemove) {
    CTagInformation tags;
    EXPECT_EQ(tags.AddTriggerInformation(Trigger(CTagInformation::ANYPAGE, "b", "b"), 3), 0);
    EXPECT_EQ(tags.AddTriggerInformation(Trigger(CTagInformation::ANYPAGE, "a", "a"), 0), 0);
    tags.RemoveTriggerInformation(2);
    tags.RemoveTriggerInformation(-1);
    EXPECT_EQ(tags.GetNumTriggers(), 2);
    tags.RemoveTriggerInformation(0);
    EXPECT_EQ(tags.GetTriggerInfo(0).GetName(), "b");
    EXPECT_EQ(
        CTagInformation::ConvertTriggerTypeToString(static_cast<CTagInformation::tag_trigger_t>(9)),
        "");
    EXPECT_EQ(CTagInformation::ConvertStringToTriggerType("SITEENTRY"), CTagInformation::SITEENTRY);
}
