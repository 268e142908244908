#include "store/format/Url.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct JoinCase {
    const char* base;
    const char* file;
    char separator;
    const char* joined;
};

class UrlAddFileTest : public testing::TestWithParam<JoinCase> {};

TEST_P(UrlAddFileTest, JoinsAndCollapsesSeparatorsInPassOrder) {
    const JoinCase& c = GetParam();
    EXPECT_EQ(UrlAddFile(c.base, c.file, c.separator), c.joined);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, UrlAddFileTest,
    testing::Values(JoinCase{"C:\\Logs\\", "access.log", '\\', "C:\\Logs\\access.log"},
                    JoinCase{"/logs", "/access.log", '/', "/logs/access.log"},
                    JoinCase{"/logs/", "/access.log", '/', "/logs/access.log"},
                    JoinCase{"/logs", "access.log", '/', "/logs/access.log"},
                    JoinCase{"/logs", "", '/', "/logs/"}, JoinCase{"", "a", '/', "/a"},
                    JoinCase{"dir\\sub", "file", '/', "dir/sub/file"},
                    JoinCase{"/a", "b\\c", '\\', "\\a\\b\\c"},
                    // pass 1: runs of backslashes
                    JoinCase{"a\\\\\\b", "c", '/', "a/b/c"},
                    // pass 2: runs of slashes
                    JoinCase{"a///b//", "//c", '/', "a/b/c"},
                    // pass 3: backslash before slash, after pass 2 has run
                    JoinCase{"a\\/", "b", '/', "a/b"}, JoinCase{"a/\\", "b", '/', "a//b"},
                    // pass 4: slash before backslash
                    JoinCase{"a/\\\\", "b", '\\', "a\\b"}, JoinCase{"a", "\\/\\b", '/', "a/b"},
                    // a pair that pass 3 leaves behind after pass 2 has run stays
                    JoinCase{"a", "\\/\\/b", '/', "a//b"}));

TEST(UrlAddFile, LocalAndRemoteFormsUseSlash) {
    EXPECT_EQ(UrlAddLocalFile("/home/u\\Logs", "a.log"), "/home/u/Logs/a.log");
    EXPECT_EQ(UrlAddRemoteFile("/logs", "/access.log"), "/logs/access.log");
}

TEST(UrlPathParts, SplitAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(UrlBeforeLastSlash("/a/b\\c.log"), "/a/b\\");
    EXPECT_EQ(UrlAfterLastSlash("/a/b\\c.log"), "c.log");
    EXPECT_EQ(UrlBeforeLastSlash("c.log"), "");
    EXPECT_EQ(UrlAfterLastSlash("c.log"), "");
    EXPECT_EQ(UrlAfterLastSlash("/a/"), "");
    EXPECT_EQ(UrlRemoveLeadingSlash("//a"), "/a");
    EXPECT_EQ(UrlRemoveLeadingSlash("\\a"), "a");
    EXPECT_EQ(UrlRemoveLeadingSlash(""), "");
    EXPECT_EQ(UrlMakeFile("a\\b/c", '\\'), "a\\b\\c");
    EXPECT_EQ(UrlMakeLocalFile("a\\b/c"), "a/b/c");
    EXPECT_EQ(UrlMakeRemoteFile("\\x"), "/x");
}

TEST(UrlAppendDefault, OnlyUrlsWithoutADotAreFolders) {
    EXPECT_EQ(UrlAppendDefault("/dir/", "index.html", '/'), "/dir/index.html");
    EXPECT_EQ(UrlAppendDefault("/dir", "index.html", '/'), "/dir/index.html");
    EXPECT_EQ(UrlAppendDefault("/dir/page.htm", "index.html", '/'), "/dir/page.htm");
    EXPECT_EQ(UrlAppendDefault("/v1.2/", "index.html", '/'), "/v1.2/");
    EXPECT_EQ(UrlRemoteAppendDefault("", "index.html"), "/index.html");
    EXPECT_EQ(UrlLocalAppendDefault("/srv\\www", "default.htm"), "/srv/www/default.htm");
    EXPECT_EQ(UrlAppendDefault("/dir/", nullptr, '/'), "/dir/");
}

TEST(UrlEncode, EncodesAllButLettersAndDigits) {
    EXPECT_EQ(UrlEncode("a b/\xE9"), "a%20b%2F%E9");
    EXPECT_EQ(UrlEncode("AZaz09"), "AZaz09");
    EXPECT_EQ(UrlEncode("+-._~"), "%2B%2D%2E%5F%7E");
    EXPECT_EQ(UrlEncode(std::string("\0\xFF", 2)), "%00%FF");
}

TEST(UrlEncode, EveryByteDecodesBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
}

struct DecodeCase {
    const char* in;
    const char* out;
};

class UrlDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(UrlDecodeTest, BothFormsAgree) {
    const std::string in = GetParam().in;
    EXPECT_EQ(UrlDecode(in), GetParam().out);
    char buf[64];
    int length = -1;
    UrlDecode(buf, &length, in.c_str(), static_cast<int>(in.size()));
    EXPECT_STREQ(buf, GetParam().out);
    EXPECT_EQ(length, static_cast<int>(std::strlen(GetParam().out)));
}

INSTANTIATE_TEST_SUITE_P(
    PercentRules, UrlDecodeTest,
    testing::Values(DecodeCase{"a+b%2Fc%zz", "a b/c"}, DecodeCase{"%41%62", "Ab"},
                    DecodeCase{"%4a%4A", "JJ"}, DecodeCase{"%", ""}, DecodeCase{"ab%", "ab"},
                    DecodeCase{"%4", "4"}, DecodeCase{"100%2", "1002"}, DecodeCase{"%zz1", "1"},
                    DecodeCase{"%4z!", "!"}, DecodeCase{"%z4", ""}, DecodeCase{"%%41", "1"},
                    DecodeCase{"+%2B+", " + "}, DecodeCase{"plain", "plain"}, DecodeCase{"", ""}));

TEST(UrlDecodeBuffer, DecodesOnlyCountBytes) {
    char buf[16];
    int length = -1;
    UrlDecode(buf, &length, "abc%41", 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(length, 3);
    // The count cuts an escape short: "%4" is a '%' with one character after it.
    UrlDecode(buf, &length, "%41", 2);
    EXPECT_STREQ(buf, "4");
    EXPECT_EQ(length, 1);
    UrlDecode(buf, &length, "x", 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(length, 0);
    UrlDecode(buf, nullptr, "a+b", 3);
    EXPECT_STREQ(buf, "a b");
}

TEST(UrlDecodeBuffer, CountsAnEncodedZeroByte) {
    char buf[16];
    int length = -1;
    UrlDecode(buf, &length, "a%00b", 5);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(std::string(buf, 3), std::string("a\0b", 3));
    EXPECT_EQ(UrlDecode(std::string("a%00b")), std::string("a\0b", 3));
}

TEST(UrlDecodeBuffer, DecodesInPlace) {
    char text[] = "%2Fa+b%zzc%";
    int length = 0;
    UrlDecode(text, &length, text, static_cast<int>(std::strlen(text)));
    EXPECT_STREQ(text, "/a bc");
    EXPECT_EQ(length, 5);
}

TEST(GetHexChar, UpperCaseDigitsAndXOutside) {
    EXPECT_EQ(GetHexChar(0), '0');
    EXPECT_EQ(GetHexChar(9), '9');
    EXPECT_EQ(GetHexChar(10), 'A');
    EXPECT_EQ(GetHexChar(15), 'F');
    EXPECT_EQ(GetHexChar(16), 'X');
    EXPECT_EQ(GetHexChar(-1), 'X');
}

TEST(RemoveSpacesInFilename, BlanksBecomeDashes) {
    EXPECT_EQ(RemoveSpacesInFilename(" my  site "), "-my--site-");
    EXPECT_EQ(RemoveSpacesInFilename("a\tb"), "a\tb");
}

struct IpCase {
    const char* text;
    int length;  // -1: the whole text
    int expected;
};

class IsIpAddr : public testing::TestWithParam<IpCase> {};

TEST_P(IsIpAddr, AcceptsOnlyDottedQuads) {
    const IpCase& c = GetParam();
    const unsigned length =
        c.length < 0 ? static_cast<unsigned>(std::strlen(c.text)) : static_cast<unsigned>(c.length);
    EXPECT_EQ(is_ip_addr(c.text, length), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, IsIpAddr,
    testing::Values(IpCase{"192.168.0.1", -1, 1}, IpCase{"0.0.0.0", -1, 1},
                    IpCase{"255.255.255.255", -1, 1}, IpCase{"001.002.003.004", -1, 1},
                    IpCase{"1...234", -1, 1},  // empty groups read 0
                    IpCase{"1.2.3", -1, 0}, IpCase{"1.2.3.256", -1, 0}, IpCase{"1.2.3.4.5", -1, 0},
                    IpCase{"1234.1.1.1", -1, 0}, IpCase{"1..2.3", -1, 0},  // too short
                    IpCase{"0001.002.003.0004", -1, 0},                    // too long
                    IpCase{"a.b.c.d", -1, 0}, IpCase{"1.2.3.4 ", -1, 0}, IpCase{"-1.2.3.4", -1, 0},
                    IpCase{"1.2.3.4xyz", 7, 1}, IpCase{"1.2.3.99999", -1, 0}));

TEST(IsIpAddr, NullIsNotAnAddress) { EXPECT_EQ(is_ip_addr(nullptr, 7), 0); }

}  // namespace
