// The local paths that remote files of one run are given in the download folder: the rules
// that keep equal names apart in the end-to-end runs, in every order they can arrive in.
#include <gtest/gtest.h>

#include <string>

#include "engine/remote/DownloadClaims.h"

namespace {

const std::string kFolder = "/downloads/Site";

TEST(DownloadClaimsTest, FirstComerKeepsThePlainNameAndALaterOneGetsItsServerFolder) {
    CDownloadClaims claims;
    EXPECT_EQ(claims.Claim(kFolder, "access.log", "ftp://a:21/site1/access.log"),
              kFolder + "/access.log");
    EXPECT_EQ(claims.Claim(kFolder, "access.log", "ftp://a:21/site2/access.log"),
              kFolder + "/ftp_a_21_site2/access.log");
    EXPECT_EQ(claims.Claim(kFolder, "access.log", "http://b:8080/access.log"),
              kFolder + "/http_b_8080/access.log");
    // Asked again, every source gets the path it was given, whatever else came between.
    EXPECT_EQ(claims.Claim(kFolder, "other/access.log", "ftp://a:21/site2/access.log"),
              kFolder + "/ftp_a_21_site2/access.log");
    EXPECT_EQ(claims.Claim(kFolder, "access.log", "ftp://a:21/site1/access.log"),
              kFolder + "/access.log");
}

TEST(DownloadClaimsTest, ANewRunHandsOutTheSamePathsInTheSameOrder) {
    CDownloadClaims claims;
    const std::string first = claims.Claim(kFolder, "x.log", "ftp://a:21/1/x.log");
    const std::string second = claims.Claim(kFolder, "x.log", "ftp://a:21/2/x.log");
    claims.Clear();
    EXPECT_EQ(claims.Claim(kFolder, "x.log", "ftp://a:21/1/x.log"), first);
    EXPECT_EQ(claims.Claim(kFolder, "x.log", "ftp://a:21/2/x.log"), second);
}

TEST(DownloadClaimsTest, CompressedFileAndThePlainFileOfItsCopyNeverShareAPath) {
    for (const bool plainFirst : {true, false}) {
        CDownloadClaims claims;
        std::string plain, packed;
        if (plainFirst) plain = claims.Claim(kFolder, "access.log", "ftp://a:21/l/access.log");
        packed = claims.Claim(kFolder, "access.log.gz", "ftp://a:21/l/access.log.gz");
        if (!plainFirst) plain = claims.Claim(kFolder, "access.log", "ftp://a:21/l/access.log");
        const std::string copy = packed.substr(0, packed.size() - 3);
        EXPECT_NE(copy, plain) << "plain first: " << plainFirst;
        EXPECT_EQ(packed.rfind(kFolder + "/", 0), 0u);
        EXPECT_EQ(plain.rfind(kFolder + "/", 0), 0u);
    }
}

TEST(DownloadClaimsTest, ASubfolderNamedAfterAnOddSourceStaysInsideTheFolder) {
    CDownloadClaims claims;
    claims.Claim(kFolder, "a.log", "first");
    for (const char* source : {"../../a.log", "ftp://h:21/../../a.log", "/a.log", "..\\a.log"}) {
        const std::string local = claims.Claim(kFolder, "a.log", source);
        EXPECT_EQ(local.rfind(kFolder + "/", 0), 0u) << source;
        EXPECT_EQ(local.find("/../"), std::string::npos) << source << " -> " << local;
    }
}

}  // namespace
