#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// The client host is the first field, or the second when the first is "-" or empty. One
// further field is skipped unless the date follows at once; the user is the text before "[".
template <class Cursor>
bool ReadSparseHostAndUser(Cursor& cursor, hit_t& hit) {
    std::string_view first, second;
    if (!IsBlank(cursor.Peek())) {
        if (!cursor.ReadToken(first)) return false;
    }
    cursor.SkipBlanks();
    if (cursor.AtEnd() || cursor.Peek() == '[') return false;
    if (!cursor.ReadToken(second)) return false;
    StoreText(hit.host, hit.hostLen, (first.empty() || first == "-") ? second : first);
    cursor.SkipBlanks();
    if (!cursor.AtEnd() && cursor.Peek() != '[' && !SkipField(cursor)) return false;
    return ReadUserBeforeBracket(cursor, hit);
}

// host-ish fields, user, [date] and the combined format's request, status, bytes, referrer
// and user agent.
template <class Cursor>
std::size_t SparseLine(const char* text, std::size_t length, hit_t& hit,
                       const parse_context_t& context) {
    ClearHit(hit);
    Cursor cursor(text, length);
    if (cursor.AtEnd() || !ReadSparseHostAndUser(cursor, hit) ||
        !ReadBracketDate(cursor, context, hit) || !ReadRequest(cursor, hit) ||
        !ReadStatus(cursor, hit) || !ReadBytes(cursor, hit) || !ReadReferrerAndAgent(cursor, hit))
        return 0;
    return cursor.Finish(context);
}

}  // namespace

std::size_t ParseSparseLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context) {
    return SparseLine<CLineCursor>(line, length, hit, context);
}

std::size_t ScanSparseLine(const char* text, std::size_t available, hit_t& hit,
                           const parse_context_t& context) {
    return SparseLine<CViewCursor>(text, available, hit, context);
}
