#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// host ident user [date] "request" status bytes
template <class Cursor>
std::size_t CommonLine(const char* text, std::size_t length, hit_t& hit,
                       const parse_context_t& context) {
    ClearHit(hit);
    Cursor cursor(text, length);
    if (!ReadHostField(cursor, hit) || !SkipField(cursor) || !ReadUserBeforeBracket(cursor, hit) ||
        !ReadBracketDate(cursor, context, hit) || !ReadRequest(cursor, hit) ||
        !ReadStatus(cursor, hit) || !ReadBytes(cursor, hit))
        return 0;
    return cursor.Finish(context);
}

}  // namespace

std::size_t ParseCommonLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context) {
    return CommonLine<CLineCursor>(line, length, hit, context);
}

std::size_t ScanCommonLine(const char* text, std::size_t available, hit_t& hit,
                           const parse_context_t& context) {
    return CommonLine<CViewCursor>(text, available, hit, context);
}
