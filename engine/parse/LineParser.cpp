#include "engine/parse/LineParser.h"

#include "engine/parse/FieldCursor.h"

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
