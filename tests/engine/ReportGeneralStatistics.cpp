#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/report/GeneralStatistics.h"
#include "engine/table/RunTables.h"

namespace {

constexpr std::int32_t kFirstHit = 1700000000;  // November 14, 2023, 10:13:20 PM UTC

// Runs with the time zone `tz` and restores the previous one.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

std::string Value(const CTableReport& report, unsigned long row) { return report.GetItem(row, 1); }

class GeneralStatisticsTest : public ::testing::Test {
protected:
    run_counters_t c;
};

TEST_F(GeneralStatisticsTest, HasEighteenLabelledRowsInOrder) {
    const auto report = BuildGeneralStatistics(c, 0);
    ASSERT_EQ(report->GetNumRows(), 18u);
    const char* labels[] = {"Hits",
                            "Total Data Transferred",
                            "Total Visiting Users",
                            "Time Period",
                            "Average Hits per User",
                            "Average Users per Day",
                            "Average Data Transferred per Day",
                            "Hits cached by Client",
                            "Report generated on",
                            "Incomplete downloads/file requests",
                            "Log spans a period of",
                            "Total failed requests",
                            "Average Data Transferred per User",
                            "Average Hits per Day",
                            "Average Data Transferred per Hit",
                            "Hits on Pages",
                            "Hits on Files",
                            "Hits for Graphics"};
    for (unsigned long row = 0; row < 18; ++row) EXPECT_EQ(report->GetItem(row, 0), labels[row]);
    EXPECT_EQ(report->GetReportID(), "GS");
    EXPECT_EQ(report->GetDefaultSortColumn(), -1);
}

TEST_F(GeneralStatisticsTest, FormatsEveryValueOfABusyRun) {
    const ScopedTimeZone utc("UTC0");
    c.totalHits = 1000;
    c.totalBytes = 3 * 1048576;
    c.sessions = 8;
    c.cachedHits = 50;
    c.incompleteHits = 1;
    c.notFoundHits = 125;
    c.pageHits = 400;
    c.fileHits = 100;
    c.imageHits = 300;
    c.miscWebHits = 20;
    c.earliestHit = kFirstHit;
    c.latestHit = kFirstHit + 86400 + 3600;

    const auto r = BuildGeneralStatistics(c, kFirstHit);
    EXPECT_EQ(Value(*r, 0), "1000");
    EXPECT_EQ(Value(*r, 1), "3.00 megabytes");
    EXPECT_EQ(Value(*r, 2), "8");
    EXPECT_EQ(Value(*r, 3), "November 14, 2023, 10:13:20 PM to November 15, 2023, 11:13:20 PM");
    EXPECT_EQ(Value(*r, 4), "125.00");
    EXPECT_EQ(Value(*r, 5), "4.00");
    EXPECT_EQ(Value(*r, 6), "1.50 megabytes");
    EXPECT_EQ(Value(*r, 7), "50 (5.00%)");
    EXPECT_EQ(Value(*r, 8), "November 14, 2023 at 10:13:20 PM");
    EXPECT_EQ(Value(*r, 9), "1 (0.10%)");
    EXPECT_EQ(Value(*r, 10), "2 days");
    EXPECT_EQ(Value(*r, 11), "125 (12.50%)");
    EXPECT_EQ(Value(*r, 12), "384.00 kilobytes");
    EXPECT_EQ(Value(*r, 13), "500.00");
    EXPECT_EQ(Value(*r, 14), "3.07 kilobytes");
    EXPECT_EQ(Value(*r, 15), "400");
    EXPECT_EQ(Value(*r, 16), "100");
    EXPECT_EQ(Value(*r, 17), "320");
}

TEST_F(GeneralStatisticsTest, ShowsTheRunStartOnTheLocalClock) {
    const ScopedTimeZone plusTwo("XYZ-2");  // two hours east of UTC, no daylight saving
    EXPECT_EQ(Value(*BuildGeneralStatistics(c, kFirstHit), 8), "November 15, 2023 at 12:13:20 AM");
}

TEST_F(GeneralStatisticsTest, ARunWithoutSessionsOrHitsHasNoDivisionByZero) {
    const auto r = BuildGeneralStatistics(c, 0);
    EXPECT_EQ(Value(*r, 0), "0");
    EXPECT_EQ(Value(*r, 3), "No dated hits");
    EXPECT_EQ(Value(*r, 4), "0.00");
    EXPECT_EQ(Value(*r, 5), "0.00");
    EXPECT_EQ(Value(*r, 7), "0 (0%)");
    EXPECT_EQ(Value(*r, 9), "0 (0%)");
    EXPECT_EQ(Value(*r, 10), "1 day");
    EXPECT_EQ(Value(*r, 11), "0 (0%)");
    EXPECT_EQ(Value(*r, 12), "0 bytes");
    EXPECT_EQ(Value(*r, 14), "0 bytes");
}

struct span_case_t {
    std::int32_t seconds;  // from the first to the last hit
    std::int64_t days;
    const char* text;
};

class LogSpanTest : public ::testing::TestWithParam<span_case_t> {};

TEST_P(LogSpanTest, CountsWholeDaysBetweenFirstAndLastHit) {
    run_counters_t c;
    c.totalHits = 2;
    c.earliestHit = kFirstHit;
    c.latestHit = kFirstHit + GetParam().seconds;
    EXPECT_EQ(LogSpanDays(c), GetParam().days);
    EXPECT_EQ(Value(*BuildGeneralStatistics(c, 0), 10), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Spans, LogSpanTest,
                         ::testing::Values(span_case_t{0, 1, "1 day"},
                                           span_case_t{23 * 3600, 1, "1 day"},  // two dates
                                           span_case_t{86399, 1, "1 day"},
                                           span_case_t{86400, 2, "2 days"},
                                           span_case_t{25 * 3600, 2, "2 days"},
                                           span_case_t{30 * 86400 + 5, 31, "31 days"}));

}  // namespace
