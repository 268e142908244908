#include "engine/scan/LogFileScanner.h"

#include <sys/mman.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
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
#include "utility/Progress.h"

namespace {

constexpr std::uint64_t kDefaultViewBytes = 50000000;
constexpr std::size_t kHeaderDateMax = 99;
// Batches of the overlapped path: one being filled, one being handed on and two in between to
// smooth out the different speeds of a line and of a hit.
constexpr int kRingBatches = 4;

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

// The first cache line of each text of a record, and the second of the longer ones.
inline void PrefetchTexts(const hit_t& hit) {
    for (const char* text : {hit.cookie, hit.host, hit.path, hit.path + 64, hit.referrer,
                             hit.referrer + 64, hit.agent, hit.agent + 64, hit.user, hit.server})
        __builtin_prefetch(text);
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

CLogFileScanner::CLogFileScanner(const scan_options_t& options, CHitConsumer& consumer)
    : m_options(options), m_consumer(consumer), m_viewSize(ChooseViewSize(options.viewSize)) {
    m_context.cookieName = m_options.cookieName.data();
    m_context.cookieNameLen = static_cast<int>(m_options.cookieName.size());
    m_context.timeOffsetHours = m_options.timeOffsetHours;
    m_context.europeanDates = m_options.europeanDates;
    m_context.w3cServerFromHost = m_options.w3cServerFromHost;
    ClearW3CFields(m_context.w3c);
    if (m_options.overlapParsing)
        m_ring = std::make_unique<CBatchRing>(kRingBatches);
    else
        m_batch.reset(new hit_t[kHitBatchSize]);
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

    CProgress::SetText(PROGRESS_PARSING, "Analyzing " + BaseName(path));
    SetPercentage(bytesBefore);
    scan_result_t result = m_ring ? WalkFileOverlapped(file) : WalkFile(file);
    if (result == SCAN_PARSED && ShouldEnd()) result = SCAN_ENDED;
    return result;
}

scan_result_t CLogFileScanner::SetUpFile(const char* window, std::size_t length, int logType) {
    m_logType = logType == SCAN_LOG_AUTO ? DetectLogFormat(window, length) : logType;
    if (m_logType == 6) return SCAN_UNEXPECTED_FORMAT;
    m_parser = GetLineParser(m_logType);
    if (!m_parser) return SCAN_CANNOT_OPEN;

    m_context.cookieMode = m_logType == SCAN_LOG_ELFEND   ? COOKIE_END
                           : m_logType == SCAN_LOG_ELFBEG ? COOKIE_BEGIN
                                                          : COOKIE_NONE;
    ClearW3CFields(m_context.w3c);
    m_skipLongLine = false;
    if (m_logType == SCAN_LOG_W3C) {
        static const CPatternSearch fields("#Fields:", true);
        std::int64_t found = fields.Find(window, length);
        if (found < 0) return SCAN_UNEXPECTED_FORMAT;
        std::size_t start = static_cast<std::size_t>(found);
        std::size_t checked = 0;
        ReadDirective(window + start, FindLineEnd(window, length, start, checked) - start);
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
    if (found >= 0) SetHeaderDate(window.substr(static_cast<std::size_t>(found) + 7));
}

void CLogFileScanner::SetHeaderDate(std::string_view text) {
    m_context.headerDateLen = 0;
    std::size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' &&
           text[end] != '\n')
        ++end;
    // A line that ends before a space or tab gives no date.
    if (end == text.size() || text[end] == '\r' || text[end] == '\n') return;
    std::size_t length = end < kHeaderDateMax ? end : kHeaderDateMax;
    std::memcpy(m_context.headerDate, text.data(), length);
    m_context.headerDateLen = static_cast<int>(length);
}

void CLogFileScanner::ReadDirective(const char* line, std::size_t length) {
    if (m_logType != SCAN_LOG_W3C) return;
    if (StartsWithDirective(line, length, "#FIELDS:")) {
        MapW3CFields(std::string_view(line, length), m_context.w3c);
        m_context.cookieMode = m_context.w3c.column[W3C_COOKIE] >= 0 ? COOKIE_W3C : COOKIE_NONE;
    } else if (StartsWithDirective(line, length, "#DATE: ")) {
        // A server writes a new header block with its own date at each restart or new day;
        // lines without a date column belong to the latest one, not to the file's first.
        SetHeaderDate(std::string_view(line + 7, length - 7));
    }
}

scan_result_t CLogFileScanner::WalkFile(const CMappedFile& file) {
    const std::uint64_t size = file.Size();
    const std::uint64_t page = PageSize();
    std::uint64_t pos = 0;
    while (pos < size) {
        if (ShouldEnd()) return SCAN_ENDED;
        // Holes of a sparse file read as NUL bytes, which are skipped between lines and never end
        // a line: jumping over them changes nothing but the time spent faulting in zero pages.
        off_t data = ::lseek(file.Fd(), static_cast<off_t>(pos), SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
            // No data after pos: a hole up to the end, or a file cut short meanwhile.
            if (file.CurrentSize() < size) return SCAN_CANNOT_OPEN;
            break;
        }
        if (data > 0 && std::uint64_t(data) > pos) pos = std::uint64_t(data);
        std::uint64_t viewStart = pos - pos % page;
        std::uint64_t viewBytes = size - viewStart < m_viewSize ? size - viewStart : m_viewSize;
        // A file that shrank since it was opened (rotated with copytruncate) ends here; the
        // SIGBUS guard covers a shrink that happens while a view is read.
        if (file.CurrentSize() < viewStart + viewBytes) return SCAN_CANNOT_OPEN;
        CMappedView view;
        if (!view.Map(file, viewStart, static_cast<std::size_t>(viewBytes)))
            return SCAN_CANNOT_OPEN;
        const bool lastView = viewStart + viewBytes == size;
        std::size_t offset = static_cast<std::size_t>(pos - viewStart);
        bool cut = false;
        scan_result_t result = WalkView(view.Data(), view.Size(), offset, lastView, viewStart, cut);
        if (result != SCAN_PARSED) return result;
        std::uint64_t lineStart = viewStart + offset;
        if (cut && lineStart - lineStart % page != viewStart) {
            pos = lineStart;  // re-read the cut line whole from the next view
        } else {
            // A line longer than a view is rejected: skip to its end in the views that follow.
            m_skipLongLine = cut;
            pos = viewStart + viewBytes;
        }
    }
    return ShouldEnd() ? SCAN_ENDED : SCAN_PARSED;
}

scan_result_t CLogFileScanner::WalkFileOverlapped(const CMappedFile& file) {
    m_ring->Reset();
    std::thread worker;
    try {
        worker = std::thread([this, &file] { m_ring->Finish(WalkFile(file)); });
    } catch (const std::system_error&) {
        return WalkFile(file);
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
    } stop{*m_ring, worker};

    hit_batch_t batch;
    while (m_ring->Take(batch)) {
        // The single-threaded path looks at the flags before it fills each batch; looking before
        // each batch is handed on gives the same hits when a consumer ends parsing.
        if (ShouldEnd()) return SCAN_ENDED;
        DeliverBatch(batch.hits, batch.filled, batch.parsedBytes);
        m_ring->Release();
    }
    return static_cast<scan_result_t>(m_ring->Result());
}

hit_t* CLogFileScanner::NextFillBatch() { return m_ring ? m_ring->WaitFree() : m_batch.get(); }

void CLogFileScanner::HandOn(int filled, std::uint64_t parsedBytes) {
    if (m_ring)
        m_ring->Publish(filled, parsedBytes);
    else
        DeliverBatch(m_fill, filled, parsedBytes);
}

scan_result_t CLogFileScanner::WalkView(const char* data, std::size_t size, std::size_t& offset,
                                        bool lastView, std::uint64_t viewStart, bool& cut) {
    std::size_t released = 0;
    while (true) {
        if (ShouldEnd()) return SCAN_ENDED;
        m_fill = NextFillBatch();
        if (!m_fill) return SCAN_ENDED;
        fill_stop_t stop = FILL_VIEW_DONE;
        int filled = 0;
        bool intact = GuardedFill(data, size, offset, lastView, stop, filled);
        HandOn(filled, m_bytesBefore + viewStart + offset);
        ReleaseParsedPages(data, offset, released);
        if (!intact) return SCAN_CANNOT_OPEN;
        if (stop != FILL_FULL) {
            cut = stop == FILL_CUT_LINE;
            return SCAN_PARSED;
        }
    }
}

void CLogFileScanner::ReleaseParsedPages(const char* data, std::size_t offset,
                                         std::size_t& released) {
    // Hits hold copies of their texts, so the pages behind the parsed lines are not read again
    // in this view; dropping them keeps a 50 MB view from counting whole in the process's
    // memory. The bytes stay in the page cache, and a page touched again is simply read back.
    constexpr std::size_t kReleaseStep = 8u << 20;
    const std::size_t upTo = offset - offset % PageSize();
    if (upTo < released + kReleaseStep) return;
    ::madvise(const_cast<char*>(data) + released, upTo - released, MADV_DONTNEED);
    released = upTo;
}

bool CLogFileScanner::GuardedFill(const char* data, std::size_t size, std::size_t& offset,
                                  bool lastView, fill_stop_t& stop, int& filled) {
    m_publishedFilled = 0;
    CSigbusGuard guard(data, size);
    if (SIGBUS_GUARD_FAULTED(guard)) {
        // The file shrank under the view: the hits completed before the fault still count.
        filled = m_publishedFilled;
        return false;
    }
    stop = FillBatch(data, size, offset, lastView, filled);
    return true;
}

CLogFileScanner::fill_stop_t CLogFileScanner::FillBatch(const char* data, std::size_t size,
                                                        std::size_t& offset, bool lastView,
                                                        int& filled) {
    std::size_t pos = offset;
    int slot = 0;
    if (m_skipLongLine) {
        std::size_t checked = 0;
        std::size_t end = FindLineEnd(data, size, pos, checked);
        if (end == size && !lastView) {
            offset = size;
            filled = 0;
            return FILL_VIEW_DONE;
        }
        m_skipLongLine = false;
        pos = end;
    }
    fill_stop_t stop = FILL_FULL;
    while (slot < kHitBatchSize) {
        pos = SkipBetweenLines(data, size, pos);
        if (pos == size) {
            stop = FILL_VIEW_DONE;
            break;
        }
        std::size_t end = FindLineEnd(data, size, pos, m_context.checkedLength);
        if (end == size && !lastView) {
            stop = FILL_CUT_LINE;
            break;
        }
        const char* line = data + pos;
        std::size_t length = end - pos;
        if (line[0] == '#') {
            ReadDirective(line, length);
        } else {
            if (m_debugLog.IsOpen()) m_debugLog.Write(line, length);
            hit_t& hit = m_fill[slot];
            if (m_parser(line, length, hit, m_context) > 0 && hit.time > 0) {
                hit.referrerPresent = m_referrerPresent;
                hit.agentPresent = m_agentPresent;
                hit.cookiePresent = hit.cookieLen != 0 ? 1 : 0;
                ++slot;
                std::atomic_signal_fence(std::memory_order_release);
                m_publishedFilled = slot;
            }
        }
        // Whatever a parser left unread belongs to this line: a line is one hit at most.
        pos = end;
    }
    offset = pos;
    filled = slot;
    return stop;
}

void CLogFileScanner::DeliverBatch(hit_t* batch, int filled, std::uint64_t parsedBytes) {
    if (filled > 0) {
        m_consumer.ResolveBatch(std::span<hit_t>(batch, static_cast<std::size_t>(filled)));
        SetPercentage(parsedBytes);
    }
    for (int i = 0; i < filled; ++i) {
        hit_t& hit = batch[i];
        // Records filled on the parsing thread's core are read here from another: asking for
        // the next record's texts now overlaps their transfer with this hit's processing.
        if (i + 1 < filled) PrefetchTexts(batch[i + 1]);
        // After resolution: a resolved host is a name.
        hit.hostIsName = IsDottedIPv4(hit.Host()) ? 0 : 1;
        ++m_accepted;
        m_consumer.ProcessHit(&hit);
    }
    if (filled == 0) SetPercentage(parsedBytes);
}
