#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/settings/Settings.h"

namespace logvane::test {

// The elements of a settings file, in the order they are written and must be read.
inline const std::vector<std::string> kSettingsElements = {"EUROPEANFORMAT",
                                                           "ANDINCLUDEFILTERS",
                                                           "ANDEXCLUDEFILTERS",
                                                           "CASESENSITIVE",
                                                           "NUMRECENTDOMAINITEMS",
                                                           "DONOTDISPLAYPOUND",
                                                           "DONOTDISPLAYQUESTIONMARK",
                                                           "REMOVEFIRSTDOT",
                                                           "WHENLOOKUPTOOOLD",
                                                           "WHENBADLOOKUPTOOOLD",
                                                           "TIMEOFFSET",
                                                           "PASSIVEFTP",
                                                           "PROXYENABLED",
                                                           "PROXYSERVERNAME",
                                                           "ALLOWHTVIEWFILES",
                                                           "ALLOWHTVIEWIMAGES",
                                                           "ALLOWHTVIEWPAGES",
                                                           "ALLOWHTVIEWREFERRER",
                                                           "PREFILTERDNSLOOKUP",
                                                           "IP2COUNTRY",
                                                           "NUMDNSTHREADS",
                                                           "NUMTRUNCATEREPORTS",
                                                           "NUNTRUNCATEEXPORTING",
                                                           "PROJECTFOLDER",
                                                           "DEFAULTLOGFILETYPE"};

// Expects every settings field at its documented default, the project folder at `projectFolder`.
inline void ExpectDocumentedDefaults(const CSettings& s, const std::string& projectFolder) {
    EXPECT_FALSE(s.GetEuropeanFormat());
    EXPECT_TRUE(s.GetAndIncludeFilters());
    EXPECT_FALSE(s.GetAndExcludeFilters());
    EXPECT_TRUE(s.GetCaseSensitive());
    EXPECT_EQ(s.GetNumRecentDomainItems(), 30);
    EXPECT_TRUE(s.GetDoNotDisplayPound());
    EXPECT_TRUE(s.GetDoNotDisplayQuestionMark());
    EXPECT_FALSE(s.GetRemoveFirstDot());
    EXPECT_EQ(s.GetWhenLookupTooOld(), 10);
    EXPECT_EQ(s.GetWhenBadLookupTooOld(), 10);
    EXPECT_EQ(s.GetTimeOffset(), 0);
    EXPECT_FALSE(s.GetPassiveFTP());
    EXPECT_FALSE(s.GetProxyEnabled());
    EXPECT_EQ(s.GetProxyServerName(), "");
    EXPECT_TRUE(s.GetAllowHTViewFiles());
    EXPECT_FALSE(s.GetAllowHTViewImages());
    EXPECT_TRUE(s.GetAllowHTViewPages());
    EXPECT_TRUE(s.GetAllowHTViewReferrer());
    EXPECT_TRUE(s.GetPrefilterDNSLookup());
    EXPECT_TRUE(s.GetIp2Country());
    EXPECT_EQ(s.GetNumDNSThreads(), 15);
    EXPECT_EQ(s.GetNumTruncateReports(), 100);
    EXPECT_EQ(s.GetNumTruncateExporting(), 30);
    EXPECT_EQ(s.GetDefaultLogfileType(), logfiletype_t::AUTO);
    EXPECT_TRUE(s.GetSpecialRemoveDirectories());
    EXPECT_EQ(s.GetProjectFolder(), projectFolder);
}

}  // namespace logvane::test
