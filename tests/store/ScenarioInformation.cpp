#include "store/filter/ScenarioInformation.h"

#include <gtest/gtest.h>

#include "ProjectSamples.h"
#include "utility/Markup.h"

using logvane::test::SampleFilter;

namespace {

CSpecificScenario ThreeSteps() {
    CSpecificScenario s;
    s.SetScenarioName("Buy");
    for (const char* name : {"a", "b", "c"})
        s.SetStepMatchText(std::string("/") + name, s.AddStep(name));
    return s;
}

std::string StepNames(const CSpecificScenario& s) {
    std::string names;
    for (int i = 0; i < s.GetNumSteps(); ++i) names += s.GetStepName(i);
    return names;
}

}  // namespace

TEST(SpecificScenario, StepsInsertMoveAndRemove) {
    CSpecificScenario s = ThreeSteps();
    EXPECT_EQ(s.AddStep("front", 0), 0);
    EXPECT_EQ(s.AddStep("end", 9), 4);
    EXPECT_EQ(s.GetStepMatchText(0), "");
    EXPECT_EQ(s.GetStepMatchType(0), CSpecificScenario::WILDCARD);
    EXPECT_EQ(StepNames(s), "frontabcend");
    s.MoveStepUp(0);
    s.MoveStepDown(4);
    s.MoveStepUp(-3);
    s.MoveStepDown(17);
    EXPECT_EQ(StepNames(s), "frontabcend");
    s.MoveStepUp(2);
    EXPECT_EQ(StepNames(s), "frontbacend");
    s.MoveStepDown(2);
    EXPECT_EQ(StepNames(s), "frontbcaend");
    EXPECT_EQ(s.GetStepMatchText(3), "/a");
    s.RemoveStep(5);
    s.RemoveStep(0);
    EXPECT_EQ(StepNames(s), "bcaend");
    s.SetStepMatchText("x", 99);
    EXPECT_EQ(s.GetStepName(99), "");
    s.Clear();
    EXPECT_EQ(s.GetNumSteps(), 0);
    EXPECT_EQ(s.GetScenarioName(), "Buy");
}

TEST(SpecificScenario, OneFilterPerInformationType) {
    CSpecificScenario s;
    s.AddFilter(SampleFilter(0, filter_t::RANGE_DATES, "", 1));
    s.AddFilter(SampleFilter(0, filter_t::FILE, "/a", 1));
    s.AddFilter(SampleFilter(1, filter_t::RANGE_DATES, "", 2));
    ASSERT_EQ(s.GetNumFilters(), 2);
    EXPECT_EQ(s.GetFilter(1), SampleFilter(1, filter_t::RANGE_DATES, "", 2));
    s.RemoveDateFilter();
    ASSERT_EQ(s.GetNumFilters(), 1);
    EXPECT_EQ(s.GetFilter(0).infoType, filter_t::FILE);
}

TEST(SpecificScenario, MatchTypeTexts) {
    EXPECT_EQ(CSpecificScenario::ConvertStringToMatchType("REGEXP"), CSpecificScenario::REGEXP);
    EXPECT_EQ(CSpecificScenario::ConvertStringToMatchType("regexp"), CSpecificScenario::WILDCARD);
    EXPECT_EQ(CSpecificScenario::ConvertMatchTypeToString(CSpecificScenario::REGEXP), "REGEXP");
    EXPECT_EQ(
        CSpecificScenario::ConvertMatchTypeToString(static_cast<CSpecificScenario::match_t>(5)),
        "");
}

TEST(ScenarioInformation, WritesScenariosWithFiltersFirstAndReadsThemBack) {
    const CProjectInformation project = logvane::test::SampleProject();
    const CScenarioInformation& original = project.GetScenarioInformation();
    CMarkup doc;
    doc.AddElem("PROJECT");
    doc.AddChildElem("TAGS");
    original.SaveXML(doc);
    EXPECT_EQ(doc.GetChildTagName(), "SCENARIOS");

    CMarkup reread(doc.GetDoc().c_str());
    reread.FindElem();
    reread.IntoElem();
    ASSERT_TRUE(reread.FindElem("SCENARIOS"));
    ASSERT_TRUE(reread.FindChildElem("SCENARIO"));
    reread.IntoElem();
    ASSERT_TRUE(reread.FindChildElem());
    EXPECT_EQ(reread.GetChildTagName(), "FILTERS");
    reread.OutOfElem();

    CScenarioInformation loaded;
    loaded.AddSpecificScenario(new CSpecificScenario(ThreeSteps()));
    ASSERT_TRUE(loaded.LoadXML(reread));
    EXPECT_EQ(loaded, original);
}

TEST(ScenarioInformation, ReaderKeepsOneFilterPerTypeAndReadsStepsInAnyOrder) {
    CMarkup doc(
        "<SCENARIOS><SCENARIO Name='s'><STEP Name='one' Type='REGEXP'>/1</STEP><FILTERS>"
        "<FILTER><INFORMATION>FILE</INFORMATION><STRING>a</STRING></FILTER>"
        "<FILTER><INFORMATION>FILE</INFORMATION><STRING>b</STRING></FILTER></FILTERS>"
        "<STEP>/2</STEP><JUNK/></SCENARIO><OTHER/><SCENARIO/></SCENARIOS>");
    doc.FindElem();
    CScenarioInformation list;
    list.LoadXML(doc);
    ASSERT_EQ(list.GetNumScenarios(), 2);
    const CSpecificScenario* s = list.GetSpecificScenario(0);
    ASSERT_EQ(s->GetNumFilters(), 1);
    EXPECT_EQ(s->GetFilter(0).string, "b");
    ASSERT_EQ(s->GetNumSteps(), 2);
    EXPECT_EQ(s->GetStepMatchType(0), CSpecificScenario::REGEXP);
    EXPECT_EQ(s->GetStepMatchText(1), "/2");
    EXPECT_EQ(s->GetStepMatchType(1), CSpecificScenario::WILDCARD);
    EXPECT_EQ(list.GetSpecificScenario(1)->GetScenarioName(), "");
}

TEST(ScenarioInformation, OwnershipInsertRemoveAndCopy) {
    CScenarioInformation list;
    EXPECT_EQ(list.AddSpecificScenario(nullptr), -1);
    auto* a = new CSpecificScenario(ThreeSteps());
    a->SetScenarioName("a");
    auto* b = new CSpecificScenario;
    b->SetScenarioName("b");
    EXPECT_EQ(list.AddSpecificScenario(a, 4), 0);
    EXPECT_EQ(list.AddSpecificScenario(b, 0), 0);
    EXPECT_EQ(list.GetSpecificScenario(1), a);
    EXPECT_EQ(list.GetSpecificScenario(2), nullptr);

    CScenarioInformation copy;
    copy = list;
    EXPECT_EQ(copy, list);
    EXPECT_NE(copy.GetSpecificScenario(1), a);
    copy.GetSpecificScenario(1)->AddStep("only in the copy");
    EXPECT_EQ(a->GetNumSteps(), 3);

    list.RemoveSpecificScenario(2);
    list.RemoveSpecificScenario(0);
    ASSERT_EQ(list.GetNumScenarios(), 1);
    EXPECT_EQ(list.GetSpecificScenario(0)->GetScenarioName(), "a");
}
