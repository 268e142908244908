#include "store/style/ExportInformation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ProjectSamples.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using namespace logvane::test;

namespace {

class ExportSettings : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(GetSettingsDir());
        CStyles styles;
        styles.Insert(new CStyle(SampleStyle("Corporate")));
        ASSERT_TRUE(styles.SaveXML(GetSettingsFile("styles").c_str()));
    }

    // Writes e into a project element and reads it back into a fresh object.
    CExportInformation RoundTrip(const CExportInformation& e) {
        CMarkup doc;
        doc.AddElem("PROJECT");
        e.SaveXML(doc);
        written = doc.GetDoc();
        CMarkup reread(written.c_str());
        reread.FindElem("PROJECT");
        reread.IntoElem();
        CExportInformation loaded;
        if (reread.FindElem("EXPORT")) loaded.LoadXML(reread);
        return loaded;
    }

    CExportInformation Read(const std::string& xml) {
        CMarkup doc(xml.c_str());
        doc.FindElem();
        CExportInformation loaded;
        loaded.LoadXML(doc);
        return loaded;
    }

    ScopedHome home;
    std::string written;
};

CExportInformation Local(CExportInformation::export_t type) {
    CExportInformation e;
    e.SetIsExport(true);
    e.SetExportType(type);
    e.SetExportPath("/srv/www/stats & more");
    e.SetIncludeImages(false);
    e.SetDoPDF(1);
    e.SetExportDefault(true);
    e.SetStyle(SampleStyle("Corporate"));
    return e;
}

}  // namespace

TEST_F(ExportSettings, FtpExportRoundTripsWithItsPortAndStyle) {
    const CExportInformation original = SampleProject().GetExportInformation();
    const CExportInformation loaded = RoundTrip(original);
    EXPECT_EQ(loaded, original);
    EXPECT_EQ(loaded.GetExportFTPPortnum(), 2121);
    const CExportInformation copy(loaded);
    EXPECT_EQ(copy.GetExportFTPPortnum(), 2121);
    EXPECT_NE(written.find("<PORTNUM>2121</PORTNUM>"), std::string::npos);
}

TEST_F(ExportSettings, LocalAndCsvExportsRoundTrip) {
    for (auto type : {CExportInformation::LOCAL, CExportInformation::CSV}) {
        const CExportInformation original = Local(type);
        EXPECT_EQ(RoundTrip(original), original) << type;
        EXPECT_EQ(written.find("SERVERNAME"), std::string::npos);
    }
}

TEST_F(ExportSettings, IncludeImagesNoReadsBackAsNo) {
    CExportInformation e = Local(CExportInformation::LOCAL);
    EXPECT_FALSE(RoundTrip(e).GetIncludeImages());
    e.SetIncludeImages(true);
    EXPECT_TRUE(RoundTrip(e).GetIncludeImages());
    // Beside OUTPUT, where older readers looked for it, it still counts.
    EXPECT_FALSE(
        Read("<EXPORT><OUTPUT Method='CSV'/><IMAGES>NO</IMAGES></EXPORT>").GetIncludeImages());
    EXPECT_TRUE(Read("<EXPORT><OUTPUT Method='CSV'/></EXPORT>").GetIncludeImages());
}

TEST_F(ExportSettings, NothingIsWrittenUnlessExportingWithAKnownMethod) {
    CExportInformation off = Local(CExportInformation::FTP);
    off.SetIsExport(false);
    RoundTrip(off);
    EXPECT_EQ(written.find("EXPORT"), std::string::npos);
    CExportInformation odd = Local(static_cast<CExportInformation::export_t>(7));
    RoundTrip(odd);
    EXPECT_EQ(written.find("EXPORT"), std::string::npos);
}

TEST_F(ExportSettings, UnknownStyleLeavesTheCurrentOneAndNamesIgnoreCase) {
    const CExportInformation gone =
        Read("<EXPORT><OUTPUT Style='Vanished' Method='LOCAL'/></EXPORT>");
    EXPECT_EQ(gone.GetStyle(), CStyle());
    EXPECT_TRUE(gone.GetIsExport());
    const CExportInformation found = Read("<EXPORT><OUTPUT Style='CORPORATE'/></EXPORT>");
    EXPECT_EQ(found.GetStyle(), SampleStyle("Corporate"));
}

TEST_F(ExportSettings, ReaderDefaults) {
    const CExportInformation none = Read("<EXPORT><IMAGES>NO</IMAGES></EXPORT>");
    EXPECT_FALSE(none.GetIsExport());
    EXPECT_TRUE(none.GetIncludeImages());

    const CExportInformation bare =
        Read("<EXPORT><OUTPUT Method='ftp' Default='yes' PDF='1'/></EXPORT>");
    EXPECT_EQ(bare.GetExportType(), CExportInformation::LOCAL);  // exact comparison
    EXPECT_FALSE(bare.GetExportDefault());
    EXPECT_EQ(bare.GetDoPDF(), 0);

    const CExportInformation ftp = Read(
        "<EXPORT><OUTPUT Method='FTP'><USERNAME>u</USERNAME><SERVERNAME>s</SERVERNAME>"
        "</OUTPUT></EXPORT>");
    EXPECT_EQ(ftp.GetExportFTPSitename(), "s");
    EXPECT_EQ(ftp.GetExportFTPUsername(), "");  // before SERVERNAME: not found
    EXPECT_EQ(ftp.GetExportFTPPortnum(), 21);
    EXPECT_EQ(ftp.GetHTMLHeaderFile(), "");
    EXPECT_EQ(ftp.GetCustomCSSFile(), "");
}
