#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/parse/HitRecord.h"

// Log format values (logfiletype_t); 2, 3 and 7 are detected forms without a text form.
enum scan_log_type_t : int {
    SCAN_LOG_CLF = 0,
    SCAN_LOG_ELF = 1,
    SCAN_LOG_CSV_SHORT = 2,
    SCAN_LOG_CSV_LONG = 3,
    SCAN_LOG_W3C = 4,
    SCAN_LOG_SPARSE = 7,
    SCAN_LOG_DOMINO = 8,
    SCAN_LOG_AUTO = 9,
    SCAN_LOG_ELFEND = 10,
    SCAN_LOG_ELFBEG = 11,
};

// One local file to parse and its log format (a logfiletype_t value; AUTO detects per file).
struct scan_file_t {
    std::string path;
    int logType = SCAN_LOG_AUTO;
};

// What scanning and the parsers take from the run's option snapshot.
struct scan_options_t {
    std::string cookieName;          // session cookie name (GetCookieID); empty: none
    int timeOffsetHours = 0;         // GetTimeOffset, added to every time stamp
    bool europeanDates = false;      // GetEuropeanFormat: day.month.year in comma-separated logs
    bool w3cServerFromHost = false;  // a VIRTUALDOMAIN filter names a host: W3C server = cs-host
    bool debugOutput = false;        // append every line given to a parser to debugOutputPath
    std::string debugOutputPath = "logOutput.txt";
    std::uint64_t parseTotal = 0;  // bytes to parse, for percentages; 0: the sum of file sizes
    std::uint64_t viewSize = 0;    // bytes per mapped view; 0: 50,000,000 rounded down to a page
    // Parse on a worker thread while the calling thread hands the filled batches on. The
    // consumer sees the same calls, in the same order, on the calling thread either way; the
    // worker only reads ahead by a few batches.
    bool overlapParsing = true;
    // With overlapParsing, files of at least 32 chunks of lines in a format whose lines do not
    // depend on directives before them (all but W3C) are parsed chunk by chunk on the worker,
    // and the calling thread parses chunks too whenever the next batch is not ready yet. The
    // consumer sees the same hits in the same order, in batches that also end where a chunk
    // ends. 1 keeps one worker.
    int parseThreads = 2;
    std::uint64_t parallelChunkBytes = 0;  // bytes per chunk of lines; 0: 128 KiB
    // The calling thread also parses a batch of its own before each batch it hands on.
    bool parallelHelpAlways = false;
};

// Receives the accepted hits of a scan, on the thread that called ParseAllFiles, in log order.
class LOGVANE_ENGINE_API CHitConsumer {
public:
    virtual ~CHitConsumer() = default;
    // Called once per batch before its hits are processed; host-name resolution may rewrite
    // each record's host here, setting hostIsName of each name it writes. The default does
    // nothing.
    virtual void ResolveBatch(std::span<hit_t> batch) { (void)batch; }
    // Called on the parsing thread for every filled batch, in log order, before the batch is
    // handed on: it may run while earlier batches are still being processed, so it may only
    // touch what ProcessHit leaves alone. The default does nothing.
    virtual void PrepareBatch(std::span<hit_t> batch) { (void)batch; }
    // One accepted hit with its flags set; the record is valid only during the call.
    virtual void ProcessHit(hit_t* hit) = 0;
    // Called on a thread that would otherwise wait (a parsing thread with no room to parse
    // into, or the thread that hands hits on with none to hand): a step of the consumer's own
    // work that may run on any thread, or false when there is none now. The default has none.
    virtual bool HelpWhileWaiting() { return false; }
};

// Parses every file in the order of its first time stamp and hands each accepted hit to the
// consumer. A file that cannot be opened or has an unexpected format adds its error to
// CProgress and parsing goes on with the next. Returns false when parsing was told to end
// (ParseShouldEnd or the cancel flag), true otherwise. acceptedHits, when given, receives the
// number of hits passed to the consumer.
LOGVANE_ENGINE_API bool ParseAllFiles(const std::vector<scan_file_t>& files,
                                      const scan_options_t& options, CHitConsumer& consumer,
                                      std::uint64_t* acceptedHits = nullptr);
