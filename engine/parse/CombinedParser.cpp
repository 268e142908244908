#include <type_traits>

#include "engine/parse/CookieField.h"
#include "engine/parse/LineIndex.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// Everything of the common format after the client host, then referrer and user agent.
template <class Cursor>
bool ReadCombinedAfterHost(Cursor& cursor, const parse_context_t& context, hit_t& hit) {
    return SkipField(cursor) && ReadUserBeforeBracket(cursor, hit) &&
           ReadBracketDate(cursor, context, hit) && ReadRequest(cursor, hit) &&
           ReadStatus(cursor, hit) && ReadBytes(cursor, hit) && ReadReferrerAndAgent(cursor, hit);
}

// The leading cookie field of the cookies-first form, which ends at its closing quote or at
// the first token that is a dotted IPv4 address (then that token is the client host).
template <class Cursor>
bool ReadLeadingCookieAndHost(Cursor& cursor, const parse_context_t& context, hit_t& hit) {
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

// The closing quote of a quoted field that opens at `open`: the next quote, unless a backslash
// stands before it (then the general reader decides); the line's length when there is none.
inline std::size_t PlainClosingQuote(const char* line, const CLineIndex& index, std::size_t open) {
    const std::size_t close = index.NextQuote(open + 1);
    return close < index.Length() && line[close - 1] != '\\' ? close : index.Length();
}

// The end of a field that starts at `start` and ends at the next space, which must not be the
// field's first byte; the line's length otherwise.
inline std::size_t PlainToken(const char* line, const CLineIndex& index, std::size_t start) {
    if (start >= index.Length() || line[start] == ' ') return index.Length();
    return index.NextSpace(start);
}

// RequestPath of the request [begin, end), which holds no quote and no tab: from the first "/"
// or "\\" after the first space to the next space.
inline std::string_view PlainRequestPath(const char* line, const CLineIndex& index,
                                         std::size_t begin, std::size_t end) {
    std::size_t start = index.NextSpace(begin);
    if (start >= end) return {};
    while (start != end && line[start] != '/' && line[start] != '\\') ++start;
    std::size_t stop = start == end ? end : index.NextSpace(start);
    if (stop > end) stop = end;
    return std::string_view(line + start, stop - start);
}

// LeadingNumber of a field of a plain line, inline: fields this short need no overflow test.
[[gnu::always_inline]] inline std::int64_t PlainNumber(const char* text, std::size_t length,
                                                       std::int64_t limit) {
    if (length > 18) return LeadingNumber(std::string_view(text, length), limit);
    std::uint64_t value = 0;
    for (const char* end = text + length; text != end; ++text) {
        const unsigned digit = static_cast<unsigned char>(*text) - unsigned('0');
        if (digit > 9) break;
        value = value * 10 + digit;
    }
    return value > std::uint64_t(limit) ? limit : static_cast<std::int64_t>(value);
}

// The usual shape of a combined line, read from its index: single spaces between the fields, a
// user without blanks or "[", no escaped quote in the request, referrer or user agent. Stores
// what the general readers would store and returns where they would stop, or 0 when the line
// has any other shape; then the general readers parse it.
std::size_t ReadPlainCombined(const char* line, const CLineIndex& index,
                              const parse_context_t& context, hit_t& hit) {
    const std::size_t length = index.Length();
    const std::size_t hostEnd = PlainToken(line, index, 0);
    const std::size_t identEnd = PlainToken(line, index, hostEnd + 1);
    const std::size_t userStart = identEnd + 1;
    const std::size_t userEnd = PlainToken(line, index, userStart);
    if (userEnd + 1 >= length || line[userEnd + 1] != '[' ||
        FindByte(line + userStart, line + userEnd, '['))
        return 0;
    const char* dateStart = line + userEnd + 2;
    const char* dateEnd = FindByte(dateStart, line + length, ']');
    if (!dateEnd || line + length - dateEnd < 3 || dateEnd[1] != ' ' || dateEnd[2] != '"') return 0;
    const std::size_t requestOpen = static_cast<std::size_t>(dateEnd + 2 - line);
    const std::size_t requestClose = PlainClosingQuote(line, index, requestOpen);
    if (requestClose + 1 >= length || line[requestClose + 1] != ' ') return 0;
    const std::size_t statusStart = requestClose + 2;
    const std::size_t statusEnd = PlainToken(line, index, statusStart);
    const std::size_t bytesEnd = PlainToken(line, index, statusEnd + 1);
    if (bytesEnd + 1 >= length || line[bytesEnd + 1] != '"') return 0;
    const std::size_t referrerOpen = bytesEnd + 1;
    const std::size_t referrerClose = PlainClosingQuote(line, index, referrerOpen);
    if (referrerClose + 2 >= length || line[referrerClose + 1] != ' ' ||
        line[referrerClose + 2] != '"')
        return 0;
    const std::size_t agentOpen = referrerClose + 2;
    const std::size_t agentClose = PlainClosingQuote(line, index, agentOpen);
    if (agentClose == length) return 0;

    auto text = [line](std::size_t from, std::size_t to) {
        return std::string_view(line + from, to - from);
    };
    StoreText(hit.host, hit.hostLen, text(0, hostEnd));
    const std::string_view user = ncsa_detail::Unquoted(text(userStart, userEnd));
    StoreText(hit.user, hit.userLen, user.empty() ? std::string_view("-") : user);
    const std::string_view date(dateStart, static_cast<std::size_t>(dateEnd - dateStart));
    if (!ConvertCachedCommonDate(date, context.timeOffsetHours, hit, context.commonDateCache))
        ConvertCommonDate(date, context.timeOffsetHours, hit, &context.commonDateCache);
    hit.method = MethodFromLetter(requestOpen + 1 < requestClose ? line[requestOpen + 1] : '\0');
    StoreText(hit.path, hit.pathLen, PlainRequestPath(line, index, requestOpen + 1, requestClose));
    hit.status = static_cast<std::int32_t>(
        PlainNumber(line + statusStart, statusEnd - statusStart, INT32_MAX));
    hit.bytes = PlainNumber(line + statusEnd + 1, bytesEnd - statusEnd - 1, INT64_MAX);
    StoreText(hit.referrer, hit.referrerLen, text(referrerOpen + 1, referrerClose));
    StoreText(hit.agent, hit.agentLen, text(agentOpen + 1, agentClose));
    return agentClose + 1;
}

// host ident user [date] "request" status bytes "referrer" "agent"
template <class Cursor>
std::size_t CombinedLine(const char* text, std::size_t length, hit_t& hit,
                         const parse_context_t& context) {
    CLineIndex index;
    if (index.Build(text, length, std::is_same_v<Cursor, CViewCursor>)) {
        // A plain line sets every field the format has; the others are emptied here.
        ClearText(hit.cookie, hit.cookieLen);
        ClearText(hit.server, hit.serverLen);
        hit.hostIsName = hit.referrerPresent = hit.agentPresent = hit.cookiePresent = 0;
        if (std::size_t consumed = ReadPlainCombined(text, index, context, hit)) return consumed;
    }
    ClearHit(hit);
    Cursor cursor(text, length);
    if (!ReadHostField(cursor, hit) || !ReadCombinedAfterHost(cursor, context, hit)) return 0;
    return cursor.Finish(context);
}

// The combined format followed by a cookie field.
template <class Cursor>
std::size_t CombinedCookieEndLine(const char* text, std::size_t length, hit_t& hit,
                                  const parse_context_t& context) {
    ClearHit(hit);
    Cursor cursor(text, length);
    if (!ReadHostField(cursor, hit) || !ReadCombinedAfterHost(cursor, context, hit) ||
        !ReadCookieField(cursor, context, hit))
        return 0;
    return cursor.Finish(context);
}

// A cookie field, then the combined format.
template <class Cursor>
std::size_t CombinedCookieBeginLine(const char* text, std::size_t length, hit_t& hit,
                                    const parse_context_t& context) {
    ClearHit(hit);
    Cursor cursor(text, length);
    if (!ReadLeadingCookieAndHost(cursor, context, hit) ||
        !ReadCombinedAfterHost(cursor, context, hit))
        return 0;
    return cursor.Finish(context);
}

}  // namespace

std::size_t ParseCombinedLine(const char* line, std::size_t length, hit_t& hit,
                              const parse_context_t& context) {
    return CombinedLine<CLineCursor>(line, length, hit, context);
}

std::size_t ParseCombinedCookieEndLine(const char* line, std::size_t length, hit_t& hit,
                                       const parse_context_t& context) {
    return CombinedCookieEndLine<CLineCursor>(line, length, hit, context);
}

std::size_t ParseCombinedCookieBeginLine(const char* line, std::size_t length, hit_t& hit,
                                         const parse_context_t& context) {
    return CombinedCookieBeginLine<CLineCursor>(line, length, hit, context);
}

std::size_t ScanCombinedLine(const char* text, std::size_t available, hit_t& hit,
                             const parse_context_t& context) {
    return CombinedLine<CViewCursor>(text, available, hit, context);
}

std::size_t ScanCombinedCookieEndLine(const char* text, std::size_t available, hit_t& hit,
                                      const parse_context_t& context) {
    return CombinedCookieEndLine<CViewCursor>(text, available, hit, context);
}

std::size_t ScanCombinedCookieBeginLine(const char* text, std::size_t available, hit_t& hit,
                                        const parse_context_t& context) {
    return CombinedCookieBeginLine<CViewCursor>(text, available, hit, context);
}
