#include "engine/parse/NcsaFields.h"

#include "engine/parse/CookieField.h"
#include "engine/parse/DateConversion.h"

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

// The path inside a request: from the first "/" or "\\" after the method to the next space or
// double quote. A request without one (such as "-") has an empty path.
std::string_view RequestPath(std::string_view request) {
    std::size_t i = request.find(' ');
    if (i == std::string_view::npos) return {};
    while (i < request.size() && request[i] != '/' && request[i] != '\\') ++i;
    std::size_t start = i;
    std::size_t end = request.find(' ', start);
    if (end == std::string_view::npos) end = request.size();
    std::size_t quote = request.substr(0, end).find('"', start);
    return request.substr(start, (quote == std::string_view::npos ? end : quote) - start);
}

}  // namespace

bool ReadHostField(CFieldCursor& cursor, hit_t& hit) {
    std::string_view host;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(host)) return false;
    StoreText(hit.host, hit.hostLen, host);
    return true;
}

bool SkipField(CFieldCursor& cursor) {
    std::string_view ignored;
    cursor.SkipBlanks();
    return cursor.ReadToken(ignored);
}

bool ReadServerField(CFieldCursor& cursor, hit_t& hit) {
    std::string_view server;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(server)) return false;
    StoreText(hit.server, hit.serverLen, server);
    return true;
}

bool ReadUserBeforeBracket(CFieldCursor& cursor, hit_t& hit) {
    std::string_view user;
    if (!cursor.ReadUntil('[', user)) return false;
    user = Unquoted(Trimmed(user));
    StoreText(hit.user, hit.userLen, user.empty() ? std::string_view("-") : user);
    return true;
}

bool ReadBracketDate(CFieldCursor& cursor, const parse_context_t& context, hit_t& hit) {
    std::string_view date;
    cursor.SkipBlanks();
    if (!cursor.Expect('[') || !cursor.ReadUntil(']', date)) return false;
    cursor.Expect(']');
    ConvertCommonDate(date, context.timeOffsetHours, hit);
    return true;
}

bool ReadRequest(CFieldCursor& cursor, hit_t& hit) {
    std::string_view request;
    cursor.SkipBlanks();
    if (!cursor.ReadQuoted(request)) return false;
    hit.method = MethodFromLetter(request.empty() ? '\0' : request.front());
    StoreText(hit.path, hit.pathLen, RequestPath(request));
    return true;
}

bool ReadStatus(CFieldCursor& cursor, hit_t& hit) {
    std::string_view status;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(status)) return false;
    hit.status = static_cast<std::int32_t>(LeadingNumber(status, INT32_MAX));
    return true;
}

bool ReadBytes(CFieldCursor& cursor, hit_t& hit) {
    std::string_view bytes;
    cursor.SkipBlanks();
    if (!cursor.ReadToken(bytes)) return false;
    hit.bytes = LeadingNumber(bytes);
    return true;
}

bool ReadReferrerAndAgent(CFieldCursor& cursor, hit_t& hit) {
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

bool ReadCookieField(CFieldCursor& cursor, const parse_context_t& context, hit_t& hit) {
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
