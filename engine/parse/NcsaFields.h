#pragma once

#include "engine/parse/CookieField.h"
#include "engine/parse/DateConversion.h"
#include "engine/parse/FieldCursor.h"
#include "engine/parse/HitRecord.h"
#include "engine/parse/ParseContext.h"

// Field readers shared by the NCSA-shaped formats (common, combined, Domino, sparse). Each
// reads one field at the cursor, skipping the blanks before it, stores it in the hit and
// returns false to reject the line. They are templates over the cursor (CLineCursor for a line
// handed over alone, CViewCursor for a line read in the view) and inline, so that a parser
// compiles into one function that keeps the cursor in registers.

template <class Cursor>
bool ReadHostField(Cursor& cursor, hit_t& hit);
template <class Cursor>
bool SkipField(Cursor& cursor);
template <class Cursor>
bool ReadServerField(Cursor& cursor, hit_t& hit);
// The user: the text up to "[", trimmed, without surrounding double quotes; "-" when empty.
template <class Cursor>
bool ReadUserBeforeBracket(Cursor& cursor, hit_t& hit);
// "[" date "]" through the common-format conversion; a time stamp of 0 or less still reads.
template <class Cursor>
bool ReadBracketDate(Cursor& cursor, const parse_context_t& context, hit_t& hit);
// The double-quoted request: method letter and path.
template <class Cursor>
bool ReadRequest(Cursor& cursor, hit_t& hit);
template <class Cursor>
bool ReadStatus(Cursor& cursor, hit_t& hit);
template <class Cursor>
bool ReadBytes(Cursor& cursor, hit_t& hit);
// Double-quoted referrer and user agent. A line that ends before the referrer keeps both empty
// and is accepted, as servers mix lines without them into combined logs.
template <class Cursor>
bool ReadReferrerAndAgent(Cursor& cursor, hit_t& hit);
// A cookie field: one double-quoted field, or unquoted tokens continuing while a token ends in
// ";". Absent at the line end. The session cookie is extracted from it.
template <class Cursor>
bool ReadCookieField(Cursor& cursor, const parse_context_t& context, hit_t& hit);

// Method code of the request's first letter.
inline std::int32_t MethodFromLetter(char c) {
    switch (c) {
        case 'G':
            return HIT_METHOD_GET;
        case 'H':
            return HIT_METHOD_HEAD;
        case 'P':
            return HIT_METHOD_POST;
        default:
            return HIT_METHOD_OTHER;
    }
}

namespace ncsa_detail {

inline std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

inline std::string_view Unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

// The path inside a request: from the first "/" or "\\" after the method to the next space or
// double quote. A request without one (such as "-") has an empty path.
inline std::string_view RequestPath(std::string_view request) {
    const char* p = request.data();
    const char* end = p + request.size();
    while (p != end && *p != ' ') ++p;
    if (p == end) return {};
    while (p != end && *p != '/' && *p != '\\') ++p;
    const char* start = p;
    const char* space = FindByte(start, end, ' ');
    if (!space) space = end;
    const char* quote = FindByte(start, space, '"');
    return std::string_view(start, static_cast<std::size_t>((quote ? quote : space) - start));
}

}  // namespace ncsa_detail

template <class Cursor>
bool ReadHostField(Cursor& cursor, hit_t& hit) {
    std::string_view host;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(host)) return false;
    StoreText(hit.host, hit.hostLen, host);
    return true;
}

template <class Cursor>
bool SkipField(Cursor& cursor) {
    std::string_view ignored;
    cursor.SkipBlanks();
    return cursor.ReadToken(ignored);
}

template <class Cursor>
bool ReadServerField(Cursor& cursor, hit_t& hit) {
    std::string_view server;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(server)) return false;
    StoreText(hit.server, hit.serverLen, server);
    return true;
}

template <class Cursor>
bool ReadUserBeforeBracket(Cursor& cursor, hit_t& hit) {
    std::string_view user;
    if (!cursor.ReadUntil('[', user)) return false;
    user = ncsa_detail::Unquoted(ncsa_detail::Trimmed(user));
    StoreText(hit.user, hit.userLen, user.empty() ? std::string_view("-") : user);
    return true;
}

template <class Cursor>
bool ReadBracketDate(Cursor& cursor, const parse_context_t& context, hit_t& hit) {
    std::string_view date;
    cursor.SkipBlanks();
    if (!cursor.Expect('[') || !cursor.ReadUntil(']', date)) return false;
    cursor.Expect(']');
    if (!ConvertCachedCommonDate(date, context.timeOffsetHours, hit, context.commonDateCache))
        ConvertCommonDate(date, context.timeOffsetHours, hit, &context.commonDateCache);
    return true;
}

template <class Cursor>
bool ReadRequest(Cursor& cursor, hit_t& hit) {
    std::string_view request;
    cursor.SkipBlanks();
    if (!cursor.ReadQuoted(request)) return false;
    hit.method = MethodFromLetter(request.empty() ? '\0' : request.front());
    StoreText(hit.path, hit.pathLen, ncsa_detail::RequestPath(request));
    return true;
}

template <class Cursor>
bool ReadStatus(Cursor& cursor, hit_t& hit) {
    std::string_view status;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(status)) return false;
    hit.status = static_cast<std::int32_t>(LeadingNumber(status, INT32_MAX));
    return true;
}

template <class Cursor>
bool ReadBytes(Cursor& cursor, hit_t& hit) {
    std::string_view bytes;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(bytes)) return false;
    hit.bytes = LeadingNumber(bytes);
    return true;
}

template <class Cursor>
bool ReadReferrerAndAgent(Cursor& cursor, hit_t& hit) {
    cursor.SkipBlanks();
    if (cursor.AtEnd()) return true;
    std::string_view referrer, agent;
    if (!cursor.ReadQuoted(referrer)) return false;
    cursor.SkipBlanks();
    if (!cursor.ReadQuoted(agent)) return false;
    StoreText(hit.referrer, hit.referrerLen, referrer);
    StoreText(hit.agent, hit.agentLen, agent);
    return true;
}

template <class Cursor>
bool ReadCookieField(Cursor& cursor, const parse_context_t& context, hit_t& hit) {
    cursor.SkipBlanks();
    if (cursor.AtEnd()) return true;
    std::string_view field;
    if (cursor.Peek() == '"') {
        if (!cursor.ReadQuoted(field)) return false;
    } else {
        const char* start = cursor.Position();
        std::string_view token;
        while (cursor.ReadToken(token) && token.back() == ';') cursor.SkipBlanks();
        field = std::string_view(start, static_cast<std::size_t>(cursor.Position() - start));
    }
    ExtractSessionCookie(field, ' ', ' ', context, hit);
    return true;
}
