#include "engine/report/ReportCatalogue.h"

namespace report_catalogue {
namespace {

using R = CTableReport;

constexpr report_column_t N(const char* title) { return {title, R::NUMBER}; }
constexpr report_column_t P(const char* title) { return {title, R::PERCENTAGE}; }
constexpr report_column_t B(const char* title) { return {title, R::BANDWIDTH}; }
constexpr report_column_t T(const char* title) { return {title, R::TEXT}; }
constexpr report_column_t U(const char* title) { return {title, R::URL}; }
constexpr report_column_t D(const char* title) { return {title, R::JUSTDATE}; }

}  // namespace

const report_spec_t kGeneralStatistics{
    "General Statistics",
    "GS",
    "GENERALSTATISTICS",
    "TEXTPAGE",
    "Reports/Main-GeneralInfo.htm",
    -1,
    2,
    {T("Item"), T("Value")},
    false,
    R::BAR,
    "",
    "",
    "An overview of the whole analysis: hits, data transferred, visitors, the period the logs "
    "cover and the averages derived from them."};

const report_spec_t kDomainName{
    "Domain Name",
    "DN",
    "DOMAINNAME",
    "NETWORK",
    "Reports/Visitor-DomainName.htm",
    2,
    3,
    {T("Domain Name"), N("Hits"), B("Bandwidth")},
    false,
    R::BAR,
    "",
    "",
    "The computers that visited the site, by host name where it could be looked up and by "
    "address otherwise, with the hits and the data each of them received."};

const report_spec_t kGeographicalLocation{
    "Geographical Location",
    "GA",
    "DOMAINSUFFIX",
    "PIECHART",
    "Reports/Visitor-Geographical.htm",
    2,
    3,
    {T("Country Name"), N("Hits"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "The countries visitors came from, told by their addresses or by the suffix of their host "
    "names, with each country's share of all hits."};

const report_spec_t kWebBrowsers{
    "Web Browsers",
    "VWB",
    "BROWSERS",
    "PIECHART",
    "Reports/Visitor-Browser.htm",
    2,
    3,
    {T("Browser"), N("Hits"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "The web browsers named by the visitors' user agents. Percentages are shares of the "
    "browsers listed."};

const report_spec_t kOperatingSystems{
    "Operating Systems",
    "VOS",
    "OSES",
    "PIECHART",
    "Reports/Visitor-OS.htm",
    2,
    3,
    {T("Operating System"), N("Hits"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "The operating systems named by the visitors' user agents. Percentages are shares of the "
    "systems listed."};

const report_spec_t kSpiders{
    "Search Engine Spiders",
    "SSP",
    "SPIDERS",
    "PIECHART",
    "Reports/Visitor-Spiders.htm",
    2,
    3,
    {T("Spider"), N("Hits"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "The search engine robots (spiders) that crawled the site, recognised by their user "
    "agents."};

const report_spec_t kAuthenticatedUsers{
    "Authenticated Users",
    "AU",
    "AUTHUSERS",
    "TEXTPAGE",
    "Reports/Visitor-AuthenticatedUsers.htm",
    2,
    4,
    {T("Username"), N("Hits"), N("Sessions"), B("Bandwidth")},
    false,
    R::BAR,
    "",
    "",
    "The user names visitors logged in with, with their hits, visits and data received."};

const report_spec_t kPageTypesHits{
    "Page Types (Hits)",
    "PAGETYPESHITS",
    "PAGETYPESHITS",
    "PIECHART",
    "Reports/Access-PageTypesHitsBandwidth.htm",
    2,
    3,
    {T("Page Type"), N("Hits"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "How the successful hits divide among pages, images, downloadable files and other web "
    "content."};

const report_spec_t kPageTypesBandwidth{
    "Page Types (Bandwidth)",
    "PAGETYPESBANDW",
    "PAGETYPESBANDW",
    "PIECHART",
    "Reports/Access-PageTypesHitsBandwidth.htm",
    2,
    3,
    {T("Page Type"), B("Bandwidth"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "How the data sent divides among pages, images, downloadable files and other web "
    "content."};

const report_spec_t kMostResources{
    "Most Requested Resources",
    "MRRR",
    "MRR",
    "SIDECHART",
    "Reports/Access-MostLeast-Resources.htm",
    2,
    3,
    {U("Page Name"), N("Hits"), B("Bandwidth")},
    true,
    R::SIDEBAR,
    "",
    "Hits",
    "Everything on the site that was requested successfully, most requested first."};

const report_spec_t kMostPages{"Most Requested Pages",
                               "MRQP",
                               "MRP",
                               "SIDECHART",
                               "Reports/Access-MostLeast-Pages.htm",
                               2,
                               3,
                               {U("Page Name"), N("Hits"), B("Bandwidth")},
                               true,
                               R::SIDEBAR,
                               "",
                               "Hits",
                               "The pages of the site that were viewed most often."};

const report_spec_t kMostFiles{
    "Most Requested Files",
    "MPOPFILES",
    "MPOPFILES",
    "SIDECHART",
    "Reports/Access-MostLeast-Files.htm",
    2,
    4,
    {U("File Name"), N("Hits"), N("Incomplete Requests"), B("Bandwidth")},
    true,
    R::SIDEBAR,
    "",
    "Hits",
    "The downloadable files requested most often, with the downloads that were broken off "
    "before the end."};

const report_spec_t kMostImages{
    "Most Popular Images",
    "MPOPIMGS",
    "MPOPIMGS",
    "SIDECHART",
    "Reports/Access-MostLeast-Images.htm",
    2,
    4,
    {U("Image File Name"), N("Hits"), N("Incomplete Requests"), B("Bandwidth")},
    true,
    R::SIDEBAR,
    "",
    "Hits",
    "The images requested most often."};

const report_spec_t kMostMiscWeb{
    "Most Popular Misc. Web",
    "MPOPMISCWEB",
    "MPOPMISCWEB",
    "SIDECHART",
    "Reports/Access-MostLeast-MiscWeb.htm",
    2,
    3,
    {U("Filename"), N("Hits"), B("Bandwidth")},
    true,
    R::SIDEBAR,
    "",
    "Hits",
    "Other web content (style sheets, scripts and the like) requested most often."};

const report_spec_t kMostDirectories{
    "Most Requested Directories",
    "MRQDIR",
    "MRDIR",
    "SIDECHART",
    "Reports/Access-MostLeast-Directories.htm",
    2,
    3,
    {U("Directory Name"), N("Hits"), B("Bandwidth")},
    true,
    R::SIDEBAR,
    "",
    "Hits",
    "The directories of the site whose contents were requested most often."};

const report_spec_t kLeastResources{
    "Least Requested Resources",
    "LEASTMRRR",
    "LEATRR",
    "TEXTPAGE",
    "Reports/Access-MostLeast-Resources.htm",
    -2,
    3,
    {U("Page Name"), N("Hits"), B("Bandwidth")},
    false,
    R::BAR,
    "",
    "",
    "Everything on the site that was requested, fewest requests first: candidates for "
    "removal or better links."};

const report_spec_t kLeastPages{"Least Requested Pages",
                                "LEASTMRQP",
                                "LEASTRP",
                                "TEXTPAGE",
                                "Reports/Access-MostLeast-Pages.htm",
                                -2,
                                3,
                                {U("Page Name"), N("Hits"), B("Bandwidth")},
                                false,
                                R::BAR,
                                "",
                                "",
                                "The pages that were viewed least often."};

const report_spec_t kLeastFiles{
    "Least Requested Files",
    "LEASTMPOPFILES",
    "LEASTMPOPFILES",
    "TEXTPAGE",
    "Reports/Access-MostLeast-Files.htm",
    -2,
    4,
    {U("File Name"), N("Hits"), N("Incomplete Requests"), B("Bandwidth")},
    false,
    R::BAR,
    "",
    "",
    "The downloadable files requested least often."};

const report_spec_t kLeastImages{
    "Least Popular Images",
    "LEASTMPOPIMGS",
    "LEASTPOPIMGS",
    "TEXTPAGE",
    "Reports/Access-MostLeast-Images.htm",
    -2,
    4,
    {U("Image File Name"), N("Hits"), N("Incomplete Requests"), B("Bandwidth")},
    false,
    R::BAR,
    "",
    "",
    "The images requested least often."};

const report_spec_t kLeastMiscWeb{"Least Popular Misc. Web",
                                  "LEASTMPOPMISCWEB",
                                  "LEASTPOPMISCWEB",
                                  "TEXTPAGE",
                                  "Reports/Access-MostLeast-MiscWeb.htm",
                                  -2,
                                  3,
                                  {U("File Name"), N("Hits"), B("Bandwidth")},
                                  false,
                                  R::BAR,
                                  "",
                                  "",
                                  "Other web content requested least often."};

const report_spec_t kLeastDirectories{"Least Requested Directories",
                                      "LEASTMRQDIR",
                                      "LEASTMRDIR",
                                      "TEXTPAGE",
                                      "Reports/Access-MostLeast-Directories.htm",
                                      -2,
                                      3,
                                      {U("Directory Name"), N("Hits"), B("Bandwidth")},
                                      false,
                                      R::BAR,
                                      "",
                                      "",
                                      "The directories whose contents were requested least often."};

const report_spec_t kHitsPerDay{
    "Hits Per day",
    "HITSDAY",
    "HITSDAY",
    "LINEGRAPH",
    "Reports/Access-HitsPerDay.htm",
    1,
    3,
    {D("Date/Time"), N("Hits"), P("Percentage")},
    true,
    R::AREA,
    "Date",
    "Hits",
    "The hits of every day of the period, with each day's share of all hits."};

const report_spec_t kBandwidthPerDay{
    "Bandwidth Per day",
    "BANDWIDTHDAY",
    "BDAY",
    "LINEGRAPH",
    "Reports/Access-BandwidthPerDay.htm",
    1,
    3,
    {D("Date/Time"), B("Bandwidth"), P("Percentage")},
    true,
    R::AREA,
    "Date",
    "Bandwidth",
    "The data sent on every day of the period, with each day's share of the total."};

const report_spec_t kPageViewsPerDay{"Page Views Per day",
                                     "PVDAY",
                                     "PVDAY",
                                     "LINEGRAPH",
                                     "Reports/Access-PageViewsPerDay.htm",
                                     1,
                                     3,
                                     {D("Date/Time"), N("Page Views"), P("Percentage")},
                                     true,
                                     R::AREA,
                                     "Date",
                                     "Page Views",
                                     "The pages viewed on every day of the period."};

const report_spec_t kVisitorsPerDay{"Visitors Per day",
                                    "VISITORSDAY",
                                    "VISITSDAY",
                                    "LINEGRAPH",
                                    "Reports/Access-VisitorsPerDay.htm",
                                    1,
                                    3,
                                    {D("Date/Time"), N("Visitors per Day"), P("Percentage")},
                                    true,
                                    R::AREA,
                                    "Date",
                                    "Visitors",
                                    "The visits that began on every day of the period."};

const report_spec_t kDayOfWeek{
    "Hits per Day of Week",
    "DOWHIST",
    "DOWHIST",
    "BARCHART",
    "Reports/Access-HitsPerDayOfWeek.htm",
    2,
    3,
    {T("Day of Week"), N("Hits"), P("Percentage")},
    true,
    R::BAR,
    "Day of Week",
    "Hits",
    "The hits of the whole period by day of the week: the site's busy and quiet days."};

const report_spec_t kHours{
    "Hits per Hour",
    "HOURSHITS",
    "HOURSHITS",
    "BARCHART",
    "Reports/Access-HitsPerHour.htm",
    2,
    3,
    {T("Hour"), N("Hits"), P("Percentage")},
    true,
    R::BAR,
    "Hour of Day",
    "Hits",
    "The hits of the whole period by hour of the day, in the server's time."};

const report_spec_t kQueryStrings{
    "Query Strings (nested)",
    "QS",
    "QS",
    "TEXTPAGE",
    "Reports/Access-QueryStrings.htm",
    2,
    2,
    {T("Filename/Query String"), N("Hits")},
    false,
    R::BAR,
    "",
    "",
    "The pages that were requested with query strings; open a page to see its query "
    "strings."};

const report_spec_t kReferrerOrigin{
    "Referrer Origin",
    "REFOR",
    "REFOR",
    "PIECHART",
    "",
    2,
    3,
    {T("Referrer Origin"), N("Hits"), P("Percentage")},
    true,
    R::PIE,
    "",
    "",
    "Where visitors followed a link from: web pages, e-mail messages, newsgroups, FTP sites, "
    "local files, or no link at all."};

const report_spec_t kReferringDomain{"Referring Domain",
                                     "REFD",
                                     "REFD",
                                     "TEXTPAGE",
                                     "Reports/Referrer-Domains.htm",
                                     2,
                                     2,
                                     {U("Referring Domain"), N("Occurrences")},
                                     false,
                                     R::BAR,
                                     "",
                                     "",
                                     "The other sites whose links brought visitors here."};

const report_spec_t kReferringPages{"Referring Pages",
                                    "REFP",
                                    "REFP",
                                    "TEXTPAGE",
                                    "Reports/Referrer-ReferringPages.htm",
                                    2,
                                    2,
                                    {U("Referring Page"), N("Occurrences")},
                                    false,
                                    R::BAR,
                                    "",
                                    "",
                                    "The pages on other sites whose links brought visitors here."};

const report_spec_t kPageReferrers{
    "Individual Page Referrers (nested)",
    "INDIVPR",
    "IPR",
    "TEXTPAGE",
    "Reports/Referrer-IndividualPageReferrers.htm",
    0,
    2,
    {U("Filename/Referring URL"), N("Hits")},
    false,
    R::BAR,
    "",
    "",
    "For every page of the site, the pages whose links led to it; open a page to see its "
    "referrers."};

const report_spec_t kSearchEngines{"Search Engines",
                                   "SEARCHPERF",
                                   "SEARCHPERF",
                                   "SIDECHART",
                                   "Reports/Referrer-SearchEngines.htm",
                                   2,
                                   2,
                                   {T("Search Engine Name"), N("Total Hits from That Engine")},
                                   true,
                                   R::SIDEBAR,
                                   "",
                                   "",
                                   "The search engines whose result pages sent visitors here."};

const report_spec_t kSearchKeywords{
    "Search Engine Keywords",
    "SEARCHKEY",
    "SEARCHKEY",
    "TEXTPAGE",
    "Reports/Referrer-SearchKeywords.htm",
    2,
    2,
    {T("Search Keyword"), N("Hits")},
    false,
    R::BAR,
    "",
    "",
    "The single words visitors searched for before they came here."};

const report_spec_t kSearchPhrases{
    "Search Engine Phrases",
    "SEARCHENGINEPHRASES",
    "SEARCHENGINEPHRASES",
    "TEXTPAGE",
    "Reports/Referrer-SearchEnginePhrases.htm",
    3,
    3,
    {T("Search Phrase"), T("Search Engine"), N("Hits")},
    false,
    R::BAR,
    "",
    "",
    "The whole phrases visitors searched for, with the engine they used."};

const report_spec_t kNotFound{
    "404 Errors",
    "404ERR",
    "404ERR",
    "STOP",
    "Reports/Tech-404Errors.htm",
    2,
    2,
    {T("Requested URL"), N("Occurrences")},
    false,
    R::BAR,
    "",
    "",
    "Requests for pages and files that do not exist (status 404): broken links to fix."};

const report_spec_t kNotFoundReferrers{
    "404 Page Referrers (nested)",
    "404PR",
    "404PR",
    "STOP",
    "Reports/Tech-404PageReferrers.htm",
    0,
    2,
    {T("Filename/Referring URL"), N("Hits")},
    false,
    R::BAR,
    "",
    "",
    "For every missing page, the pages whose links pointed to it."};

const report_spec_t kMiscErrors{
    "Misc. Errors",
    "MISCERR",
    "MISCERROR",
    "STOP",
    "Reports/Tech-404PageReferrers.htm",
    3,
    4,
    {U("Requested URL"), N("Error Code"), N("Occurrences"), T("Explanation")},
    false,
    R::BAR,
    "",
    "",
    "Requests the server answered with an error other than 404, with what the error means."};

const report_spec_t kTrackedHitsPerDay{"Hits per day ",
                                       "HPD",
                                       "TRACKHPD",
                                       "LINEGRAPH",
                                       "Reports/TrackedFiles.htm",
                                       1,
                                       3,
                                       {D("Time Increment"), N("Hits"), P("Percentage")},
                                       true,
                                       R::AREA,
                                       "Date",
                                       "Hits",
                                       "The hits on this file on every day of the period."};

const report_spec_t kTrackedBandwidthPerDay{
    "Bandwidth per day ",
    "BPD",
    "TRACKBPD",
    "LINEGRAPH",
    "Reports/TrackedFiles.htm",
    1,
    3,
    {D("Time Increment"), B("Bandwidth"), P("Percentage")},
    true,
    R::AREA,
    "",
    "",
    "The data sent for this file on every day of the period."};

const report_spec_t kTrackedReferrers{"Referrers ",
                                      "REFER",
                                      "TRACKREFER",
                                      "TEXTPAGE",
                                      "Reports/TrackedFiles.htm",
                                      2,
                                      3,
                                      {U("Referring Pages"), N("Hits"), P("Percentage")},
                                      false,
                                      R::BAR,
                                      "",
                                      "",
                                      "The pages whose links led to this file."};

const report_spec_t kTrackedQueryStrings{"Query Strings (nested)",
                                         "QS",
                                         "TRACKQS",
                                         "TEXTPAGE",
                                         "Reports/TrackedFiles.htm",
                                         2,
                                         2,
                                         {T("Filename/Query String"), N("Hits")},
                                         false,
                                         R::BAR,
                                         "",
                                         "",
                                         "The query strings this file was requested with."};

}  // namespace report_catalogue
