#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/parse/CookieField.h"
#include "engine/parse/DateConversion.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// One column value. A value that begins with a double quote runs to its closing quote (a
// doubled quote stands for one) and is given without the quotes, as some servers quote values
// that contain spaces.
bool ReadW3CValue(CFieldCursor& cursor, std::string_view& out) {
    const char* start = cursor.Position();
    const char* end = cursor.End();
    const char* p = start;
    if (p != end && *p == '"') {
        ++p;
        while (p != end && !(*p == '"' && (p + 1 == end || p[1] != '"'))) p += (*p == '"') ? 2 : 1;
        if (p == end) return false;
        out = std::string_view(start + 1, static_cast<std::size_t>(p - start - 1));
        cursor.SetPosition(p + 1);
        return cursor.AtEnd() || IsBlank(cursor.Peek());
    }
    p = FindBlank(p, end);
    out = std::string_view(start, static_cast<std::size_t>(p - start));
    cursor.SetPosition(p);
    return true;
}

// Reads the columns up to the last mapped one; single spaces or tabs separate them.
bool ReadW3CColumns(CFieldCursor& cursor, const w3c_columns_t& map,
                    std::string_view (&values)[W3C_ROLE_COUNT]) {
    for (int column = 0; column <= map.lastMappedColumn; ++column) {
        if (column > 0) {
            if (cursor.AtEnd()) return false;
            cursor.SetPosition(cursor.Position() + 1);
        }
        std::string_view value;
        if (!ReadW3CValue(cursor, value)) return false;
        if (map.roleOf[column] >= 0) values[map.roleOf[column]] = value;
    }
    return true;
}

bool HasRequiredColumns(const w3c_columns_t& map) {
    return map.column[W3C_TIME] >= 0 && map.column[W3C_CLIENT] >= 0 &&
           map.column[W3C_URI_STEM] >= 0 && map.column[W3C_STATUS] >= 0 &&
           map.lastColumn < kW3CMaxColumns;
}

void StorePathAndQuery(std::string_view stem, std::string_view query, bool hasQuery, hit_t& hit) {
    StoreText(hit.path, hit.pathLen, stem);
    if (!hasQuery || query == "-" || stem.size() + 1 + query.size() > std::size_t(kHitTextMax))
        return;
    hit.path[hit.pathLen] = '?';
    std::memcpy(hit.path + hit.pathLen + 1, query.data(), query.size());
    hit.pathLen += static_cast<std::int32_t>(1 + query.size());
    hit.path[hit.pathLen] = '\0';
}

// W3C logs write the spaces of a user agent as "+".
void StoreAgent(std::string_view agent, hit_t& hit) {
    StoreText(hit.agent, hit.agentLen, agent);
    std::int32_t i = 0;
#if defined(__SSE2__)
    const __m128i plus = _mm_set1_epi8('+');
    const __m128i space = _mm_set1_epi8(' ');
    for (; i + 16 <= hit.agentLen; i += 16) {
        __m128i* at = reinterpret_cast<__m128i*>(hit.agent + i);
        __m128i bytes = _mm_loadu_si128(at);
        __m128i isPlus = _mm_cmpeq_epi8(bytes, plus);
        _mm_storeu_si128(
            at, _mm_or_si128(_mm_andnot_si128(isPlus, bytes), _mm_and_si128(isPlus, space)));
    }
#endif
    for (; i < hit.agentLen; ++i) {
        if (hit.agent[i] == '+') hit.agent[i] = ' ';
    }
}

void StoreServer(const std::string_view (&values)[W3C_ROLE_COUNT], const parse_context_t& context,
                 hit_t& hit) {
    const w3c_columns_t& map = context.w3c;
    if (context.w3cServerFromHost && map.column[W3C_HOST] >= 0)
        StoreText(hit.server, hit.serverLen, values[W3C_HOST]);
    else if (map.column[W3C_SERVER_IP] >= 0)
        StoreText(hit.server, hit.serverLen, values[W3C_SERVER_IP]);
    else
        StoreText(hit.server, hit.serverLen, "-");
}

}  // namespace

std::size_t ParseW3CLine(const char* line, std::size_t length, hit_t& hit,
                         const parse_context_t& context) {
    ClearHit(hit);
    const w3c_columns_t& map = context.w3c;
    if (!HasRequiredColumns(map)) return 0;
    CFieldCursor cursor(line, length);
    std::string_view values[W3C_ROLE_COUNT];
    if (!ReadW3CColumns(cursor, map, values)) return 0;

    std::string_view date =
        map.column[W3C_DATE] >= 0
            ? values[W3C_DATE]
            : std::string_view(context.headerDate, static_cast<std::size_t>(context.headerDateLen));
    ConvertW3CDate(date, values[W3C_TIME], context.timeOffsetHours, hit, &context.w3cDateCache);
    StoreText(hit.host, hit.hostLen, values[W3C_CLIENT]);
    StoreText(hit.user, hit.userLen,
              map.column[W3C_USERNAME] >= 0 ? values[W3C_USERNAME] : std::string_view("-"));
    StoreServer(values, context, hit);
    hit.method = map.column[W3C_METHOD] >= 0
                     ? MethodFromLetter(values[W3C_METHOD].empty() ? '\0' : values[W3C_METHOD][0])
                     : HIT_METHOD_GET;
    StorePathAndQuery(values[W3C_URI_STEM], values[W3C_URI_QUERY], map.column[W3C_URI_QUERY] >= 0,
                      hit);
    hit.status = static_cast<std::int32_t>(LeadingNumber(values[W3C_STATUS], INT32_MAX));
    hit.bytes = LeadingNumber(values[W3C_BYTES]);
    StoreAgent(values[W3C_AGENT], hit);
    StoreText(hit.referrer, hit.referrerLen, values[W3C_REFERER]);
    if (context.cookieMode == COOKIE_W3C)
        ExtractSessionCookie(values[W3C_COOKIE], '+', ' ', context, hit);
    return cursor.Finish(context);
}
