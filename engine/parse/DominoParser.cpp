#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// host server user [date] "request" status bytes "referrer" "agent"; the server name stands
// where the common format has the identity.
template <class Cursor>
std::size_t DominoLine(const char* text, std::size_t length, hit_t& hit,
                       const parse_context_t& context) {
    ClearHit(hit);
    Cursor cursor(text, length);
    if (!ReadHostField(cursor, hit) || !ReadServerField(cursor, hit) ||
        !ReadUserBeforeBracket(cursor, hit) || !ReadBracketDate(cursor, context, hit) ||
        !ReadRequest(cursor, hit) || !ReadStatus(cursor, hit) || !ReadBytes(cursor, hit) ||
        !ReadReferrerAndAgent(cursor, hit))
        return 0;
    return cursor.Finish(context);
}

}  // namespace

std::size_t ParseDominoLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context) {
    return DominoLine<CLineCursor>(line, length, hit, context);
}

std::size_t ScanDominoLine(const char* text, std::size_t available, hit_t& hit,
                           const parse_context_t& context) {
    return DominoLine<CViewCursor>(text, available, hit, context);
}
