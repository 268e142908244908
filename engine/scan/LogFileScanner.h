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
    // How a batch or a view ended: full; at the view's end between lines; at the view's end
    // inside a line (cut, read again from the next view); inside a line longer than a view that
    // is being skipped.
    enum fill_stop_t { FILL_FULL, FILL_VIEW_DONE, FILL_CUT_LINE, FILL_LONG_LINE };
    struct scan_worker_t;
    struct scan_chunk_t;
    struct own_chunk_t;
    class CChunkDispenser;

    scan_result_t SetUpFile(const char* window, std::size_t length, int logType);
    void CaptureHeaderDate(std::string_view window);
    // The date of a "#Date: " directive: text is what follows the directive.
    void SetHeaderDate(parse_context_t& context, std::string_view text);
    scan_result_t WalkFile(const CMappedFile& file, scan_worker_t& worker);
    // WalkFile on a worker thread, the batches handed on here; falls back to WalkFile when no
    // thread can be started.
    scan_result_t WalkFileOverlapped(const CMappedFile& file);
    // A worker thread parses chunks of lines, and this thread parses chunks too whenever the
    // next batch to hand on is not ready; the batches are handed on here in log order. False
    // when the worker cannot be started (nothing was handed on then).
    bool WalkFileInParallel(const CMappedFile& file, scan_result_t& result);
    // The worker that took chunk `index`, parsing this thread's own chunks while that chunk is
    // not handed out yet; -1 when the file ended before it, with result set.
    int NextOwner(CChunkDispenser& dispenser, own_chunk_t& own, std::uint64_t index,
                  scan_result_t& result);
    // Hands on the batches of one chunk from the ring of its owner. False when the file ended
    // there, with result set.
    bool HandOnChunk(CChunkDispenser& dispenser, own_chunk_t& own, int owner,
                     scan_result_t& result);
    // Parses one batch of this thread's own chunk into its ring, taking a chunk first when it
    // has none. False when there is nothing to take or no room in the ring.
    bool ParseOwnBatch(CChunkDispenser& dispenser, own_chunk_t& own);
    // Parses the chunks that worker `index` takes, until the file is done.
    scan_result_t WalkChunks(CChunkDispenser& dispenser, int index);
    // Fills the next batch of a chunk from offset into the worker's ring; `more` is true while
    // the chunk goes on. The chunk's last batch is marked as its end, and the view's last chunk
    // must stop where it was predicted.
    scan_result_t ChunkBatch(scan_worker_t& worker, const scan_chunk_t& chunk, std::size_t& offset,
                             bool first, bool& more);
    bool CanParseInParallel(const CMappedFile& file) const;
    // Finds the view that holds pos, jumping over a hole of a sparse file first. SCAN_PARSED with
    // viewStart and viewBytes set; SCAN_ENDED (with `done`) when nothing but a hole is left;
    // SCAN_CANNOT_OPEN when the file shrank.
    scan_result_t PlaceView(const CMappedFile& file, std::uint64_t& pos, std::uint64_t& viewStart,
                            std::uint64_t& viewBytes, bool& done) const;
    // Where the walk goes on after a view that stopped at `offset`.
    void AfterView(std::uint64_t viewStart, std::uint64_t viewBytes, std::size_t offset,
                   fill_stop_t stop, std::uint64_t& pos, bool& skipLongLine) const;
    // Fills and hands on batches from offset to the view's end.
    scan_result_t WalkView(scan_worker_t& worker, const char* data, std::size_t size,
                           std::size_t& offset, bool lastView, std::uint64_t viewStart,
                           fill_stop_t& stop);
    // How the walk of a view that is not the file's last will stop, found from the view's last
    // line ends without parsing it; stopOffset receives the offset the walk stops at.
    static fill_stop_t PredictViewEnd(const char* data, std::size_t size, std::size_t offset,
                                      bool skipLongLine, std::size_t& stopOffset);
    // PredictViewEnd under a SIGBUS guard; false when the view's bytes are gone.
    static bool GuardedPredict(const char* data, std::size_t size, std::size_t offset,
                               bool skipLongLine, fill_stop_t& stop, std::size_t& stopOffset);
    // Drops the mapped pages before `offset` in steps, once their lines are parsed.
    void ReleaseParsedPages(const char* data, std::size_t offset, std::size_t& released);
    bool GuardedFill(scan_worker_t& worker, const char* data, std::size_t size, std::size_t& offset,
                     bool lastView, fill_stop_t& stop, int& filled);
    fill_stop_t FillBatch(scan_worker_t& worker, const char* data, std::size_t size,
                          std::size_t& offset, bool lastView, int& filled);
    void ReadDirective(parse_context_t& context, const char* line, std::size_t length);
    // Completes an accepted record, the batch's `filled`-th.
    void AcceptHit(scan_worker_t& worker, hit_t& hit, int filled) const;
    // The slot array the next batch is filled into; nullptr when the consumer stopped.
    hit_t* NextFillBatch(scan_worker_t& worker);
    // Passes a filled batch on: to the consumer directly, or through the worker's ring.
    void HandOn(scan_worker_t& worker, int filled, std::uint64_t parsedBytes, bool chunkEnd,
                bool viewBegins);
    // Hands a batch's hits on. With checkpoints (the batches of two workers, which also end
    // where chunks end) the flags are looked at where one thread's batches would begin: before
    // every 250th hit of a view. False when told to end there.
    bool DeliverBatch(hit_t* batch, int filled, std::uint64_t parsedBytes,
                      bool checkpoints = false);
    void SetPercentage(std::uint64_t parsedBytes) const;
    bool ShouldEnd() const;

    scan_options_t m_options;
    CHitConsumer& m_consumer;
    std::unique_ptr<hit_t[]> m_batch;  // the one batch of the single-threaded path
    // The batches of the overlapped path, one ring per parsing thread (with two, the second is
    // filled and emptied by the thread that hands hits on).
    std::unique_ptr<CBatchRing> m_rings[2];
    std::unique_ptr<scan_worker_t> m_workers[2];
    parse_context_t m_context;  // the file's state as set up; each worker starts from a copy
    line_parser_t m_parser = nullptr;
    line_parser_t m_viewParser = nullptr;  // the same format read in the view; may be nullptr
    int m_logType = -1;
    std::int32_t m_referrerPresent = 0;
    std::int32_t m_agentPresent = 0;
    std::uint64_t m_viewSize;
    std::uint64_t m_chunkBytes;
    // Files of fewer chunks than this are parsed on one worker.
    static constexpr std::uint64_t kParallelMinChunks = 32;
    std::uint64_t m_parseTotal = 0;
    std::uint64_t m_bytesBefore = 0;
    std::uint64_t m_accepted = 0;
    std::uint64_t m_viewHits = 0;  // hits handed on since the current view began
    CDebugLineLog m_debugLog;
    char m_window[kDetectionWindow];
};
