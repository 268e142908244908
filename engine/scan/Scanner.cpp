#include "engine/scan/Scanner.h"

#include <sys/stat.h>

#include <algorithm>

#include "engine/scan/FirstTimestamp.h"
#include "engine/scan/LogFileScanner.h"
#include "utility/Progress.h"

namespace {

struct dated_file_t {
    const scan_file_t* file;
    std::int64_t firstTime;
};

std::uint64_t SizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)
               ? static_cast<std::uint64_t>(info.st_size)
               : 0;
}

// Files in order of their first time stamp; files with equal stamps keep their list order.
std::vector<dated_file_t> SortByFirstTimestamp(const std::vector<scan_file_t>& files) {
    std::vector<dated_file_t> sorted;
    sorted.reserve(files.size());
    for (const scan_file_t& file : files) sorted.push_back({&file, GetFirstTimestamp(file.path)});
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const dated_file_t& a, const dated_file_t& b) { return a.firstTime < b.firstTime; });
    return sorted;
}

void ReportFileError(scan_result_t result, const std::string& path) {
    if (result == SCAN_CANNOT_OPEN)
        CProgress::AddError("There was an error opening the following log file: " + path,
                            "Trouble/ErrorCannotOpenLogFile.htm");
    else if (result == SCAN_UNEXPECTED_FORMAT)
        CProgress::AddError("The following log file was in an unexpected format: " + path, "");
}

}  // namespace

bool ParseAllFiles(const std::vector<scan_file_t>& files, const scan_options_t& options,
                   CHitConsumer& consumer, std::uint64_t* acceptedHits) {
    if (acceptedHits) *acceptedHits = 0;
    CLogFileScanner scanner(options, consumer);
    std::uint64_t total = options.parseTotal;
    if (total == 0) {
        for (const scan_file_t& file : files) total += SizeOf(file.path);
    }
    scanner.SetParseTotal(total);

    std::uint64_t bytesBefore = 0;
    bool completed = true;
    for (const dated_file_t& entry : SortByFirstTimestamp(files)) {
        std::uint64_t fileSize = 0;
        scan_result_t result =
            scanner.ParseFile(entry.file->path, entry.file->logType, bytesBefore, fileSize);
        ReportFileError(result, entry.file->path);
        if (acceptedHits) *acceptedHits = scanner.AcceptedHits();
        if (result == SCAN_ENDED) {
            completed = false;
            break;
        }
        bytesBefore += fileSize;
    }
    return completed;
}
