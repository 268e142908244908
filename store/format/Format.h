#pragma once

#include <string>

#include "store/StoreApi.h"

// Number, size, duration and date texts for reports, HTML entity escaping of report texts and
// HTTP status explanations. Stateless; every member is static. Texts are Windows-1252 bytes.
class LOGVANE_STORE_API CFormat {
public:
    CFormat() = delete;

    // Decimal text without grouping, e.g. "-1234".
    static std::string MakeNumber(long long n);
    // "%0.2f" of part * 100 / whole; "0.00" when whole is 0.
    static std::string MakePercentage(long long part, long long whole);
    // "1.50 megabytes", "1023.00 bytes": the largest of gigabytes, megabytes, kilobytes (powers
    // of 1024) of which there is at least one whole unit, else bytes (negative sizes included).
    static std::string GetDriveSizeStr(long long bytes);
    // As GetDriveSizeStr with the units "gb", "mb", "kb" and "bytes".
    static std::string GetAbbrevDriveSizeStr(long long bytes);
    // "1 day, 01 hour, 01 minute, 01 second"; leading zero parts are left out.
    static std::string FormatHHMMSS(long seconds);
    // At most the two largest parts: "01 hr, 02 mins", "59 secs".
    static std::string FormatHHMMSSAbbrev(long seconds);
    // text + " " + singular when n is 1, text + " " + plural otherwise.
    static std::string PluralFormatHelper(int n, const std::string& text,
                                          const std::string& singular, const std::string& plural);
    // `time` (seconds since 1970) in UTC through the strftime-style `format`; empty when the
    // format is null or the result does not fit 1,000 bytes.
    static std::string FormatCTime(long time, const char* format);
    // Explanation of an HTTP status code; "Unrecognized error code" for codes not in the table.
    static std::string GetErrorExplanation(int status);
    // "No Referrer" for exactly "-", otherwise the referrer unchanged.
    static std::string ExplainReferrerDash(const std::string& referrer);
    // Replaces '"', '&', '<', '>', 0xA8 and the Latin-1 letters 0xC0-0xFF by their named
    // entities (0xC6, 0xD0, 0xD7, 0xD8, 0xDE, 0xDF, 0xE6, 0xF0, 0xF7, 0xF8, 0xFE excepted).
    // Null gives an empty text.
    static std::string htmlescape(const char* text);
    // Reverses htmlescape exactly; unknown entities and a lone '&' stay as they are.
    static std::string unhtmlescape(const char* text);
    // The text without the characters " # % ' * / : ; ? and backslash.
    static std::string MakeValidFilename(const std::string& name);
};
