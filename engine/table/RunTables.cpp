#include "engine/table/RunTables.h"

// Slots are the bulk of a run's memory: a field added to an entry must be a decision.
static_assert(sizeof(CFastHashTable<referinfo_t>::Slot) == 32);
static_assert(sizeof(CFastHashTable<resource_info_t>::Slot) == 48);
static_assert(sizeof(CFastHashTable<error_info_t>::Slot) == 32);
static_assert(sizeof(CFastHashTable<search_info_t>::Slot) == 48);
static_assert(sizeof(CFastHashTable<day_info_t>::Slot) == 32);
static_assert(sizeof(CFastHashTable<nested_info_t>::Slot) == 40);

void CRunTables::SortAndTrimHitTables(uint32_t limit) {
    leastResources = resources.Clone();
    leastPages = pages.Clone();
    leastFiles = files.Clone();
    leastImages = images.Clone();
    leastDirectories = directories.Clone();
    leastMiscWeb = miscWeb.Clone();

    for (auto* table : {&resources, &pages, &files, &images, &miscWeb, &directories})
        table->Sort(limit);
    hosts.Sort(limit);
    countries.Sort(limit);
    notFoundErrors.Sort(limit);
    otherErrors.Sort(limit);
    for (auto* table : {&referringPages, &referringDomains}) table->Sort(limit);
    for (auto* table : {&searchEngines, &searchKeywords, &searchPhrases}) table->Sort(limit);
    for (auto* table : {&pageReferrers, &notFoundReferrers, &queryStrings})
        table->SortWithChildren(limit);
    for (auto& least : {leastResources.get(), leastPages.get(), leastFiles.get(), leastImages.get(),
                        leastDirectories.get(), leastMiscWeb.get()})
        least->Sort(limit, true);
    for (auto* table : {&hitsPerDay, &pageViewsPerDay}) table->SortAll();

    for (auto& tracked : trackedFiles) {
        tracked->hitsPerDay.SortAll();
        tracked->referrers.Sort(limit);
        tracked->queryStrings.SortWithChildren(limit);
    }
}

void CRunTables::SortAndTrimSessionTables(uint32_t limit) {
    users.Sort(limit);
    for (auto* table : {&entryPages, &exitPages, &singleAccessPages}) table->Sort(limit);
    visitorsPerDay.SortAll();
}
