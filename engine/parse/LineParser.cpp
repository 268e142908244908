#include "engine/parse/LineParser.h"

#include "engine/parse/FieldCursor.h"

void ClearHit(hit_t& hit) {
    hit.hour = hit.dayOfWeek = hit.time = hit.method = 0;
    ClearText(hit.cookie, hit.cookieLen);
    ClearText(hit.host, hit.hostLen);
    hit.hostIsName = 0;
    ClearText(hit.path, hit.pathLen);
    ClearText(hit.referrer, hit.referrerLen);
    ClearText(hit.agent, hit.agentLen);
    ClearText(hit.user, hit.userLen);
    ClearText(hit.server, hit.serverLen);
    hit.bytes = 0;
    hit.status = 0;
    hit.referrerPresent = hit.agentPresent = hit.cookiePresent = 0;
}

line_parser_t GetLineParser(int logType) {
    switch (logType) {
        case 0:
            return ParseCommonLine;
        case 1:
            return ParseCombinedLine;
        case 2:
            return ParseCommaShortLine;
        case 3:
            return ParseCommaLongLine;
        case 4:
            return ParseW3CLine;
        case 7:
            return ParseSparseLine;
        case 8:
            return ParseDominoLine;
        case 10:
            return ParseCombinedCookieEndLine;
        case 11:
            return ParseCombinedCookieBeginLine;
        default:
            return nullptr;
    }
}

line_parser_t GetViewParser(int logType) {
    switch (logType) {
        case 0:
            return ScanCommonLine;
        case 1:
            return ScanCombinedLine;
        case 7:
            return ScanSparseLine;
        case 8:
            return ScanDominoLine;
        case 10:
            return ScanCombinedCookieEndLine;
        case 11:
            return ScanCombinedCookieBeginLine;
        default:
            return nullptr;
    }
}
