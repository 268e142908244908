#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/parse/LineParser.h"
#include "engine/scan/DebugLineLog.h"
#include "engine/scan/FormatDetector.h"
#include "engine/scan/Scanner.h"

// Result of parsing one file.
enum scan_result_t : int {
    SCAN_PARSED = 0,             // also for an empty file
    SCAN_CANNOT_OPEN = 1,        // cannot be opened or mapped, no parser, or it shrank meanwhile
    SCAN_ENDED = 2,              // parsing was told to end
    SCAN_UNEXPECTED_FORMAT = 4,  // W3C without "#Fields:" in its first 10,000 bytes, or type 6
};

class CMappedFile;
class CBatchRing;

// Reads log files through memory-mapped views, splits them into lines, parses each line with
// its format's parser into a batch of 250 hit records and hands the accepted hits on.
class CLogFileScanner {
public:
    CLogFileScanner(const scan_options_t& options, CHitConsumer& consumer);
    ~CLogFileScanner();
    CLogFileScanner(const CLogFileScanner&) = delete;
    CLogFileScanner& operator=(const CLogFileScanner&) = delete;

    // Parses one file whose predecessors in the run hold bytesBefore bytes (for the percentage).
    // fileSize receives the file's size (0 when it cannot be opened).
    scan_result_t ParseFile(const std::string& path, int logType, std::uint64_t bytesBefore,
                            std::uint64_t& fileSize);

    void SetParseTotal(std::uint64_t total) { m_parseTotal = total; }
    std::uint64_t AcceptedHits() const { return m_accepted; }
    // The format the last file was parsed as (after detection); -1 before any.
    int LastLogType() const { return m_logType; }
    // Bytes per view: 50,000,000 rounded down to the page size unless the options set it.
    std::uint64_t ViewSize() const { return m_viewSize; }

private:
    enum fill_stop_t { FILL_FULL, FILL_VIEW_DONE, FILL_CUT_LINE };

    scan_result_t SetUpFile(const char* window, std::size_t length, int logType);
    void CaptureHeaderDate(std::string_view window);
    // The date of a "#Date: " directive: text is what follows the directive.
    void SetHeaderDate(std::string_view text);
    scan_result_t WalkFile(const CMappedFile& file);
    // WalkFile on a worker thread, the batches handed on here; falls back to WalkFile when no
    // thread can be started.
    scan_result_t WalkFileOverlapped(const CMappedFile& file);
    scan_result_t WalkView(const char* data, std::size_t size, std::size_t& offset, bool lastView,
                           std::uint64_t viewStart, bool& cut);
    // Drops the mapped pages before `offset` in steps, once their lines are parsed.
    void ReleaseParsedPages(const char* data, std::size_t offset, std::size_t& released);
    bool GuardedFill(const char* data, std::size_t size, std::size_t& offset, bool lastView,
                     fill_stop_t& stop, int& filled);
    fill_stop_t FillBatch(const char* data, std::size_t size, std::size_t& offset, bool lastView,
                          int& filled);
    void ReadDirective(const char* line, std::size_t length);
    // The slot array the next batch is filled into; nullptr when the consumer stopped.
    hit_t* NextFillBatch();
    // Passes a filled batch on: to the consumer directly, or through the ring.
    void HandOn(int filled, std::uint64_t parsedBytes);
    void DeliverBatch(hit_t* batch, int filled, std::uint64_t parsedBytes);
    void SetPercentage(std::uint64_t parsedBytes) const;
    bool ShouldEnd() const;

    scan_options_t m_options;
    CHitConsumer& m_consumer;
    std::unique_ptr<hit_t[]> m_batch;    // the one batch of the single-threaded path
    std::unique_ptr<CBatchRing> m_ring;  // the batches of the overlapped path
    hit_t* m_fill = nullptr;             // the batch being filled
    parse_context_t m_context;
    line_parser_t m_parser = nullptr;
    int m_logType = -1;
    std::int32_t m_referrerPresent = 0;
    std::int32_t m_agentPresent = 0;
    bool m_skipLongLine = false;
    std::uint64_t m_viewSize;
    std::uint64_t m_parseTotal = 0;
    std::uint64_t m_bytesBefore = 0;
    std::uint64_t m_accepted = 0;
    // Accepted slots of the batch being filled, kept in memory for the SIGBUS path.
    volatile int m_publishedFilled = 0;
    CDebugLineLog m_debugLog;
    char m_window[kDetectionWindow];
};
