#include "plot/Axis.h"

#include <gtest/gtest.h>

#include "plot/LabelFormat.h"

namespace plot {
namespace {

std::vector<std::string> LabelsOf(const std::vector<tick_t>& ticks) {
    std::vector<std::string> labels;
    for (const tick_t& t : ticks) labels.push_back(t.label);
    return labels;
}

TEST(NiceStep, RoundsUpToOneTwoOrFive) {
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(0.7), 1);
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(1.2), 2);
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(3), 5);
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(6), 10);
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(2000), 2000);
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(0.03), 0.05);
    EXPECT_DOUBLE_EQ(CAxis::NiceStep(0), 1);
}

TEST(Axis, FixedLinearScaleKeepsItsBoundsAndFormatsTicks) {
    CAxis axis;
    axis.SetLinearScale(0, 1.9);
    axis.SetLabelFormat("{value|1,.}MB");
    const auto ticks = axis.Ticks(250, 30);
    EXPECT_EQ(axis.Upper(), 1.9);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().label, "0.0MB");
    EXPECT_LE(ticks.back().value, 1.9);
    EXPECT_GE(ticks.size(), 3u);
    EXPECT_LE(ticks.size(), 9u);
}

TEST(Axis, AutoScaleStartsAtZeroAndEndsOnARoundTick) {
    CAxis axis;
    axis.AutoScale(3, 987, 250);
    EXPECT_EQ(axis.Lower(), 0);
    EXPECT_EQ(axis.Upper(), 1000);
    EXPECT_EQ(LabelsOf(axis.Ticks(250, 30)).back(), "1,000");

    CAxis empty;
    empty.AutoScale(0, 0, 250);
    EXPECT_GT(empty.Upper(), 0);  // no data still gives a drawable scale
}

TEST(Axis, DateScaleTicksEveryDayFromTheFirstDate) {
    CAxis axis;
    const double first = ChartTime(2023, 12, 30), last = ChartTime(2024, 1, 2);
    axis.SetDateScale(first, last, 86400);
    axis.SetLabelFormat("{value|mmm d, yyyy}");
    EXPECT_EQ(
        LabelsOf(axis.Ticks(400, 30)),
        (std::vector<std::string>{"Dec 30, 2023", "Dec 31, 2023", "Jan 1, 2024", "Jan 2, 2024"}));
    EXPECT_DOUBLE_EQ(axis.Position(first), 0);
    EXPECT_DOUBLE_EQ(axis.Position(last), 1);
}

TEST(Axis, SingleDayDateScaleCentresThatDay) {
    CAxis axis;
    const double day = ChartTime(2024, 5, 5);
    axis.SetDateScale(day, day, 86400);
    EXPECT_DOUBLE_EQ(axis.Position(day), 0.5);
    ASSERT_EQ(axis.Ticks(400, 30).size(), 1u);
    EXPECT_EQ(axis.Ticks(400, 30)[0].label, "May 5");
}

TEST(Axis, ReversedLabelsRunFromTheFarEnd) {
    CAxis axis;
    axis.SetLabels({"a", "b", "c", "d"});
    EXPECT_DOUBLE_EQ(axis.Position(0), 0.125);
    axis.SetReverse();
    EXPECT_DOUBLE_EQ(axis.Position(0), 0.875);
    EXPECT_EQ(LabelsOf(axis.Ticks(100, 30)), (std::vector<std::string>{"a", "b", "c", "d"}));
}

}  // namespace
}  // namespace plot
