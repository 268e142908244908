#pragma once

#include "engine/report/ReportShape.h"

// The fixed attributes of every report of the tree, in tree order. Names, IDs, classes, icons,
// help topics and column titles are what report files, the viewer and styles key on: never
// change one without the readers.
namespace report_catalogue {

extern const report_spec_t kGeneralStatistics;
extern const report_spec_t kDomainName;
extern const report_spec_t kGeographicalLocation;
extern const report_spec_t kWebBrowsers;
extern const report_spec_t kOperatingSystems;
extern const report_spec_t kSpiders;
extern const report_spec_t kAuthenticatedUsers;
extern const report_spec_t kPageTypesHits;
extern const report_spec_t kPageTypesBandwidth;
extern const report_spec_t kMostResources;
extern const report_spec_t kMostPages;
extern const report_spec_t kMostFiles;
extern const report_spec_t kMostImages;
extern const report_spec_t kMostMiscWeb;
extern const report_spec_t kMostDirectories;
extern const report_spec_t kLeastResources;
extern const report_spec_t kLeastPages;
extern const report_spec_t kLeastFiles;
extern const report_spec_t kLeastImages;
extern const report_spec_t kLeastMiscWeb;
extern const report_spec_t kLeastDirectories;
extern const report_spec_t kHitsPerDay;
extern const report_spec_t kBandwidthPerDay;
extern const report_spec_t kPageViewsPerDay;
extern const report_spec_t kVisitorsPerDay;
extern const report_spec_t kDayOfWeek;
extern const report_spec_t kHours;
extern const report_spec_t kQueryStrings;
extern const report_spec_t kReferrerOrigin;
extern const report_spec_t kReferringDomain;
extern const report_spec_t kReferringPages;
extern const report_spec_t kPageReferrers;
extern const report_spec_t kSearchEngines;
extern const report_spec_t kSearchKeywords;
extern const report_spec_t kSearchPhrases;
extern const report_spec_t kNotFound;
extern const report_spec_t kNotFoundReferrers;
extern const report_spec_t kMiscErrors;

// Per tracked file: the name and ID are completed with the file's pattern (see
// TrackedFileReports.h).
extern const report_spec_t kTrackedHitsPerDay;
extern const report_spec_t kTrackedBandwidthPerDay;
extern const report_spec_t kTrackedReferrers;
extern const report_spec_t kTrackedQueryStrings;

}  // namespace report_catalogue
