#include "store/project/ProjectInformation.h"
#include "store/project/ProjectDescription.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ProjectSamples.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using namespace logvane::test;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(GetSettingsDir());
        CStyles styles;
        styles.Insert(new CStyle(SampleStyle("Plain")));
        styles.Insert(new CStyle(SampleStyle("Corporate")));
        ASSERT_TRUE(styles.SaveXML(GetSettingsFile("styles").c_str()));
    }

    // The project document as read back by a bare CMarkup, main position on PROJECT.
    CMarkup Document(const CProjectInformation& p) {
        const std::string path = dir.file("p.bvp");
        EXPECT_TRUE(p.SaveXML(path.c_str()));
        CMarkup doc;
        EXPECT_TRUE(doc.Load(path));
        EXPECT_TRUE(doc.FindElem("PROJECT"));
        return doc;
    }

    CProjectInformation Load(const std::string& xml) {
        const std::string path = dir.file("in.bvp");
        WriteFile(path, xml);
        CProjectInformation p;
        EXPECT_TRUE(p.LoadXML(path.c_str()));
        return p;
    }

    ScopedHome home;
    TempDir dir;
};

std::vector<std::string> ChildTags(CMarkup& doc) {
    std::vector<std::string> tags;
    while (doc.FindChildElem()) tags.push_back(doc.GetChildTagName());
    doc.ResetChildPos();
    return tags;
}

}  // namespace

TEST_F(ProjectFile, NewProjectSavedAtOnceHasTheDocumentedShape) {
    CProjectInformation p;
    CMarkup doc = Document(p);
    EXPECT_EQ(doc.GetAttrib("version"), "1");
    EXPECT_EQ(doc.GetAttrib("date").size(), 10u);
    EXPECT_EQ(doc.GetAttrib("DNS"), "FALSE");
    EXPECT_EQ(doc.GetAttrib("DEFAULTPAGE"), "index.html");
    for (const char* never : {"COOKIEID", "FullDNS", "ApacheMultipleFileFormat"})
        EXPECT_EQ(doc.GetSubDoc().find(never), std::string::npos) << never;
    EXPECT_EQ(ChildTags(doc),
              (std::vector<std::string>{"LOGFILES", "TRACKING", "TAGS", "SCENARIOS", "FILTERS"}));

    doc.IntoElem();
    ASSERT_TRUE(doc.FindElem("LOGFILES"));
    ASSERT_TRUE(doc.FindChildElem("LOGFILEENTRY"));
    EXPECT_EQ(doc.GetChildAttrib("Type"), "LOCAL");
    EXPECT_EQ(doc.GetChildAttrib("Format"), "AUTO");
    EXPECT_FALSE(doc.FindChildElem("LOGFILEENTRY"));
    doc.ResetChildPos();
    doc.FindChildElem();
    doc.IntoElem();
    doc.IntoElem();
    ASSERT_TRUE(doc.FindElem("PATHS"));
    EXPECT_FALSE(doc.FindChildElem());
    ASSERT_TRUE(doc.FindElem("SERVERINFO"));
    EXPECT_EQ(doc.GetAttrib("PASSWORD"), "FALSE");
    EXPECT_EQ(ChildTags(doc),
              (std::vector<std::string>{"SERVERNAME", "PORTNUM", "USERNAME", "PASSWORD"}));
    ASSERT_TRUE(doc.FindChildElem("PORTNUM"));
    EXPECT_EQ(doc.GetChildData(), "21");
}

TEST_F(ProjectFile, FullyPopulatedProjectRoundTripsFieldByField) {
    const CProjectInformation original = SampleProject();
    const std::string path = dir.file("full.bvp");
    ASSERT_TRUE(original.SaveXML(path.c_str()));
    CProjectInformation loaded;
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));

    ASSERT_EQ(loaded.GetNumLogfileInformation(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(loaded.GetLogfileInformation(i), original.GetLogfileInformation(i)) << i;
    EXPECT_EQ(loaded.GetFilters(), original.GetFilters());
    EXPECT_EQ(loaded.GetScenarioInformation(), original.GetScenarioInformation());
    EXPECT_EQ(loaded.GetTagInformation(), original.GetTagInformation());
    EXPECT_EQ(loaded.GetExportInformation(), original.GetExportInformation());
    EXPECT_EQ(loaded.GetProjectDesc(), original.GetProjectDesc());
    EXPECT_TRUE(loaded == original);

    // Saving what was loaded gives the same file, byte for byte.
    const std::string again = dir.file("again.bvp");
    ASSERT_TRUE(loaded.SaveXML(again.c_str()));
    EXPECT_EQ(ReadFile(again), ReadFile(path));
}

TEST_F(ProjectFile, FullDnsAndApacheFlagsAreReadButNeverWritten) {
    CProjectInformation p;
    p.SetEnableFullDNS(true);
    p.SetApacheTwoFileFormat(true);
    const std::string path = dir.file("flags.bvp");
    ASSERT_TRUE(p.SaveXML(path.c_str()));
    CProjectInformation loaded;
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));
    EXPECT_FALSE(loaded.GetApacheTwoFileFormat());

    CProjectInformation read =
        Load("<PROJECT FullDNS='true' ApacheMultipleFileFormat='TRUE' DNS='tRuE'/>");
    EXPECT_TRUE(read.GetApacheTwoFileFormat());
    EXPECT_TRUE(read.GetDisableDNS());
}

TEST_F(ProjectFile, EnableFullDnsFollowsTheDomainFilters) {
    CProjectInformation p;
    p.SetEnableFullDNS(true);
    EXPECT_FALSE(p.GetEnableFullDNS());
    p.AddFilterInfo(SampleFilter(1, filter_t::IP, "10.*", 1));
    EXPECT_FALSE(p.GetEnableFullDNS());
    p.SetEnableFullDNS(false);
    p.AddFilterInfo(SampleFilter(0, filter_t::DOMAIN, "*.fr", 1));
    EXPECT_TRUE(p.GetEnableFullDNS());
    p.RemoveFilterInfo(1);
    EXPECT_FALSE(p.GetEnableFullDNS());
}

TEST_F(ProjectFile, FilesHoldingPasswordsAreOwnerOnly) {
    CProjectInformation plain;
    const std::string plainPath = dir.file("plain.bvp");
    ASSERT_TRUE(plain.SaveXML(plainPath.c_str()));
    EXPECT_NE(ModeOf(plainPath) & 0044, 0u);

    CProjectInformation server;
    server.GetLogfileInformation(0).SetPassword("x");
    const std::string serverPath = dir.file("server.bvp");
    ASSERT_TRUE(server.SaveXML(serverPath.c_str()));
    EXPECT_EQ(ModeOf(serverPath), 0600u);

    const std::string fullPath = dir.file("full.bvp");
    CProjectInformation ftpOnly = SampleProject();
    for (int i = 0; i < ftpOnly.GetNumLogfileInformation(); ++i)
        ftpOnly.GetLogfileInformation(i).SetPassword("");
    ASSERT_TRUE(ftpOnly.SaveXML(fullPath.c_str()));
    EXPECT_EQ(ModeOf(fullPath), 0600u);
}

TEST_F(ProjectFile, FailedSaveReturnsFalseAndKeepsTheOldFile) {
    CProjectInformation p = SampleProject();
    EXPECT_FALSE(p.SaveXML(dir.file("no/such/folder/p.bvp").c_str()));
    EXPECT_FALSE(p.SaveXML(""));
    std::filesystem::create_directory(dir.file("taken"));
    WriteFile(dir.file("taken/keep"), "x");
    EXPECT_FALSE(p.SaveXML(dir.file("taken").c_str()));
    EXPECT_EQ(ReadFile(dir.file("taken/keep")), "x");
}

TEST_F(ProjectFile, FailedLoadLeavesTheProjectUntouched) {
    WriteFile(dir.file("broken.bvp"), "<PROJECT Name='x'><LOGFILES>");
    WriteFile(dir.file("other.bvp"), "<REPORTS Name='x'/>");
    WriteFile(dir.file("empty.bvp"), "");
    const CProjectInformation original = SampleProject();
    for (const char* name : {"missing.bvp", "broken.bvp", "other.bvp", "empty.bvp", ""}) {
        CProjectInformation p = original;
        EXPECT_FALSE(p.LoadXML(dir.file(name).c_str())) << name;
        EXPECT_TRUE(p == original) << name;
    }
    CProjectInformation p;
    EXPECT_FALSE(p.LoadXML(static_cast<const char*>(nullptr)));
}

TEST_F(ProjectFile, LoadedProjectHoldsOnlyWhatTheFileHolds) {
    CProjectInformation p = SampleProject();
    WriteFile(dir.file("bare.bvp"), "<PROJECT Name='Bare'><UNKNOWN/></PROJECT>");
    ASSERT_TRUE(p.LoadXML(dir.file("bare.bvp").c_str()));
    EXPECT_EQ(p.GetProjectName(), "Bare");
    EXPECT_EQ(p.GetNumLogfileInformation(), 0);
    EXPECT_EQ(p.GetNumTrackedFiles(), 0);
    EXPECT_EQ(p.GetNumFilters(), 0);
    EXPECT_EQ(p.GetTagInformation().GetNumTriggers(), 0);
    EXPECT_EQ(p.GetScenarioInformation().GetNumScenarios(), 0);
    EXPECT_FALSE(p.GetExportInformation().GetIsExport());
    EXPECT_EQ(p.GetCookieID(), "");
    EXPECT_EQ(p.GetSiteDefaultPage(), "");
}

TEST_F(ProjectFile, ServerInfoChildrenAreFoundOnlyInWrittenOrder) {
    CProjectInformation p = Load(
        "<PROJECT><LOGFILES><LOGFILEENTRY Type='ftp' Format='elfend'><PATHS>"
        "<PATH Type='dir'>/a</PATH><PATH Type='odd'>/b</PATH><PATH>/c</PATH></PATHS>"
        "<SERVERINFO PASSWORD='true'><PORTNUM>2121</PORTNUM><SERVERNAME>s</SERVERNAME>"
        "<PASSWORD>pw</PASSWORD><USERNAME>u</USERNAME></SERVERINFO></LOGFILEENTRY>"
        "<LOGFILEENTRY Type='bogus' Format='NOPE'/></LOGFILES></PROJECT>");
    ASSERT_EQ(p.GetNumLogfileInformation(), 2);
    const CLogfileInformation& e = p.GetLogfileInformation(0);
    EXPECT_EQ(e.GetImportType(), import_t::FTP);
    EXPECT_EQ(e.GetLogfileType(), logfiletype_t::ELFEND);
    EXPECT_EQ(e.GetServerName(), "s");
    EXPECT_EQ(e.GetPortNum(), 21);    // before SERVERNAME: not found
    EXPECT_EQ(e.GetUsername(), "u");  // after SERVERNAME
    EXPECT_EQ(e.GetPassword(), "");   // before USERNAME
    EXPECT_TRUE(e.GetPasswordProtected());
    ASSERT_EQ(e.GetNumPaths(), 3);
    EXPECT_EQ(e.GetPathFileType(0), file_t::DIR);
    EXPECT_EQ(e.GetPathFileType(1), file_t::FILE);
    EXPECT_EQ(e.GetPathFileType(2), file_t::FILE);
    EXPECT_EQ(p.GetLogfileInformation(1).GetImportType(), import_t::LOCAL);
    EXPECT_EQ(p.GetLogfileInformation(1).GetLogfileType(), logfiletype_t::AUTO);
    EXPECT_EQ(p.GetLogfileInformation(1).GetPortNum(), 21);
}

TEST_F(ProjectFile, ChildrenOfProjectAreReadInAnyOrder) {
    CProjectInformation p = Load(
        "<PROJECT><FILTERS><FILTER><STRING>f</STRING></FILTER></FILTERS>"
        "<TRACKING><TRACK>/a</TRACK><OTHER>x</OTHER><TRACK>/b</TRACK></TRACKING>"
        "<TAGS><TAG Type='SITEENTRY' Name='n'>/x</TAG></TAGS>"
        "<LOGFILES><LOGFILEENTRY/></LOGFILES></PROJECT>");
    EXPECT_EQ(p.GetNumFilters(), 1);
    EXPECT_EQ(p.GetNumTrackedFiles(), 2);
    EXPECT_EQ(p.GetTrackedFile(1), "/b");
    EXPECT_EQ(p.GetTagInformation().GetNumTriggers(), 1);
    EXPECT_EQ(p.GetNumLogfileInformation(), 1);
}

TEST(ProjectLists, InsertOrAppendAndRemove) {
    CProjectInformation p;
    EXPECT_EQ(p.GetNumLogfileInformation(), 1);
    CLogfileInformation e;
    e.SetServerName("second");
    EXPECT_EQ(p.AddLogfileInformation(e, 7), 1);
    e.SetServerName("first");
    EXPECT_EQ(p.AddLogfileInformation(e, 0), 0);
    EXPECT_EQ(p.GetLogfileInformation(2).GetServerName(), "second");
    p.RemoveLogfileInformation(0);
    p.RemoveLogfileInformation(9);
    EXPECT_EQ(p.GetLogfileInformation(0).GetServerName(), "");
    p.AllocateLogInfo(4);
    EXPECT_EQ(p.GetNumLogfileInformation(), 4);
    EXPECT_EQ(p.GetLogfileInformation(3), CLogfileInformation());
    p.AllocateLogInfo(0);
    EXPECT_EQ(p.GetNumLogfileInformation(), 0);

    EXPECT_EQ(p.AddTrackedFile("/b"), 0);
    EXPECT_EQ(p.AddTrackedFile("/a", 0), 0);
    EXPECT_EQ(p.AddTrackedFile("/c", 2), 2);
    EXPECT_EQ(p.RemoveTrackedFile(3), 0);
    EXPECT_EQ(p.RemoveTrackedFile(-1), 0);
    EXPECT_EQ(p.RemoveTrackedFile(0), 1);
    EXPECT_EQ(p.GetTrackedFile(0), "/b");
    EXPECT_EQ(p.GetTrackedFile(5), "");
}

TEST(ProjectLists, ClearKeepsDescriptionCookieScenariosTagsAndExport) {
    CProjectInformation p = logvane::test::SampleProject();
    p.Clear();
    EXPECT_EQ(p.GetNumLogfileInformation(), 0);
    EXPECT_EQ(p.GetNumTrackedFiles(), 0);
    EXPECT_EQ(p.GetNumFilters(), 0);
    EXPECT_EQ(p.GetSiteDomain(), "");
    EXPECT_EQ(p.GetSiteDefaultPage(), "");
    EXPECT_EQ(p.GetProjectName(), "");
    EXPECT_FALSE(p.GetDisableDNS());
    EXPECT_EQ(p.GetCookieID(), "SESSIONID");
    EXPECT_NE(p.GetProjectDesc(), "");
    EXPECT_EQ(p.GetScenarioInformation().GetNumScenarios(), 2);
    EXPECT_EQ(p.GetTagInformation().GetNumTriggers(), 3);
    EXPECT_TRUE(p.GetExportInformation().GetIsExport());
}

TEST(ProjectDescription, CopiesAllThreeTexts) {
    CProjectDescription d;
    d.SetSiteDomainName("example.com");
    d.SetProjectName("Site");
    d.SetCreationDate("12/08/2026");
    CProjectDescription copy(d), assigned;
    assigned = d;
    EXPECT_EQ(copy, d);
    EXPECT_EQ(assigned.GetCreationDate(), "12/08/2026");
    EXPECT_EQ(assigned.GetSiteDomainName(), "example.com");
}
