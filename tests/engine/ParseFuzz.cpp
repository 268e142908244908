// Bounded randomised runs (fixed seed) of format detection and every parser over mutated
// sample lines. Each line ends right at a page that cannot be read, so a parser that reads one
// byte beyond its line crashes the test.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "GuardedPages.h"
#include "engine/parse/DateConversion.h"
#include "engine/parse/FieldCursor.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/W3CFields.h"
#include "engine/scan/FormatDetector.h"
#include "engine/scan/MappedFile.h"
#include "engine/scan/Scanner.h"

namespace {

const char* const kSeeds[] = {
    R"(127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] "GET /apache_pb.gif HTTP/1.0" 200 2326)",
    R"L(1.2.3.4 - "a b" [20/Jul/2009:22:59:26 +0000] "GET /x?y=1 HTTP/1.0" 200 134 "http://r/" "Mozilla/4.0 (compatible)")L",
    R"L(1.2.3.4 - - [03/Apr/2013:00:00:11 +0200] "GET /t.gif HTTP/1.1" 200 43 "-" "UA" "SID=a; b=\"c\"")L",
    R"L("SID=s1; lang=en" 10.1.1.1 - bob [05/Nov/2006:00:28:27 -0500] "GET /b HTTP/1.1" 200 9 "-" "UA")L",
    R"L(lang=en; SID=s2; 10.1.1.2 - - [05/Mar/2006:00:28:27 -0500] "GET /c HTTP/1.1" 200 9 "-" "UA")L",
    "2012-04-01 00:00:13 W3SVC1 5.6.7.8 GET /foo/bar a=1 80 u 1.2.3.4 Mozilla/4.0+(x) "
    "SID=sess1;+__utma=21 http://ref/ www.site.com 200 0 5120",
    R"L(2012-08-15 17:00:00.363 1.2.3.4 GET /P - "70.95.0.0" "Mozilla/5.0 (Linux; ""x"")" 200)L",
    "192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2, SERVER, 172.21.13.45, 4502, 163, 3223, 200, "
    "0, GET, /DeptLogo.gif, Mozilla/4.0, http://r/,",
    R"L(- 10.0.0.7 x jim [07/Jul/2010:01:02:03 +0000] "GET /s HTTP/1.1" 200 11 "-" "UA")L",
    R"L(133.149.133.102 www.acmeco.com - [05/Nov/2006:00:28:27 -0500] "GET /webdb.nsf HTTP/1.1" 404 38692)L",
};

const int kParsedTypes[] = {0, 1, 2, 3, 4, 7, 8, 10, 11};

const char kInteresting[] = "\"[]/\\ \t,;=+-#:.\r\n\0\x01\x7f\xff";

std::string Mutate(std::string line, std::mt19937& random) {
    int edits = 1 + int(random() % 6);
    for (int e = 0; e < edits; ++e) {
        std::size_t pos = line.empty() ? 0 : random() % (line.size() + 1);
        char byte = (random() % 2) ? kInteresting[random() % (sizeof(kInteresting) - 1)]
                                   : static_cast<char>(random());
        switch (random() % 5) {
            case 0:
                line.insert(pos, 1, byte);
                break;
            case 1:
                if (pos < line.size()) line[pos] = byte;
                break;
            case 2:
                line.resize(pos);
                break;  // truncated line
            case 3:
                if (pos < line.size()) line.erase(pos, 1 + random() % 8);
                break;
            default:
                line.insert(pos, std::string(random() % 400, byte));
                break;
        }
    }
    return line;
}

void ExpectSoundRecord(const hit_t& hit) {
    const std::pair<const char*, std::int32_t> texts[] = {
        {hit.cookie, hit.cookieLen},     {hit.host, hit.hostLen},   {hit.path, hit.pathLen},
        {hit.referrer, hit.referrerLen}, {hit.agent, hit.agentLen}, {hit.user, hit.userLen},
        {hit.server, hit.serverLen}};
    for (const auto& [text, length] : texts) {
        ASSERT_GE(length, 0);
        ASSERT_LE(length, kHitTextMax);
        ASSERT_EQ(text[length], '\0');
    }
    ASSERT_GE(hit.hour, 0);
    ASSERT_LE(hit.hour, 23);
    ASSERT_GE(hit.method, 0);
    ASSERT_LE(hit.method, 3);
}

TEST(ParseFuzz, MutatedLinesNeverOverreadAndLeaveSoundRecords) {
    CGuardedPages buffer;
    ASSERT_TRUE(buffer.Valid());
    std::mt19937 random(20261208);
    auto hit = std::make_unique<hit_t>();
    parse_context_t context;
    context.cookieName = "SID";
    context.cookieNameLen = 3;
    MapW3CFields(
        "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
        "c-ip cs(User-Agent) cs(Cookie) cs(Referer) cs-host sc-status sc-substatus sc-bytes",
        context.w3c);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int runs = 0, accepted = 0;
    while (std::chrono::steady_clock::now() < deadline && runs < 400000) {
        std::string line = Mutate(kSeeds[random() % std::size(kSeeds)], random);
        if (line.size() > buffer.Capacity()) continue;
        const char* placed = buffer.Place(line);
        for (int type : kParsedTypes) {
            context.cookieMode = type == 10   ? COOKIE_END
                                 : type == 11 ? COOKIE_BEGIN
                                 : type == 4  ? COOKIE_W3C
                                              : COOKIE_NONE;
            context.europeanDates = (runs & 1) != 0;
            std::size_t used = GetLineParser(type)(placed, line.size(), *hit, context);
            ASSERT_LE(used, line.size()) << "type " << type << " line " << line;
            if (used > 0) {
                ++accepted;
                ExpectSoundRecord(*hit);
                if (HasFatalFailure()) FAIL() << "type " << type << " line " << line;
            }
        }
        ++runs;
    }
    EXPECT_GT(runs, 1000);
    EXPECT_GT(accepted, 0);  // mutations that leave a line intact must still parse
}

TEST(ParseFuzz, DetectionOfRandomWindowsAlwaysNamesAParsedFormat) {
    CGuardedPages buffer;
    ASSERT_TRUE(buffer.Valid());
    std::mt19937 random(7);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int runs = 0;
    while (std::chrono::steady_clock::now() < deadline && runs < 20000) {
        std::string window;
        while (window.size() < buffer.Capacity() - 500) {
            window += (random() % 4) ? Mutate(kSeeds[random() % std::size(kSeeds)], random)
                                     : std::string(random() % 50, static_cast<char>(random()));
            window += (random() % 2) ? "\n" : "\r\n";
        }
        window.resize(random() % buffer.Capacity());
        const char* placed = buffer.Place(window);
        int type = DetectLogFormat(placed, window.size());
        ASSERT_NE(GetLineParser(type), nullptr) << type;
        ++runs;
    }
    EXPECT_GT(runs, 100);
}

TEST(ParseFuzz, W3CFieldLinesOfAnyShapeKeepTheMapInBounds) {
    std::mt19937 random(99);
    w3c_columns_t map;
    const char* names[] = {"date", "time", "c-ip", "cs-uri-stem", "sc-status", "cs(Cookie)", "x"};
    for (int run = 0; run < 2000; ++run) {
        std::string line = "#Fields:";
        int count = int(random() % 160);
        for (int i = 0; i < count; ++i)
            line += ((random() % 3) ? " " : "\t ") + std::string(names[random() % 7]);
        MapW3CFields(line, map);
        ASSERT_EQ(map.lastColumn, count - 1);
        ASSERT_LT(map.lastMappedColumn, kW3CMaxColumns);
        for (int role = 0; role < W3C_ROLE_COUNT; ++role) {
            if (map.column[role] >= 0) {
                ASSERT_EQ(map.roleOf[map.column[role]], role);
            }
        }
    }
}

TEST(ParseFuzz, TheMinuteCacheNeverChangesACommonDate) {
    std::mt19937 random(31);
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul",
                            "Aug", "Sep", "Oct", "Nov", "Dec", "Xyz", "jun"};
    common_date_cache_t cache;
    hit_t cached{}, plain{};
    for (int run = 0; run < 200000; ++run) {
        char text[64];
        std::snprintf(text, sizeof(text), "%d/%s/%d:%d:%d:%d %s", int(random() % 33),
                      months[random() % 14], int(1960 + random() % 90), int(random() % 26),
                      int(random() % 62), int(random() % 62), (random() % 2) ? "+0000" : "-0700");
        std::string date = text;
        if (random() % 8 == 0) date = Mutate(date, random);
        int offset = int(random() % 3) - 1;
        ConvertCommonDate(date, offset, plain);
        ConvertCommonDate(date, offset, cached, &cache);
        ASSERT_EQ(cached.time, plain.time) << date;
        ASSERT_EQ(cached.hour, plain.hour) << date;
        ASSERT_EQ(cached.dayOfWeek, plain.dayOfWeek) << date;
    }
}

// The sixteen-bytes-at-once test of a hit's host against the byte-by-byte one, on texts of
// digits, dots and a few other bytes, with whatever the buffer holds after the host.
TEST(ParseFuzz, HostAddressTestAgreesWithTheByteByByteOne) {
    std::mt19937 random(5);
    hit_t hit{};
    int addresses = 0;
    for (int run = 0; run < 300000; ++run) {
        const int length = int(random() % 19);
        for (int i = 0; i < 20; ++i) hit.host[i] = "0123456789....a:9 "[random() % 18];
        if (random() % 2) {
            const std::string address =
                std::to_string(random() % 300) + "." + std::to_string(random() % 1000) + "." +
                std::to_string(random() % 300) + "." + std::to_string(random() % 256);
            std::memcpy(hit.host, address.data(), address.size());
        }
        hit.hostLen = length;
        const bool expected = IsDottedIPv4(hit.Host());
        addresses += expected;
        ASSERT_EQ(IsDottedIPv4Host(hit), expected) << std::string(hit.Host());
    }
    EXPECT_GT(addresses, 10000);
}

// A date cut short after its year or hour ends with a ":" like a whole minute does, but is no
// minute: it must not become the key that the day's later dates are read through.
TEST(ParseFuzz, ADateCutShortIsNoMinuteForTheDatesAfterIt) {
    const char* cutDates[] = {"01/Jun/2006:", "01/Jun/2006:00:", "01/Jun/2006:00", "01/Jun/2006"};
    const char* cutTimes[] = {"00:", "00", "00:36", ""};
    for (std::size_t i = 0; i < std::size(cutDates); ++i) {
        SCOPED_TRACE(i);
        hit_t cached{}, plain{};
        common_date_cache_t common;
        ConvertCommonDate(cutDates[i], 0, cached, &common);
        ConvertCommonDate("01/Jun/2006:00:36:04 +0100", 0, cached, &common);
        ConvertCommonDate("01/Jun/2006:00:36:04 +0100", 0, plain);
        EXPECT_EQ(cached.time, plain.time);
        w3c_date_cache_t w3c;
        ConvertW3CDate("2006-06-01", cutTimes[i], 0, cached, &w3c);
        ConvertW3CDate("2006-06-01", "00:36:04", 0, cached, &w3c);
        ConvertW3CDate("2006-06-01", "00:36:04", 0, plain);
        EXPECT_EQ(cached.time, plain.time);
    }
}

// Runs of lines within one minute, so that most conversions come from the cache: seconds in
// every spelling, minutes at the edges of days, of 1970 and of 2038, and changing offsets.
TEST(ParseFuzz, SecondsOfACachedMinuteConvertAsWithoutTheCache) {
    std::mt19937 random(57);
    const char* minutes[] = {
        "31/Dec/1969:23:59:", "01/Jan/1970:00:00:", "19/Jan/2038:03:14:", "28/Feb/2004:23:59:",
        "10/Oct/2000:13:55:", "31/Dec/2037:23:59:", "01/Mar/2000:00:00:", "29/Feb/2001:12:00:"};
    const char* seconds[] = {"00", "07", "59",       "60",  "99", "7",     "007", "5x",
                             "",   "3",  "45 -0700", "45]", "0 ", "12345", "-1"};
    common_date_cache_t cache;
    hit_t cached{}, plain{};
    for (int run = 0; run < 20000; ++run) {
        const std::string minute = minutes[random() % std::size(minutes)];
        const int offset = int(random() % 25) - 12;
        for (int line = 0; line < 12; ++line) {
            const std::string date = minute + seconds[random() % std::size(seconds)];
            ConvertCommonDate(date, offset, plain);
            ConvertCommonDate(date, offset, cached, &cache);
            ASSERT_EQ(cached.time, plain.time) << date << " offset " << offset;
            ASSERT_EQ(cached.hour, plain.hour) << date << " offset " << offset;
            ASSERT_EQ(cached.dayOfWeek, plain.dayOfWeek) << date << " offset " << offset;
        }
    }
}

// The vector searches against a byte-by-byte search, for every start and length around the
// sixteen-byte steps, with the sought bytes at every place: the tail of a range is searched by
// a load that overlaps bytes already searched.
TEST(ParseFuzz, FieldSearchesFindTheFirstMatchWithinTheRangeOnly) {
    std::mt19937 random(11);
    char text[96];
    for (int run = 0; run < 3000; ++run) {
        for (char& c : text) c = "ab \t\"x"[random() % 6];
        const std::size_t start = random() % 20, length = random() % 70;
        const char* begin = text + start;
        const char* end = begin + length;
        const char* quote = begin;
        while (quote != end && *quote != '"') ++quote;
        ASSERT_EQ(FindByte(begin, end, '"'), quote == end ? nullptr : quote)
            << start << " " << length;
        const char* blank = begin;
        while (blank != end && !IsBlank(*blank)) ++blank;
        ASSERT_EQ(FindBlank(begin, end), blank) << start << " " << length;
    }
}

// The same for W3C dates and times, including dates that change under an unchanged time.
TEST(ParseFuzz, TheMinuteCacheNeverChangesAW3CDate) {
    std::mt19937 random(91);
    const char* dates[] = {"1969-12-31", "1970-01-01", "2038-01-19", "2004-02-29", "2007-05-14",
                           "2007-5-14",  "2037-12-31", "07-05-14",   "x",          "2007-13-01"};
    const char* minutes[] = {"23:59:", "00:00:", "03:14:", "13:55:", "3:4:", "24:00:", "12:60:"};
    const char* seconds[] = {"00", "07", "59", "60", "7", "007", "5x", "", "12.5", "08 "};
    w3c_date_cache_t cache;
    hit_t cached{}, plain{};
    for (int run = 0; run < 20000; ++run) {
        const std::string date = dates[random() % std::size(dates)];
        const std::string minute = minutes[random() % std::size(minutes)];
        const int offset = int(random() % 25) - 12;
        for (int line = 0; line < 12; ++line) {
            const std::string time = minute + seconds[random() % std::size(seconds)];
            ConvertW3CDate(date, time, offset, plain);
            ConvertW3CDate(date, time, offset, cached, &cache);
            ASSERT_EQ(cached.time, plain.time) << date << " " << time << " offset " << offset;
            if (plain.time > 0) {
                ASSERT_EQ(cached.hour, plain.hour) << date << " " << time;
                ASSERT_EQ(cached.dayOfWeek, plain.dayOfWeek) << date << " " << time;
            }
        }
    }
}

}  // namespace
