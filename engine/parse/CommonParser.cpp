#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

// host ident user [date] "request" status bytes
std::size_t ParseCommonLine(const char* line, std::size_t length, hit_t& hit,
                            const parse_context_t& context) {
    ClearHit(hit);
    CFieldCursor cursor(line, length);
    if (!ReadHostField(cursor, hit) || !SkipField(cursor) || !ReadUserBeforeBracket(cursor, hit) ||
        !ReadBracketDate(cursor, context, hit) || !ReadRequest(cursor, hit) ||
        !ReadStatus(cursor, hit) || !ReadBytes(cursor, hit))
        return 0;
    return cursor.Finish(context);
}
