#include "engine/parse/CookieField.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// Everything of the common format after the client host, then referrer and user agent.
bool ReadCombinedAfterHost(CFieldCursor& cursor, const parse_context_t& context, hit_t& hit) {
    return SkipField(cursor) && ReadUserBeforeBracket(cursor, hit) &&
           ReadBracketDate(cursor, context, hit) && ReadRequest(cursor, hit) &&
           ReadStatus(cursor, hit) && ReadBytes(cursor, hit) && ReadReferrerAndAgent(cursor, hit);
}

// The leading cookie field of the cookies-first form, which ends at its closing quote or at
// the first token that is a dotted IPv4 address (then that token is the client host).
bool ReadLeadingCookieAndHost(CFieldCursor& cursor, const parse_context_t& context, hit_t& hit) {
    cursor.SkipBlanks();
    if (cursor.AtEnd()) return false;
    if (cursor.Peek() == '"') {
        std::string_view field;
        if (!cursor.ReadQuoted(field)) return false;
        ExtractSessionCookie(field, ' ', ' ', context, hit);
        return ReadHostField(cursor, hit);
    }
    const char* start = cursor.Position();
    const char* end = start;
    std::string_view token;
    while (true) {
        if (!cursor.ReadToken(token)) return false;
        if (IsDottedIPv4(token)) {
            StoreText(hit.host, hit.hostLen, token);
            break;
        }
        end = cursor.Position();
        if (token.back() != ';') {
            if (!ReadHostField(cursor, hit)) return false;
            break;
        }
        cursor.SkipBlanks();
    }
    ExtractSessionCookie(std::string_view(start, static_cast<std::size_t>(end - start)), ' ', ' ',
                         context, hit);
    return true;
}

}  // namespace

// host ident user [date] "request" status bytes "referrer" "agent"
std::size_t ParseCombinedLine(const char* line, std::size_t length, hit_t& hit,
                              const parse_context_t& context) {
    ClearHit(hit);
    CFieldCursor cursor(line, length);
    if (!ReadHostField(cursor, hit) || !ReadCombinedAfterHost(cursor, context, hit)) return 0;
    return cursor.Finish(context);
}

// The combined format followed by a cookie field.
std::size_t ParseCombinedCookieEndLine(const char* line, std::size_t length, hit_t& hit,
                                       const parse_context_t& context) {
    ClearHit(hit);
    CFieldCursor cursor(line, length);
    if (!ReadHostField(cursor, hit) || !ReadCombinedAfterHost(cursor, context, hit) ||
        !ReadCookieField(cursor, context, hit))
        return 0;
    return cursor.Finish(context);
}

// A cookie field, then the combined format.
std::size_t ParseCombinedCookieBeginLine(const char* line, std::size_t length, hit_t& hit,
                                         const parse_context_t& context) {
    ClearHit(hit);
    CFieldCursor cursor(line, length);
    if (!ReadLeadingCookieAndHost(cursor, context, hit) ||
        !ReadCombinedAfterHost(cursor, context, hit))
        return 0;
    return cursor.Finish(context);
}
