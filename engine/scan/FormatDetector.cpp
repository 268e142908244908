#include "engine/scan/FormatDetector.h"

#include <algorithm>

#include "engine/scan/PatternSearch.h"

namespace {

constexpr int kMaxDetectionLines = 50;
constexpr std::size_t kFieldsSearchBytes = 5000;

// What one pass over the window counts.
struct detection_counts_t {
    int separators[kMaxDetectionLines] = {};  // per counted line
    long commas = 0;
    long quotedLines = 0;  // lines that begin with a double quote
    long lines = 0;
    std::size_t scanned = 0;
};

// Counts complete lines only: a line cut by the end of a full window would bias the counts
// with a fraction of its fields. A window shorter than kDetectionWindow is the whole file, so
// its last line is complete. Lines beginning with "#" are comments or directives that never
// reach a parser, and their words would count as fields.
detection_counts_t CountWindow(const char* window, std::size_t length) {
    detection_counts_t counts;
    const bool wholeFile = length < kDetectionWindow;
    bool inQuotes = false, inBrackets = false, sawEquals = false, sawSemicolon = false;
    long lineSeparators = 0, lineCommas = 0;
    bool lineQuoted = false, inLine = false, lineComment = false;
    auto endLine = [&] {
        if (inLine && !lineComment && counts.lines < kMaxDetectionLines) {
            counts.separators[counts.lines] = static_cast<int>(lineSeparators);
            counts.commas += lineCommas;
            counts.quotedLines += lineQuoted ? 1 : 0;
            ++counts.lines;
        }
        inQuotes = inBrackets = sawEquals = sawSemicolon = lineQuoted = inLine = lineComment =
            false;
        lineSeparators = lineCommas = 0;
    };
    std::size_t i = 0;
    for (; i < length && counts.lines < kMaxDetectionLines; ++i) {
        char c = window[i];
        if (c == '\r' || c == '\n') {
            endLine();
            continue;
        }
        if (!inLine) {
            inLine = true;
            lineQuoted = c == '"';
            lineComment = c == '#';
        }
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes) {
            if (c == '[')
                inBrackets = true;
            else if (c == ']')
                inBrackets = false;
            else if (c == '=')
                sawEquals = true;
            else if (c == ';')
                sawSemicolon = true;
            else if (c == ',' && !inBrackets)
                ++lineCommas;
            else if ((c == ' ' || c == '\t') && !inBrackets) {
                // A blank inside a "name=value; name=value" cookie list separates no fields.
                if (!(sawEquals && sawSemicolon)) ++lineSeparators;
                sawEquals = sawSemicolon = false;
            }
        }
    }
    if (wholeFile) endLine();
    counts.scanned = i;
    return counts;
}

// The median separator count of the counted lines: one malformed or foreign line among a few
// must not move the whole file to a format that drops fields of every other line.
double MedianSeparators(detection_counts_t& counts) {
    if (counts.lines == 0) return 0.0;
    int* begin = counts.separators;
    int* end = counts.separators + counts.lines;
    std::sort(begin, end);
    long middle = counts.lines / 2;
    if (counts.lines % 2 == 1) return begin[middle];
    return (begin[middle - 1] + begin[middle]) / 2.0;
}

}  // namespace

int DetectLogFormat(const char* window, std::size_t length) {
    if (length > kDetectionWindow) length = kDetectionWindow;
    detection_counts_t counts = CountWindow(window, length);

    static const CPatternSearch fields("#Fields:", true);
    std::size_t searchBytes =
        counts.scanned < kFieldsSearchBytes ? counts.scanned : kFieldsSearchBytes;
    if (fields.Find(window, searchBytes) >= 0) return 4;

    if (counts.lines > 0) {
        long commasPerLine = counts.commas / counts.lines;
        if (commasPerLine > 16) return 3;
        if (commasPerLine > 1) return 2;
    }
    double s = MedianSeparators(counts);
    if (s < 5) return 7;
    if (s < 7.5) return 0;
    // Cookies first only when at least half the lines really begin with a quote: an integer
    // half would call a single unquoted line cookies-first.
    if (s > 8.5) return counts.quotedLines > 0 && counts.quotedLines * 2 >= counts.lines ? 11 : 10;
    return 1;
}
