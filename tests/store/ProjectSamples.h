#pragma once

// A project with every field set away from its default, shared by the project and mutation
// tests.

#include "store/project/ProjectInformation.h"
#include "store/style/Styles.h"

namespace logvane::test {

// Every information type a filter can test.
inline constexpr int kEveryFilterKind[] = {filter_t::DOMAIN,
                                           filter_t::IP,
                                           filter_t::FILE,
                                           filter_t::RANGE_DATES,
                                           filter_t::DOW,
                                           filter_t::HOUR,
                                           filter_t::REFERRER,
                                           filter_t::USEROS,
                                           filter_t::USERBROWSER,
                                           filter_t::SPIDER,
                                           filter_t::REQUEST,
                                           filter_t::SUCCESS,
                                           filter_t::AUTHUSER,
                                           filter_t::VIRTUALDOMAIN,
                                           filter_t::QUICKFILTER_DATE_TIME,
                                           filter_t::QUICKFILTER_SPIDERS,
                                           filter_t::QUERY_STRING,
                                           filter_t::COOKIE};

inline CStyle SampleStyle(const std::string& name) {
    CStyle style;
    style.SetName(name);
    style.SetStyleType(CStyle::advanced);
    style.SetBackground(0x123456);
    style.SetStyleFile("/styles/site.css");
    style.SetHeaderFile("/styles/header.html");
    style.SetFooterFile("/styles/footer <&> \"x\".html");
    style.SetStyleTable1(CColorStyle("Courier New", 10, 0xFF00FF, 0x00FF00, true, false));
    style.SetStyleTableHeader(CColorStyle("Verdana", 14, 0xFFFFFFFF, 0x80000000, false, true));
    style.SetStyleReportLinks(CColorStyle("Times", 8, 0x010203, 0x040506, true, true));
    style.AddReport("Hits Per day");
    style.AddReport("Referring Pages");
    return style;
}

inline filter_t SampleFilter(int include, int info, const std::string& s, int n) {
    filter_t f;
    f.includeType = include;
    f.infoType = info;
    f.string = s;
    f.num1 = n;
    f.num2 = n * 2 + 1;
    f.quickFilter = n % 10;
    f.begin = 1600000000 + n;
    f.end = 1700000000 + n;
    f.requestType = static_cast<request_t>(n % 3);
    return f;
}

inline CLogfileInformation SampleEntry(import_t import, logfiletype_t format, int n) {
    CLogfileInformation e;
    e.SetImportType(import);
    e.SetLogfileType(format);
    e.SetPath(-1, "/var/log/site" + std::to_string(n));
    e.SetPathFileType(0, file_t::DIR);
    e.SetPath(-1, "/var/log/site" + std::to_string(n) + "/access.log");
    e.SetPathFileType(1, file_t::FILE);
    e.SetPath(-1, "/var/log/site" + std::to_string(n) + "/access*.gz");
    e.SetPathFileType(2, file_t::WILDCARD);
    e.SetServerName("logs" + std::to_string(n) + ".example.com");
    e.SetPortNum(2100 + n);
    e.SetUsername("user" + std::to_string(n));
    e.SetPassword("p<a>ss&\"word'" + std::to_string(n));
    e.SetPasswordProtected(n % 2 == 1);
    return e;
}

// Everything set; the export is FTP with the style named "Corporate". FullDNS and the Apache
// flag stay false: they are read but never written.
inline CProjectInformation SampleProject() {
    CProjectInformation p;
    p.Clear();
    p.SetProjectName("Shop & Blog");
    p.SetProjectDesc("Main <site>\n\twith \"quotes\" and caf\xE9");
    p.SetSiteDomain("www.example.com");
    p.SetSiteDefaultPage("default.htm");
    p.SetCookieID("SESSIONID");
    p.SetDisableDNS(true);
    p.SetEnableFullDNS(false);
    p.SetApacheTwoFileFormat(false);
    p.AddLogfileInformation(SampleEntry(import_t::LOCAL, logfiletype_t::CLF, 1));
    p.AddLogfileInformation(SampleEntry(import_t::FTP, logfiletype_t::ELFBEG, 2));
    p.AddLogfileInformation(SampleEntry(import_t::WEB, logfiletype_t::DOMINO, 3));
    p.AddTrackedFile("/index.html");
    p.AddTrackedFile("/shop/cart.php?step=1&x=2");

    int n = 1;
    for (int kind : kEveryFilterKind) {
        p.AddFilterInfo(SampleFilter(n % 2, kind, "*pat" + std::to_string(n), n));
        ++n;
    }

    for (int s = 0; s < 2; ++s) {
        auto* scenario = new CSpecificScenario;
        scenario->SetScenarioName("Checkout " + std::to_string(s));
        scenario->AddFilter(SampleFilter(0, filter_t::RANGE_DATES, "", 3 + s));
        scenario->AddFilter(SampleFilter(1, filter_t::FILE, "/admin/*", 4));
        int i = scenario->AddStep("Cart");
        scenario->SetStepMatchText("/cart*", i);
        i = scenario->AddStep("Pay");
        scenario->SetStepMatchText("^/pay/[0-9]+$", i);
        scenario->SetStepMatchType(CSpecificScenario::REGEXP, i);
        p.ScenarioInformation().AddSpecificScenario(scenario);
    }
    p.TagInformation().AddTriggerInformation(
        CTagInformation::CTriggerInformation(CTagInformation::REFERRER, "*google*", "G"));
    p.TagInformation().AddTriggerInformation(
        CTagInformation::CTriggerInformation(CTagInformation::SITEENTRY, "/promo*", "Promo"));
    p.TagInformation().AddTriggerInformation(
        CTagInformation::CTriggerInformation(CTagInformation::ANYPAGE, "/faq.html", "FAQ"));

    CExportInformation e;
    e.SetIsExport(true);
    e.SetExportType(CExportInformation::FTP);
    e.SetIncludeImages(false);
    e.SetExportDefault(true);
    e.SetDoPDF(1);
    e.SetStyle(SampleStyle("Corporate"));
    e.SetExportFTPSitename("ftp.example.com");
    e.SetExportFTPUsername("web");
    e.SetExportFTPPassword("s3cr&t");
    e.SetExportFTPPath("/public_html/stats");
    e.SetExportFTPPortnum(2121);
    p.SetExportInformation(e);
    return p;
}

}  // namespace logvane::test
