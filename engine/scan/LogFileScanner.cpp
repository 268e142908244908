#include "engine/scan/LogFileScanner.h"

#include <sys/mman.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/parse/FieldCursor.h"
#include "engine/parse/W3CFields.h"
#include "engine/scan/BatchRing.h"
#include "engine/scan/MappedFile.h"
#include "engine/scan/PatternSearch.h"
#include "engine/scan/SigbusGuard.h"
#include "engine/table/Prefetch.h"
#include "utility/Progress.h"

namespace {

constexpr std::uint64_t kDefaultViewBytes = 50000000;
constexpr std::size_t kHeaderDateMax = 99;
// Batches of the overlapped path: one being filled, one being handed on and two in between to
// smooth out the different speeds of a line and of a hit. A consumer that runs out of hits is
// woken by the next batch: the consumer's PrepareBatch may wait on the thread that takes the
// batches, so a wake-up held back for later batches could wait for ever.
constexpr int kRingBatches = 4;
// With two parsing threads: five batches each, about two chunks of lines of a typical length, so
// that the worker goes on with its next chunk while the other thread parses one of its own and
// hands both on. Three made the worker wait at nearly every chunk; eight gained nothing more.
constexpr int kParallelRingBatches = 5;
constexpr std::uint64_t kDefaultChunkBytes = 128u << 10;

// Bytes skipped between lines: CR, LF, control bytes other than tab, DEL and 255.
constexpr bool IsSkippedByte(unsigned char c) {
    return (c < 32 && c != '\t') || c == 127 || c == 255;
}

std::uint64_t ChooseViewSize(std::uint64_t requested) {
    const std::uint64_t page = PageSize();
    std::uint64_t size = requested ? requested : kDefaultViewBytes;
    size -= size % page;
    // A line that crosses a view's end is re-read from its page in the next view, so a view
    // must hold at least one page more than that line's start page.
    return size < 2 * page ? 2 * page : size;
}

std::size_t SkipBetweenLines(const char* data, std::size_t size, std::size_t offset) {
    // Runs of NUL bytes (holes of sparse or preallocated files) are passed a word at a time.
    while (offset + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, data + offset, 8);
        if (word != 0) break;
        offset += 8;
    }
    while (offset < size && IsSkippedByte(static_cast<unsigned char>(data[offset]))) ++offset;
    return offset;
}

#if defined(__SSE2__)
// Bytes below 0x20 (CR, LF, tab and the control bytes), 0x7F and 0xFF: the only bytes that can
// end a line or be no field byte. Most lines hold none but their end.
inline __m128i SpecialBytes(__m128i bytes) {
    const __m128i belowSpace = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
    const __m128i high = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i delOrFF =
        _mm_cmpeq_epi8(_mm_or_si128(bytes, high), _mm_set1_epi8(static_cast<char>(0xFF)));
    return _mm_or_si128(belowSpace, delOrFF);
}

// Looks at sixteen bytes at i in detail: true with end set at the first CR or LF; firstBad
// takes the first byte that is no field byte when it has none yet.
inline bool LineEndIn16(const char* data, std::size_t i, std::size_t size, std::size_t& firstBad,
                        std::size_t& end) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    int ends = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                              _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
    if (firstBad == size) {
        int bad = _mm_movemask_epi8(
            _mm_andnot_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')), SpecialBytes(bytes)));
        bad &= ~ends;
        if (bad != 0) firstBad = i + static_cast<std::size_t>(__builtin_ctz(unsigned(bad)));
    }
    if (ends == 0) return false;
    end = i + static_cast<std::size_t>(__builtin_ctz(unsigned(ends)));
    return true;
}
#endif

// The first CR or LF at or after offset, or size; checked receives how many bytes from offset
// are field bytes (at most up to the line end). One pass: thirty-two bytes at a time are tested
// for any byte below a space, DEL or 255, and only blocks that hold one are looked at closely.
std::size_t FindLineEnd(const char* data, std::size_t size, std::size_t offset,
                        std::size_t& checked) {
    std::size_t i = offset;
    std::size_t firstBad = size;
    std::size_t end = size;
#if defined(__SSE2__)
    for (; i + 32 <= size; i += 32) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 16));
        if (_mm_movemask_epi8(_mm_or_si128(SpecialBytes(a), SpecialBytes(b))) == 0) continue;
        if (LineEndIn16(data, i, size, firstBad, end) ||
            LineEndIn16(data, i + 16, size, firstBad, end)) {
            checked = (firstBad < end ? firstBad : end) - offset;
            return end;
        }
    }
    for (; i + 16 <= size; i += 16) {
        if (LineEndIn16(data, i, size, firstBad, end)) {
            checked = (firstBad < end ? firstBad : end) - offset;
            return end;
        }
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == '\n' || data[i] == '\r') break;
        if (firstBad == size && !IsFieldByte(static_cast<unsigned char>(data[i]))) firstBad = i;
    }
    checked = (firstBad < i ? firstBad : i) - offset;
    return i;
}

// The first CR or LF at or after offset, or size. Where a parser stopped, the line end is
// usually the next byte.
// SkipBetweenLines, inline for the usual single line feed before a line.
inline std::size_t NextLineStart(const char* data, std::size_t size, std::size_t offset) {
    if (offset + 1 < size && data[offset] == '\n' &&
        !IsSkippedByte(static_cast<unsigned char>(data[offset + 1])))
        return offset + 1;
    return SkipBetweenLines(data, size, offset);
}

inline std::size_t FindNextLineEnd(const char* data, std::size_t size, std::size_t offset) {
    if (offset < size && (data[offset] == '\n' || data[offset] == '\r')) return offset;
    std::size_t checked = 0;
    return FindLineEnd(data, size, offset, checked);
}

// The last CR or LF in [from, size), or size when there is none. Sixteen bytes at a time from
// the end: a view's last line end is usually a line's length before its end.
std::size_t FindLastLineEnd(const char* data, std::size_t from, std::size_t size) {
    std::size_t i = size;
#if defined(__SSE2__)
    while (i >= from + 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 16));
        int ends = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                                  _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
        if (ends != 0) return i - 16 + std::size_t(31 - __builtin_clz(unsigned(ends)));
        i -= 16;
    }
#endif
    while (i > from) {
        --i;
        if (data[i] == '\n' || data[i] == '\r') return i;
    }
    return size;
}

// Whether the line begins with the directive, ignoring case; directive is upper case.
bool StartsWithDirective(const char* line, std::size_t length, std::string_view directive) {
    if (length < directive.size()) return false;
    for (std::size_t i = 0; i < directive.size(); ++i) {
        if (AsciiUpper(line[i]) != directive[i]) return false;
    }
    return true;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

struct CLogFileScanner::scan_worker_t {
    parse_context_t context;
    CBatchRing* ring = nullptr;  // nullptr: batches go to the consumer directly
    hit_t* fill = nullptr;       // the batch being filled
    bool skipLongLine = false;   // the walk is inside a line longer than a view
    // Hands each filled batch to the consumer's PrepareBatch. Workers parsing in parallel
    // fill batches out of log order: the consumer's thread prepares those, in order.
    bool prepares = true;
    // Accepted slots of the batch being filled, kept in memory for the SIGBUS path.
    volatile int publishedFilled = 0;
};

// A run of whole lines of one view for a parallel worker; the view's last chunk runs to the
// view's end and decides where the walk goes on.
struct CLogFileScanner::scan_chunk_t {
    int slot = -1;  // the dispenser's view slot; -1: no chunk
    const char* data = nullptr;
    std::size_t begin = 0, end = 0;  // offsets in the view
    std::uint64_t viewStart = 0;
    bool lastView = false;      // the view is the file's last
    bool viewEnd = false;       // the chunk runs to the view's end
    bool skipLongLine = false;  // the chunk begins inside a line longer than a view
    bool firstOfView = false;
    // With viewEnd: where the view's walk stops as the dispenser found it from the view's bytes
    // when it placed the next view; `predicted` is false when those bytes were gone.
    bool predicted = false;
    fill_stop_t stop = FILL_VIEW_DONE;
    std::size_t stopOffset = 0;
};

// The chunk that the thread handing hits on parses itself, and how far it got.
struct CLogFileScanner::own_chunk_t {
    scan_chunk_t chunk;
    std::size_t offset = 0;
    bool parsing = false;  // a chunk is taken and not parsed to its end yet
    bool first = true;     // its next batch is its first
    bool failed = false;   // its bytes were gone: the ring is finished, nothing more is taken
};

// Hands out the lines of a file in chunks, in order, to the worker thread and the thread that
// hands hits on, whichever asks first; the owner of each chunk is remembered so that the chunks
// are handed on in order. Views are mapped here, once, and shared; the next view is placed from the
// current one's last line ends, so that it can be mapped before that view is parsed. A view is
// unmapped once no chunk of it is being parsed.
class CLogFileScanner::CChunkDispenser {
public:
    CChunkDispenser(CLogFileScanner& scanner, const CMappedFile& file, std::size_t chunkBytes)
        : m_scanner(scanner), m_file(file), m_chunkBytes(chunkBytes) {}

    // The next chunk for `worker` (0: the worker thread, 1: the thread that hands hits on). False
    // once the file is done or the hand-out stopped.
    bool Take(int worker, scan_chunk_t& chunk) {
        std::unique_lock lock(m_mutex);
        if (m_stopped || m_done) return false;
        if (m_current < 0 || m_pos == m_views[m_current].view.Size()) {
            m_result = NextView();
            if (m_done) {
                m_changed.notify_all();
                return false;
            }
        }
        ReleaseParsedPages();
        view_slot_t& view = m_views[m_current];
        chunk = scan_chunk_t{};
        chunk.slot = m_current;
        chunk.data = view.view.Data();
        chunk.begin = m_pos;
        chunk.end = SplitAfter(view.view.Data(), view.view.Size(), m_pos);
        chunk.viewStart = view.start;
        chunk.lastView = view.lastView;
        chunk.viewEnd = chunk.end == view.view.Size();
        chunk.skipLongLine = m_skipAtPos;
        chunk.firstOfView = m_viewBegins;
        chunk.predicted = view.predicted;
        chunk.stop = view.stop;
        chunk.stopOffset = view.stopOffset;
        m_viewBegins = false;
        m_skipAtPos = false;
        m_pos = chunk.end;
        ++view.users;
        m_parsing[worker] = chunk;
        m_owner[m_next % kOwners] = worker;
        ++m_next;
        m_changed.notify_all();
        return true;
    }

    // The worker whose ring holds chunk `index`, once it was handed out; -1 when the file ended
    // before it, with `result` set to how.
    int OwnerOf(std::uint64_t index, scan_result_t& result) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_done || index < m_next; });
        if (index < m_next) return m_owner[index % kOwners];
        result = m_stopped ? SCAN_ENDED : m_result;
        return -1;
    }

    // OwnerOf without waiting: -2 when chunk `index` is not handed out yet but may be.
    int PeekOwner(std::uint64_t index, scan_result_t& result) {
        std::lock_guard lock(m_mutex);
        if (index < m_next) return m_owner[index % kOwners];
        if (!m_stopped && !m_done) return -2;
        result = m_stopped ? SCAN_ENDED : m_result;
        return -1;
    }

    // The worker is done with the chunk's bytes.
    void Done(int worker, const scan_chunk_t& chunk) {
        std::lock_guard lock(m_mutex);
        m_parsing[worker].slot = -1;
        view_slot_t& view = m_views[chunk.slot];
        if (--view.users == 0 && chunk.slot != m_current) view.view.Unmap();
    }

    void Stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

private:
    struct view_slot_t {
        CMappedView view;
        std::uint64_t start = 0;
        bool lastView = false;
        int users = 0;  // chunks being parsed
        bool predicted = false;
        fill_stop_t stop = FILL_VIEW_DONE;
        std::size_t stopOffset = 0;
    };

    // Maps the view the walk goes on with. SCAN_PARSED, or m_done set with the file's result.
    scan_result_t NextView() {
        const std::uint64_t size = m_file.Size();
        if (m_current >= 0) {
            const view_slot_t& last = m_views[m_current];
            if (!last.predicted) return End(SCAN_CANNOT_OPEN);
            if (last.users == 0) m_views[m_current].view.Unmap();
        }
        std::uint64_t pos = m_nextPos;
        if (pos >= size) return End(SCAN_PARSED);
        std::uint64_t viewStart = 0, viewBytes = 0;
        bool done = false;
        scan_result_t placed = m_scanner.PlaceView(m_file, pos, viewStart, viewBytes, done);
        if (done) return End(SCAN_PARSED);
        if (placed != SCAN_PARSED) return End(placed);
        int slot = 0;
        while (slot < kViewSlots && (slot == m_current || m_views[slot].users > 0)) ++slot;
        view_slot_t& view = m_views[slot];
        if (slot == kViewSlots || !view.view.Map(m_file, viewStart, std::size_t(viewBytes)))
            return End(SCAN_CANNOT_OPEN);
        m_current = slot;
        view.start = viewStart;
        view.lastView = viewStart + viewBytes == size;
        m_pos = std::size_t(pos - viewStart);
        m_skipAtPos = m_nextSkip;
        m_released = 0;
        m_viewBegins = true;
        view.stop = FILL_VIEW_DONE;
        view.stopOffset = view.view.Size();
        view.predicted = view.lastView || GuardedPredict(view.view.Data(), view.view.Size(), m_pos,
                                                         m_skipAtPos, view.stop, view.stopOffset);
        if (view.predicted)
            m_scanner.AfterView(viewStart, viewBytes, view.stopOffset, view.stop, m_nextPos,
                                m_nextSkip);
        return SCAN_PARSED;
    }

    scan_result_t End(scan_result_t result) {
        m_done = true;
        return result;
    }

    // The end of a chunk from `begin`: just after the first line end at least m_chunkBytes on,
    // or the view's end. A view whose bytes are gone ends the chunk at the view's end, where
    // parsing meets the same fault.
    std::size_t SplitAfter(const char* data, std::size_t size, std::size_t begin) const {
        if (size - begin <= m_chunkBytes) return size;
        std::size_t end = size;
        GuardedLineEnd(data, size, begin + m_chunkBytes, end);
        return end < size ? end + 1 : size;
    }

    static void GuardedLineEnd(const char* data, std::size_t size, std::size_t from,
                               std::size_t& end) {
        CSigbusGuard guard(data, size);
        if (SIGBUS_GUARD_FAULTED(guard)) return;
        std::size_t checked = 0;
        end = FindLineEnd(data, size, from, checked);
    }

    // Drops the current view's pages in steps, up to the first chunk still being parsed.
    void ReleaseParsedPages() {
        constexpr std::size_t kReleaseStep = 4u << 20;
        std::size_t offset = m_pos;
        for (const scan_chunk_t& chunk : m_parsing) {
            if (chunk.slot == m_current && chunk.begin < offset) offset = chunk.begin;
        }
        const std::size_t upTo = offset - offset % PageSize();
        if (upTo < m_released + kReleaseStep) return;
        ::madvise(const_cast<char*>(m_views[m_current].view.Data()) + m_released, upTo - m_released,
                  MADV_DONTNEED);
        m_released = upTo;
    }

    // Two chunks are parsed at a time, each holding at most one view, and one more is mapped.
    static constexpr int kViewSlots = 3;

    CLogFileScanner& m_scanner;
    const CMappedFile& m_file;
    const std::size_t m_chunkBytes;
    // Chunks handed out but not yet handed on: each worker's ring holds at most a few.
    static constexpr std::uint64_t kOwners = 64;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_next = 0;  // the chunk to hand out next
    int m_owner[kOwners] = {};
    scan_chunk_t m_parsing[2];  // each worker's chunk; slot -1 when none
    bool m_stopped = false;

    bool m_done = false;
    scan_result_t m_result = SCAN_PARSED;
    view_slot_t m_views[kViewSlots];
    int m_current = -1;
    std::size_t m_pos = 0;  // the current view's offset of the next chunk
    bool m_skipAtPos = false;
    bool m_viewBegins = false;  // no chunk of the current view was handed out yet
    std::size_t m_released = 0;
    std::uint64_t m_nextPos = 0;  // where the view after the current one begins
    bool m_nextSkip = false;
};

CLogFileScanner::CLogFileScanner(const scan_options_t& options, CHitConsumer& consumer)
    : m_options(options),
      m_consumer(consumer),
      m_viewSize(ChooseViewSize(options.viewSize)),
      m_chunkBytes(options.parallelChunkBytes ? options.parallelChunkBytes : kDefaultChunkBytes) {
    m_context.cookieName = m_options.cookieName.data();
    m_context.cookieNameLen = static_cast<int>(m_options.cookieName.size());
    m_context.timeOffsetHours = m_options.timeOffsetHours;
    m_context.europeanDates = m_options.europeanDates;
    m_context.w3cServerFromHost = m_options.w3cServerFromHost;
    ClearW3CFields(m_context.w3c);
    const int workers = m_options.overlapParsing && m_options.parseThreads > 1 ? 2 : 1;
    for (int i = 0; i < workers; ++i) {
        m_workers[i] = std::make_unique<scan_worker_t>();
        if (m_options.overlapParsing)
            m_rings[i] =
                std::make_unique<CBatchRing>(workers == 2 ? kParallelRingBatches : kRingBatches);
        m_workers[i]->ring = m_rings[i].get();
    }
    if (!m_options.overlapParsing) m_batch.reset(new hit_t[kHitBatchSize]);
    if (m_options.debugOutput) m_debugLog.Open(m_options.debugOutputPath);
}

CLogFileScanner::~CLogFileScanner() = default;

bool CLogFileScanner::ShouldEnd() const {
    return ParseShouldEnd() != 0 || CProgress::ShouldCancel();
}

void CLogFileScanner::SetPercentage(std::uint64_t parsedBytes) const {
    if (m_parseTotal == 0) return;
    std::uint64_t percent = parsedBytes * 100 / m_parseTotal;
    CProgress::SetPercentageDone(static_cast<int>(percent > 100 ? 100 : percent));
}

scan_result_t CLogFileScanner::ParseFile(const std::string& path, int logType,
                                         std::uint64_t bytesBefore, std::uint64_t& fileSize) {
    fileSize = 0;
    m_bytesBefore = bytesBefore;
    CMappedFile file;
    if (!file.Open(path)) return SCAN_CANNOT_OPEN;
    fileSize = file.Size();
    if (fileSize == 0) return SCAN_PARSED;

    std::size_t windowBytes =
        fileSize < kDetectionWindow ? std::size_t(fileSize) : kDetectionWindow;
    if (file.ReadAt(0, m_window, windowBytes) != windowBytes) return SCAN_CANNOT_OPEN;
    scan_result_t setUp = SetUpFile(m_window, windowBytes, logType);
    if (setUp != SCAN_PARSED) return setUp;
    for (auto& worker : m_workers) {
        if (worker) worker->context = m_context;
    }

    CProgress::SetText(PROGRESS_PARSING, "Analyzing " + BaseName(path));
    SetPercentage(bytesBefore);
    scan_result_t result = SCAN_PARSED;
    if (!m_options.overlapParsing)
        result = WalkFile(file, *m_workers[0]);
    else if (!CanParseInParallel(file) || !WalkFileInParallel(file, result))
        result = WalkFileOverlapped(file);
    if (result == SCAN_PARSED && ShouldEnd()) result = SCAN_ENDED;
    return result;
}

scan_result_t CLogFileScanner::SetUpFile(const char* window, std::size_t length, int logType) {
    m_logType = logType == SCAN_LOG_AUTO ? DetectLogFormat(window, length) : logType;
    if (m_logType == 6) return SCAN_UNEXPECTED_FORMAT;
    m_parser = GetLineParser(m_logType);
    if (!m_parser) return SCAN_CANNOT_OPEN;
    m_viewParser = GetViewParser(m_logType);

    m_context.cookieMode = m_logType == SCAN_LOG_ELFEND   ? COOKIE_END
                           : m_logType == SCAN_LOG_ELFBEG ? COOKIE_BEGIN
                                                          : COOKIE_NONE;
    ClearW3CFields(m_context.w3c);
    if (m_logType == SCAN_LOG_W3C) {
        static const CPatternSearch fields("#Fields:", true);
        std::int64_t found = fields.Find(window, length);
        if (found < 0) return SCAN_UNEXPECTED_FORMAT;
        std::size_t start = static_cast<std::size_t>(found);
        std::size_t checked = 0;
        ReadDirective(m_context, window + start,
                      FindLineEnd(window, length, start, checked) - start);
    }
    const bool w3c = m_logType == SCAN_LOG_W3C;
    const bool carriesBoth = m_logType != SCAN_LOG_CLF && m_logType != SCAN_LOG_CSV_SHORT;
    m_referrerPresent = w3c ? m_context.w3c.column[W3C_REFERER] >= 0 : carriesBoth;
    m_agentPresent = w3c ? m_context.w3c.column[W3C_AGENT] >= 0 : carriesBoth;
    CaptureHeaderDate(std::string_view(window, length));
    return SCAN_PARSED;
}

void CLogFileScanner::CaptureHeaderDate(std::string_view window) {
    static const CPatternSearch date("#Date: ", true);
    m_context.headerDateLen = 0;
    std::int64_t found = date.Find(window);
    if (found >= 0) SetHeaderDate(m_context, window.substr(static_cast<std::size_t>(found) + 7));
}

void CLogFileScanner::SetHeaderDate(parse_context_t& context, std::string_view text) {
    context.headerDateLen = 0;
    std::size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' &&
           text[end] != '\n')
        ++end;
    // A line that ends before a space or tab gives no date.
    if (end == text.size() || text[end] == '\r' || text[end] == '\n') return;
    std::size_t length = end < kHeaderDateMax ? end : kHeaderDateMax;
    std::memcpy(context.headerDate, text.data(), length);
    context.headerDateLen = static_cast<int>(length);
}

void CLogFileScanner::ReadDirective(parse_context_t& context, const char* line,
                                    std::size_t length) {
    if (m_logType != SCAN_LOG_W3C) return;
    if (StartsWithDirective(line, length, "#FIELDS:")) {
        MapW3CFields(std::string_view(line, length), context.w3c);
        context.cookieMode = context.w3c.column[W3C_COOKIE] >= 0 ? COOKIE_W3C : COOKIE_NONE;
    } else if (StartsWithDirective(line, length, "#DATE: ")) {
        // A server writes a new header block with its own date at each restart or new day;
        // lines without a date column belong to the latest one, not to the file's first.
        SetHeaderDate(context, std::string_view(line + 7, length - 7));
    }
}

scan_result_t CLogFileScanner::PlaceView(const CMappedFile& file, std::uint64_t& pos,
                                         std::uint64_t& viewStart, std::uint64_t& viewBytes,
                                         bool& done) const {
    const std::uint64_t size = file.Size();
    done = false;
    // Holes of a sparse file read as NUL bytes, which are skipped between lines and never end
    // a line: jumping over them changes nothing but the time spent faulting in zero pages.
    off_t data = ::lseek(file.Fd(), static_cast<off_t>(pos), SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
        // No data after pos: a hole up to the end, or a file cut short meanwhile.
        if (file.CurrentSize() < size) return SCAN_CANNOT_OPEN;
        done = true;
        return SCAN_ENDED;
    }
    if (data > 0 && std::uint64_t(data) > pos) pos = std::uint64_t(data);
    const std::uint64_t page = PageSize();
    viewStart = pos - pos % page;
    viewBytes = size - viewStart < m_viewSize ? size - viewStart : m_viewSize;
    // A file that shrank since it was opened (rotated with copytruncate) ends here; the
    // SIGBUS guard covers a shrink that happens while a view is read.
    if (file.CurrentSize() < viewStart + viewBytes) return SCAN_CANNOT_OPEN;
    return SCAN_PARSED;
}

void CLogFileScanner::AfterView(std::uint64_t viewStart, std::uint64_t viewBytes,
                                std::size_t offset, fill_stop_t stop, std::uint64_t& pos,
                                bool& skipLongLine) const {
    const std::uint64_t lineStart = viewStart + offset;
    if (stop == FILL_CUT_LINE && lineStart - lineStart % PageSize() != viewStart) {
        pos = lineStart;  // re-read the cut line whole from the next view
        skipLongLine = false;
        return;
    }
    // A line longer than a view is rejected: skip to its end in the views that follow.
    skipLongLine = stop == FILL_CUT_LINE || stop == FILL_LONG_LINE;
    pos = viewStart + viewBytes;
}

scan_result_t CLogFileScanner::WalkFile(const CMappedFile& file, scan_worker_t& worker) {
    const std::uint64_t size = file.Size();
    std::uint64_t pos = 0;
    worker.skipLongLine = false;
    while (pos < size) {
        if (ShouldEnd()) return SCAN_ENDED;
        std::uint64_t viewStart = 0, viewBytes = 0;
        bool done = false;
        scan_result_t placed = PlaceView(file, pos, viewStart, viewBytes, done);
        if (done) break;
        if (placed != SCAN_PARSED) return placed;
        CMappedView view;
        if (!view.Map(file, viewStart, static_cast<std::size_t>(viewBytes)))
            return SCAN_CANNOT_OPEN;
        const bool lastView = viewStart + viewBytes == size;
        std::size_t offset = static_cast<std::size_t>(pos - viewStart);
        fill_stop_t stop = FILL_VIEW_DONE;
        scan_result_t result =
            WalkView(worker, view.Data(), view.Size(), offset, lastView, viewStart, stop);
        if (result != SCAN_PARSED) return result;
        AfterView(viewStart, viewBytes, offset, stop, pos, worker.skipLongLine);
    }
    return ShouldEnd() ? SCAN_ENDED : SCAN_PARSED;
}

scan_result_t CLogFileScanner::WalkFileOverlapped(const CMappedFile& file) {
    CBatchRing& ring = *m_rings[0];
    scan_worker_t& parser = *m_workers[0];
    ring.Reset();
    std::thread worker;
    try {
        worker =
            std::thread([this, &file, &ring, &parser] { ring.Finish(WalkFile(file, parser)); });
    } catch (const std::system_error&) {
        return WalkFile(file, parser);
    }
    // Stops and joins the worker however this function is left, so that it never outlives
    // the file or the batches.
    struct worker_stop_t {
        CBatchRing& ring;
        std::thread& worker;
        ~worker_stop_t() {
            ring.Stop();
            worker.join();
        }
    } stop{ring, worker};

    hit_batch_t batch;
    while (true) {
        // An empty ring would leave this thread idle until the parser catches up.
        int polled = ring.Poll(batch);
        while (polled == 0 && m_consumer.HelpWhileWaiting()) polled = ring.Poll(batch);
        if (polled == 0) polled = ring.Take(batch) ? 1 : -1;
        if (polled < 0) break;
        // The single-threaded path looks at the flags before it fills each batch; looking before
        // each batch is handed on gives the same hits when a consumer ends parsing.
        if (ShouldEnd()) return SCAN_ENDED;
        DeliverBatch(batch.hits, batch.filled, batch.parsedBytes);
        ring.Release();
    }
    return static_cast<scan_result_t>(ring.Result());
}

bool CLogFileScanner::CanParseInParallel(const CMappedFile& file) const {
    // W3C directives change how the lines after them read, and the debug file must list the
    // lines in order: both need one thread that reads every line in turn. A file of a few
    // chunks is not worth a second thread.
    return m_workers[1] && file.Size() >= kParallelMinChunks * m_chunkBytes &&
           m_logType != SCAN_LOG_W3C && !m_debugLog.IsOpen();
}

bool CLogFileScanner::WalkFileInParallel(const CMappedFile& file, scan_result_t& result) {
    CChunkDispenser dispenser(*this, file, m_chunkBytes);
    std::thread worker;
    // Stops and joins the worker however this function is left, so that it never outlives the
    // file or the batches.
    struct worker_stop_t {
        CLogFileScanner& scanner;
        CChunkDispenser& dispenser;
        std::thread& worker;
        ~worker_stop_t() {
            dispenser.Stop();
            for (int i = 0; i < 2; ++i) scanner.m_rings[i]->Stop();
            if (worker.joinable()) worker.join();
            for (int i = 0; i < 2; ++i) scanner.m_workers[i]->prepares = true;
        }
    } stop{*this, dispenser, worker};
    for (int i = 0; i < 2; ++i) {
        m_workers[i]->prepares = false;
        m_rings[i]->Reset();
    }
    try {
        worker = std::thread([this, &dispenser] { m_rings[0]->Finish(WalkChunks(dispenser, 0)); });
    } catch (const std::system_error&) {
        // Nothing reached the consumer yet, so the file can start over on one worker.
        return false;
    }
    own_chunk_t own;
    for (std::uint64_t index = 0;; ++index) {
        const int owner = NextOwner(dispenser, own, index, result);
        if (owner < 0 || !HandOnChunk(dispenser, own, owner, result)) return true;
    }
}

int CLogFileScanner::NextOwner(CChunkDispenser& dispenser, own_chunk_t& own, std::uint64_t index,
                               scan_result_t& result) {
    while (true) {
        const int owner = dispenser.PeekOwner(index, result);
        if (owner != -2) return owner;
        // Every chunk handed out so far is handed on, so this thread has no chunk of its own:
        // it takes the next one, unless the worker was quicker.
        if (!ParseOwnBatch(dispenser, own)) return dispenser.OwnerOf(index, result);
    }
}

bool CLogFileScanner::HandOnChunk(CChunkDispenser& dispenser, own_chunk_t& own, int owner,
                                  scan_result_t& result) {
    CBatchRing& ring = *m_rings[owner];
    while (true) {
        if (m_options.parallelHelpAlways && owner == 0) ParseOwnBatch(dispenser, own);
        hit_batch_t batch;
        int polled = ring.Poll(batch);
        // The batch is not ready: this thread parses lines of its own meanwhile, and waits only
        // when its ring is full. Its own chunk's batches are never waited for: it fills them.
        while (polled == 0 && ParseOwnBatch(dispenser, own)) polled = ring.Poll(batch);
        if (polled == 0) polled = ring.Take(batch) ? 1 : -1;
        if (polled < 0) {
            result = static_cast<scan_result_t>(ring.Result());
            return false;
        }
        // The parsing threads never look at the flags: whether a run ends before a hit must not
        // depend on how far they have read.
        if (batch.viewBegins) m_viewHits = 0;
        if (batch.filled > 0)
            m_consumer.PrepareBatch(
                std::span<hit_t>(batch.hits, static_cast<std::size_t>(batch.filled)));
        if (!DeliverBatch(batch.hits, batch.filled, batch.parsedBytes, true)) {
            result = SCAN_ENDED;
            return false;
        }
        ring.Release();
        if (batch.chunkEnd) return true;
    }
}

bool CLogFileScanner::ParseOwnBatch(CChunkDispenser& dispenser, own_chunk_t& own) {
    CBatchRing& ring = *m_rings[1];
    if (own.failed || !ring.HasFree()) return false;
    scan_worker_t& worker = *m_workers[1];
    if (!own.parsing) {
        if (!dispenser.Take(1, own.chunk)) return false;
        own.parsing = true;
        own.first = true;
        own.offset = own.chunk.begin;
        worker.skipLongLine = own.chunk.skipLongLine;
    }
    bool more = false;
    const scan_result_t parsed = ChunkBatch(worker, own.chunk, own.offset, own.first, more);
    own.first = false;
    if (!more) {
        own.parsing = false;
        dispenser.Done(1, own.chunk);
    }
    if (parsed != SCAN_PARSED) {
        // The batches before the fault are handed on, then the file ends with this result.
        own.failed = true;
        ring.Finish(parsed);
    }
    return true;
}

scan_result_t CLogFileScanner::WalkChunks(CChunkDispenser& dispenser, int index) {
    scan_worker_t& worker = *m_workers[index];
    scan_chunk_t chunk;
    while (dispenser.Take(index, chunk)) {
        worker.skipLongLine = chunk.skipLongLine;
        std::size_t offset = chunk.begin;
        bool more = true;
        scan_result_t result = SCAN_PARSED;
        for (bool first = true; more && result == SCAN_PARSED; first = false)
            result = ChunkBatch(worker, chunk, offset, first, more);
        dispenser.Done(index, chunk);
        if (result != SCAN_PARSED) return result;
    }
    return SCAN_PARSED;
}

scan_result_t CLogFileScanner::ChunkBatch(scan_worker_t& worker, const scan_chunk_t& chunk,
                                          std::size_t& offset, bool first, bool& more) {
    more = false;
    worker.fill = NextFillBatch(worker);
    if (!worker.fill) return SCAN_ENDED;
    fill_stop_t stop = FILL_VIEW_DONE;
    int filled = 0;
    bool intact = GuardedFill(worker, chunk.data, chunk.end, offset,
                              chunk.viewEnd && chunk.lastView, stop, filled);
    // Only a file changed while it is read can end a view elsewhere than its bytes said when
    // the next view was placed.
    if (intact && stop != FILL_FULL && chunk.viewEnd &&
        (!chunk.predicted || stop != chunk.stop || offset != chunk.stopOffset))
        intact = false;
    HandOn(worker, filled, m_bytesBefore + chunk.viewStart + offset, intact && stop != FILL_FULL,
           chunk.firstOfView && first);
    if (!intact) return SCAN_CANNOT_OPEN;
    more = stop == FILL_FULL;
    return SCAN_PARSED;
}

CLogFileScanner::fill_stop_t CLogFileScanner::PredictViewEnd(const char* data, std::size_t size,
                                                             std::size_t offset, bool skipLongLine,
                                                             std::size_t& stopOffset) {
    std::size_t pos = offset;
    if (skipLongLine) {
        std::size_t checked = 0;
        pos = FindLineEnd(data, size, pos, checked);
        if (pos == size) {
            stopOffset = size;
            return FILL_LONG_LINE;
        }
    }
    // Every CR or LF from pos on ends a line or lies between lines, so a line that the view's
    // end cuts can only start after the last of them.
    std::size_t last = FindLastLineEnd(data, pos, size);
    stopOffset = SkipBetweenLines(data, size, last < size ? last : pos);
    return stopOffset == size ? FILL_VIEW_DONE : FILL_CUT_LINE;
}

bool CLogFileScanner::GuardedPredict(const char* data, std::size_t size, std::size_t offset,
                                     bool skipLongLine, fill_stop_t& stop,
                                     std::size_t& stopOffset) {
    CSigbusGuard guard(data, size);
    if (SIGBUS_GUARD_FAULTED(guard)) return false;
    stop = PredictViewEnd(data, size, offset, skipLongLine, stopOffset);
    return true;
}

hit_t* CLogFileScanner::NextFillBatch(scan_worker_t& worker) {
    if (!worker.ring) return m_batch.get();
    // A full ring would leave this core idle until the consumer catches up.
    while (!worker.ring->HasFree() && m_consumer.HelpWhileWaiting()) {
    }
    return worker.ring->WaitFree();
}

void CLogFileScanner::HandOn(scan_worker_t& worker, int filled, std::uint64_t parsedBytes,
                             bool chunkEnd, bool viewBegins) {
    if (filled > 0 && worker.prepares)
        m_consumer.PrepareBatch(std::span<hit_t>(worker.fill, static_cast<std::size_t>(filled)));
    if (worker.ring)
        worker.ring->Publish(filled, parsedBytes, chunkEnd, viewBegins);
    else
        DeliverBatch(worker.fill, filled, parsedBytes);
}

scan_result_t CLogFileScanner::WalkView(scan_worker_t& worker, const char* data, std::size_t size,
                                        std::size_t& offset, bool lastView, std::uint64_t viewStart,
                                        fill_stop_t& stop) {
    std::size_t released = 0;
    while (true) {
        if (ShouldEnd()) return SCAN_ENDED;
        worker.fill = NextFillBatch(worker);
        if (!worker.fill) return SCAN_ENDED;
        stop = FILL_VIEW_DONE;
        int filled = 0;
        const bool intact = GuardedFill(worker, data, size, offset, lastView, stop, filled);
        HandOn(worker, filled, m_bytesBefore + viewStart + offset, false, false);
        ReleaseParsedPages(data, offset, released);
        if (!intact) return SCAN_CANNOT_OPEN;
        if (stop != FILL_FULL) return SCAN_PARSED;
    }
}

void CLogFileScanner::ReleaseParsedPages(const char* data, std::size_t offset,
                                         std::size_t& released) {
    // Hits hold copies of their texts, so the pages behind the parsed lines are not read again
    // in this view; dropping them keeps a 50 MB view from counting whole in the process's
    // memory. The bytes stay in the page cache, and a page touched again is simply read back.
    constexpr std::size_t kReleaseStep = 4u << 20;
    const std::size_t upTo = offset - offset % PageSize();
    if (upTo < released + kReleaseStep) return;
    ::madvise(const_cast<char*>(data) + released, upTo - released, MADV_DONTNEED);
    released = upTo;
}

bool CLogFileScanner::GuardedFill(scan_worker_t& worker, const char* data, std::size_t size,
                                  std::size_t& offset, bool lastView, fill_stop_t& stop,
                                  int& filled) {
    worker.publishedFilled = 0;
    CSigbusGuard guard(data, size);
    if (SIGBUS_GUARD_FAULTED(guard)) {
        // The file shrank under the view: the hits completed before the fault still count.
        filled = worker.publishedFilled;
        return false;
    }
    stop = FillBatch(worker, data, size, offset, lastView, filled);
    return true;
}

CLogFileScanner::fill_stop_t CLogFileScanner::FillBatch(scan_worker_t& worker, const char* data,
                                                        std::size_t size, std::size_t& offset,
                                                        bool lastView, int& filled) {
    std::size_t pos = offset;
    int slot = 0;
    parse_context_t& context = worker.context;
    if (worker.skipLongLine) {
        std::size_t checked = 0;
        std::size_t end = FindLineEnd(data, size, pos, checked);
        if (end == size && !lastView) {
            // Still inside the long line: the views after this one go on skipping it.
            offset = size;
            filled = 0;
            return FILL_LONG_LINE;
        }
        worker.skipLongLine = false;
        pos = end;
    }
    fill_stop_t stop = FILL_FULL;
    hit_t* const batch = worker.fill;
    // The debug file lists each line given to a parser before it is parsed.
    const line_parser_t viewParser = m_debugLog.IsOpen() ? nullptr : m_viewParser;
    while (slot < kHitBatchSize) {
        pos = NextLineStart(data, size, pos);
        if (pos == size) {
            stop = FILL_VIEW_DONE;
            break;
        }
        // The lines a few ahead: their bytes come from memory while this one is parsed.
        if (pos + 8192 < size) logvane::table::PrefetchLine(data + pos + 8192);
        if (viewParser && data[pos] != '#') {
            // The parser finds the line's end on its way through the fields; only the bytes it
            // left unread are searched for it.
            hit_t& hit = batch[slot];
            const std::size_t used = viewParser(data + pos, size - pos, hit, context);
            const std::size_t end = FindNextLineEnd(data, size, pos + used);
            if (end == size && !lastView) {
                stop = FILL_CUT_LINE;
                break;
            }
            if (used > 0 && hit.time > 0) AcceptHit(worker, hit, ++slot);
            pos = end;
            continue;
        }
        std::size_t end = FindLineEnd(data, size, pos, context.checkedLength);
        if (end == size && !lastView) {
            stop = FILL_CUT_LINE;
            break;
        }
        const char* line = data + pos;
        std::size_t length = end - pos;
        if (line[0] == '#') {
            ReadDirective(context, line, length);
        } else {
            if (m_debugLog.IsOpen()) m_debugLog.Write(line, length);
            hit_t& hit = batch[slot];
            if (m_parser(line, length, hit, context) > 0 && hit.time > 0)
                AcceptHit(worker, hit, ++slot);
        }
        // Whatever a parser left unread belongs to this line: a line is one hit at most.
        pos = end;
    }
    offset = pos;
    filled = slot;
    return stop;
}

void CLogFileScanner::AcceptHit(scan_worker_t& worker, hit_t& hit, int filled) const {
    hit.referrerPresent = m_referrerPresent;
    hit.agentPresent = m_agentPresent;
    hit.cookiePresent = hit.cookieLen != 0 ? 1 : 0;
    // On the parsing thread, while the record is in this core's cache. Host-name resolution,
    // the one step that rewrites hosts, marks the names it writes itself.
    hit.hostIsName = IsDottedIPv4Host(hit) ? 0 : 1;
    std::atomic_signal_fence(std::memory_order_release);
    worker.publishedFilled = filled;
}

bool CLogFileScanner::DeliverBatch(hit_t* batch, int filled, std::uint64_t parsedBytes,
                                   bool checkpoints) {
    if (checkpoints && m_viewHits % kHitBatchSize == 0 && ShouldEnd()) return false;
    if (filled > 0) {
        m_consumer.ResolveBatch(std::span<hit_t>(batch, static_cast<std::size_t>(filled)));
        SetPercentage(parsedBytes);
    }
    for (int i = 0; i < filled; ++i) {
        if (checkpoints && i > 0 && m_viewHits % kHitBatchSize == 0 && ShouldEnd()) return false;
        hit_t& hit = batch[i];
        ++m_accepted;
        ++m_viewHits;
        m_consumer.ProcessHit(&hit);
    }
    if (filled == 0) SetPercentage(parsedBytes);
    return true;
}
