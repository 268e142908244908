#include <cstring>

#include "engine/parse/DateConversion.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/NcsaFields.h"

namespace {

// Fields end at ","; a field after the first begins after its comma and one following space.
// The last field may also end at the line end.
bool NextCommaField(CFieldCursor& cursor, std::string_view& out) {
    const char* start = cursor.Position();
    const void* comma =
        std::memchr(start, ',', static_cast<std::size_t>(cursor.End() - cursor.Position()));
    cursor.SetPosition(comma ? static_cast<const char*>(comma) : cursor.End());
    out = std::string_view(start, static_cast<std::size_t>(cursor.Position() - start));
    if (cursor.Expect(',')) cursor.Expect(' ');
    return true;
}

bool SkipCommaFields(CFieldCursor& cursor, int count) {
    std::string_view ignored;
    for (int i = 0; i < count; ++i) {
        if (cursor.AtEnd() || !NextCommaField(cursor, ignored)) return false;
    }
    return true;
}

// Fields 1 to 11: host, user, date, time, two skipped, server (kept when wanted), two skipped,
// bytes and status.
bool ReadCommaFieldsToStatus(CFieldCursor& cursor, bool keepServer, const parse_context_t& context,
                             hit_t& hit) {
    std::string_view host, date, time, server, bytes, status;
    if (!NextCommaField(cursor, host) || host.empty() || !SkipCommaFields(cursor, 1) ||
        !NextCommaField(cursor, date) || !NextCommaField(cursor, time) ||
        !SkipCommaFields(cursor, 2) || !NextCommaField(cursor, server) ||
        !SkipCommaFields(cursor, 2) || !NextCommaField(cursor, bytes) || cursor.AtEnd() ||
        !NextCommaField(cursor, status))
        return false;
    StoreText(hit.host, hit.hostLen, host);
    if (keepServer) StoreText(hit.server, hit.serverLen, server);
    ConvertCommaDate(date, time, context.europeanDates, context.timeOffsetHours, hit);
    hit.bytes = LeadingNumber(bytes);
    hit.status = static_cast<std::int32_t>(LeadingNumber(status, INT32_MAX));
    hit.method = HIT_METHOD_GET;
    return true;
}

// The path runs from the next "/" to the next ",".
bool ReadCommaPath(CFieldCursor& cursor, hit_t& hit) {
    const void* slash = std::memchr(cursor.Position(), '/',
                                    static_cast<std::size_t>(cursor.End() - cursor.Position()));
    cursor.SetPosition(slash ? static_cast<const char*>(slash) : cursor.End());
    std::string_view path;
    if (cursor.AtEnd() || !NextCommaField(cursor, path)) return false;
    StoreText(hit.path, hit.pathLen, path);
    return true;
}

}  // namespace

std::size_t ParseCommaShortLine(const char* line, std::size_t length, hit_t& hit,
                                const parse_context_t& context) {
    ClearHit(hit);
    CFieldCursor cursor(line, length);
    if (!ReadCommaFieldsToStatus(cursor, true, context, hit) || !ReadCommaPath(cursor, hit))
        return 0;
    return cursor.Finish(context);
}

// As the short form without the server, and with user agent and referrer after the path.
std::size_t ParseCommaLongLine(const char* line, std::size_t length, hit_t& hit,
                               const parse_context_t& context) {
    ClearHit(hit);
    CFieldCursor cursor(line, length);
    std::string_view agent, referrer;
    if (!ReadCommaFieldsToStatus(cursor, false, context, hit) || !ReadCommaPath(cursor, hit) ||
        !NextCommaField(cursor, agent) || !NextCommaField(cursor, referrer))
        return 0;
    StoreText(hit.agent, hit.agentLen, agent);
    StoreText(hit.referrer, hit.referrerLen, referrer);
    return cursor.Finish(context);
}
