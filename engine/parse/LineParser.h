#pragma once

#include <cstddef>

#include "engine/parse/HitRecord.h"
#include "engine/parse/ParseContext.h"

// Every parser reads one line (without its CR or LF) in place and fills one hit record. It
// returns the number of bytes consumed (the offset after the last field it read), or 0 to
// reject the line. It never reads beyond `length` bytes and never allocates.
using line_parser_t = std::size_t (*)(const char* line, std::size_t length, hit_t& hit,
                                      const parse_context_t& context);

std::size_t ParseCommonLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context);
std::size_t ParseCombinedLine(const char* line, std::size_t length, hit_t& hit,
                              const parse_context_t& context);
std::size_t ParseCombinedCookieEndLine(const char* line, std::size_t length, hit_t& hit,
                                       const parse_context_t& context);
std::size_t ParseCombinedCookieBeginLine(const char* line, std::size_t length, hit_t& hit,
                                         const parse_context_t& context);
std::size_t ParseW3CLine(const char* line, std::size_t length, hit_t& hit,
                         const parse_context_t& context);
std::size_t ParseDominoLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context);
std::size_t ParseCommaShortLine(const char* line, std::size_t length, hit_t& hit,
                                const parse_context_t& context);
std::size_t ParseCommaLongLine(const char* line, std::size_t length, hit_t& hit,
                               const parse_context_t& context);
std::size_t ParseSparseLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context);

// The parser of a logfiletype_t value; nullptr for AUTO and values without a parser.
line_parser_t GetLineParser(int logType);

// The same parsers reading in place in a view, so that the line need not be looked through for
// its end first: `text` starts a line, which ends at the first CR or LF within `available`
// bytes or at their end. The result, and the record, are those of the line parser given that
// line. No byte past the line's end is consumed, and none past `available` is read.
std::size_t ScanCommonLine(const char* text, std::size_t available, hit_t& hit,
                           const parse_context_t& context);
std::size_t ScanCombinedLine(const char* text, std::size_t available, hit_t& hit,
                             const parse_context_t& context);
std::size_t ScanCombinedCookieEndLine(const char* text, std::size_t available, hit_t& hit,
                                      const parse_context_t& context);
std::size_t ScanCombinedCookieBeginLine(const char* text, std::size_t available, hit_t& hit,
                                        const parse_context_t& context);
std::size_t ScanDominoLine(const char* text, std::size_t available, hit_t& hit,
                           const parse_context_t& context);
std::size_t ScanSparseLine(const char* text, std::size_t available, hit_t& hit,
                           const parse_context_t& context);

// The in-view parser of a logfiletype_t value; nullptr for formats read a whole line at a time
// (W3C, whose columns are counted to the line's end, and the comma-separated ones).
line_parser_t GetViewParser(int logType);

// Empties every field of a record, cheaply: text lengths and first bytes only.
inline void ClearHit(hit_t& hit) {
    hit.hour = hit.dayOfWeek = hit.time = hit.method = 0;
    hit.cookie[0] = hit.host[0] = hit.path[0] = hit.referrer[0] = '\0';
    hit.agent[0] = hit.user[0] = hit.server[0] = '\0';
    hit.cookieLen = hit.hostLen = hit.pathLen = hit.referrerLen = 0;
    hit.agentLen = hit.userLen = hit.serverLen = 0;
    hit.hostIsName = 0;
    hit.bytes = 0;
    hit.status = 0;
    hit.referrerPresent = hit.agentPresent = hit.cookiePresent = 0;
}
