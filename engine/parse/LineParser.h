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

// Empties every field of a record, cheaply: text lengths and first bytes only.
void ClearHit(hit_t& hit);
