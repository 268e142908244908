#include "plot/LabelFormat.h"

#include <gtest/gtest.h>

#include <ostream>

#include "plot/Text.h"

namespace plot {
namespace {

struct format_case_t {
    const char* format;
    double value;
    const char* expected;
};

void PrintTo(const format_case_t& c, std::ostream* os) { *os << c.format << " of " << c.value; }

class ExpandsValueFormats : public ::testing::TestWithParam<format_case_t> {};

TEST_P(ExpandsValueFormats, AsExpected) {
    EXPECT_EQ(ExpandLabelFormat(GetParam().format, GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExpandsValueFormats,
                         ::testing::Values(format_case_t{"{value|1,.}MB", 1234.56, "1,234.6MB"},
                                           format_case_t{"{value|1,.}GB", 0.25, "0.3GB"},
                                           format_case_t{"{value|1,.}", 1234567, "1,234,567.0"},
                                           format_case_t{"{value|0,.}", 999.5, "1,000"},
                                           format_case_t{"{value|2.,}", 1234.5, "1.234,50"},
                                           format_case_t{"{value}", 1500, "1,500"},
                                           format_case_t{"{value}", 2.5, "2.50"},
                                           format_case_t{"{value|1,.}", -1234.5, "-1,234.5"},
                                           format_case_t{"{value|0,.}", -0.2, "0"},
                                           format_case_t{"x{unknown}y{value", 3,
                                                         "x{unknown}y{value"},
                                           format_case_t{"", 3, ""}));

TEST(ChartTime, CountsSecondsFrom1970) {
    EXPECT_EQ(ChartTime(1970, 1, 1), 0);
    EXPECT_EQ(ChartTime(2000, 3, 1), 951868800);
    EXPECT_EQ(ChartTime(1969, 12, 31), -86400);
}

TEST(FormatDate, WritesMonthsDaysAndYears) {
    const double t = ChartTime(2024, 2, 29) + 3600;
    EXPECT_EQ(FormatDate(t, "mmm d"), "Feb 29");
    EXPECT_EQ(FormatDate(t, "mmm d, yyyy"), "Feb 29, 2024");
    EXPECT_EQ(FormatDate(t, "mmmm dd yy"), "February 29 24");
    EXPECT_EQ(FormatDate(ChartTime(2023, 1, 5), "mm/dd/yyyy"), "01/05/2023");
    EXPECT_EQ(ExpandLabelFormat("{value|mmm d, yyyy}", ChartTime(2023, 12, 31)), "Dec 31, 2023");
}

TEST(ExpandLabelFormat, FillsLabelAndPercent) {
    EXPECT_EQ(ExpandLabelFormat("{label} ({percent|1}%)", label_fields_t{5, "Firefox", 12.345}),
              "Firefox (12.3%)");
}

TEST(ToDisplayText, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
    EXPECT_EQ(ToDisplayText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToDisplayText("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(ToDisplayText("\x80 \x81"), "\xE2\x82\xAC \xEF\xBF\xBD");
    EXPECT_EQ(ToDisplayText("\xC3"), "\xC3\x83");  // a lone lead byte is not UTF-8
}

}  // namespace
}  // namespace plot
