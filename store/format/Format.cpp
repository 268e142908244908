#include "store/format/Format.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "store/format/Url.h"

namespace {

// Named entities of htmlescape, indexed by byte; null where the byte is copied unchanged.
struct EntityTable {
    std::array<const char*, 256> names{};

    EntityTable() {
        names['"'] = "quot";
        names['&'] = "amp";
        names['<'] = "lt";
        names['>'] = "gt";
        names[0xA8] = "uml";
        // Latin-1 letters from 0xC0; the null slots (AElig, ETH, times, Oslash, THORN, szlig,
        // aelig, eth, divide, oslash, thorn) are left as they are.
        static const char* const latin[64] = {
            "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  nullptr, "Ccedil",
            "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc", "Iuml",
            nullptr,  "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",  nullptr,
            nullptr,  "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", nullptr, nullptr,
            "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  nullptr, "ccedil",
            "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc", "iuml",
            nullptr,  "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",  nullptr,
            nullptr,  "ugrave", "uacute", "ucirc",  "uuml",   "yacute", nullptr, "yuml",
        };
        for (int i = 0; i < 64; ++i) names[0xC0 + i] = latin[i];
    }

    // The byte of an entity name; -1 when the name is not one of the table.
    int Lookup(std::string_view name) const {
        for (int b = 1; b < 256; ++b)
            if (names[b] && name == names[b]) return b;
        return -1;
    }
};

const EntityTable& Entities() {
    static const EntityTable table;
    return table;
}

std::string SizeText(long long bytes, const char* gb, const char* mb, const char* kb) {
    const long long giga = 1LL << 30, mega = 1LL << 20, kilo = 1024;
    char buf[64];
    if (bytes / giga >= 1)
        std::snprintf(buf, sizeof buf, "%.2f %s", static_cast<double>(bytes) / giga, gb);
    else if (bytes / mega >= 1)
        std::snprintf(buf, sizeof buf, "%.2f %s", static_cast<double>(bytes) / mega, mb);
    else if (bytes / kilo >= 1)
        std::snprintf(buf, sizeof buf, "%.2f %s", static_cast<double>(bytes) / kilo, kb);
    else
        std::snprintf(buf, sizeof buf, "%.2f bytes", static_cast<double>(bytes));
    return buf;
}

// One part of a duration: "1 day", "01 hour", "00 minutes". Days are not padded.
std::string DurationPart(long long value, bool pad, const char* singular, const char* plural) {
    char buf[32];
    std::snprintf(buf, sizeof buf, pad ? "%02lld" : "%lld", value);
    return PluralFormatHelper(value == 1 ? 1 : 0, buf, singular, plural);
}

struct Duration {
    long long days, hours, minutes, seconds;
    bool negative;
};

Duration SplitDuration(long seconds) {
    // A negative span (a clock set back) keeps its sign in front of its magnitude.
    long long s = seconds;
    bool negative = s < 0;
    if (negative) s = -s;
    return {s / 86400, s / 3600 % 24, s / 60 % 60, s % 60, negative};
}

std::string JoinParts(bool negative, std::initializer_list<std::string> parts) {
    std::string out = negative ? "-" : "";
    bool first = true;
    for (const std::string& p : parts) {
        if (!first) out += ", ";
        out += p;
        first = false;
    }
    return out;
}

}  // namespace

std::string CFormat::MakeNumber(long long n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", n);
    return buf;
}

std::string CFormat::MakePercentage(long long part, long long whole) {
    if (whole == 0) return "0.00";
    long long product;
    double value;
    // The product is taken in integers while it fits, so results match integer arithmetic; a
    // product that would overflow falls back to floating point instead of wrapping.
    if (!__builtin_mul_overflow(part, 100LL, &product))
        value = static_cast<double>(product) / static_cast<double>(whole);
    else
        value = static_cast<double>(static_cast<long double>(part) * 100 / whole);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%0.2f", value);
    return buf;
}

std::string CFormat::GetDriveSizeStr(long long bytes) {
    return SizeText(bytes, "gigabytes", "megabytes", "kilobytes");
}

std::string CFormat::GetAbbrevDriveSizeStr(long long bytes) {
    return SizeText(bytes, "gb", "mb", "kb");
}

std::string CFormat::FormatHHMMSS(long seconds) {
    const Duration d = SplitDuration(seconds);
    const std::string s = DurationPart(d.seconds, true, "second", "seconds");
    if (d.days >= 1)
        return JoinParts(d.negative, {DurationPart(d.days, false, "day", "days"),
                                      DurationPart(d.hours, true, "hour", "hours"),
                                      DurationPart(d.minutes, true, "minute", "minutes"), s});
    if (d.hours >= 1)
        return JoinParts(d.negative, {DurationPart(d.hours, true, "hour", "hours"),
                                      DurationPart(d.minutes, true, "minute", "minutes"), s});
    if (d.minutes >= 1)
        return JoinParts(d.negative, {DurationPart(d.minutes, true, "minute", "minutes"), s});
    return JoinParts(d.negative, {s});
}

std::string CFormat::FormatHHMMSSAbbrev(long seconds) {
    const Duration d = SplitDuration(seconds);
    if (d.days >= 1)
        return JoinParts(d.negative, {DurationPart(d.days, false, "day", "days"),
                                      DurationPart(d.hours, true, "hr", "hrs")});
    if (d.hours >= 1)
        return JoinParts(d.negative, {DurationPart(d.hours, true, "hr", "hrs"),
                                      DurationPart(d.minutes, true, "min", "mins")});
    if (d.minutes >= 1)
        return JoinParts(d.negative, {DurationPart(d.minutes, true, "min", "mins"),
                                      DurationPart(d.seconds, true, "sec", "secs")});
    return JoinParts(d.negative, {DurationPart(d.seconds, true, "sec", "secs")});
}

std::string CFormat::PluralFormatHelper(int n, const std::string& text, const std::string& singular,
                                        const std::string& plural) {
    return text + " " + (n == 1 ? singular : plural);
}

std::string CFormat::FormatCTime(long time, const char* format) {
    if (!format || !*format) return "";
    const time_t t = time;
    struct tm parts {};
    if (!gmtime_r(&t, &parts)) return "";
    char buf[1000];
    const size_t n = std::strftime(buf, sizeof buf, format, &parts);
    return std::string(buf, n);
}

std::string CFormat::GetErrorExplanation(int status) {
    switch (status) {
        case 0:
            return "Incomplete/Undefined transmission";
        case 201:
            return "Created";
        case 202:
            return "Accepted";
        case 203:
            return "Partial Information";
        case 204:
            return "Page does not contain any information";
        case 206:
            return "Only partial content delivered (requested file not completely downloaded)";
        case 300:
            return "Page redirected";
        case 301:
            return "Permanent URL relocation";
        case 302:
            return "Temporary URL relocation";
        case 303:
            return "Temporary relocation method and URL";
        case 304:
            return "Document not modified (cached by client)";
        case 400:
            return "Bad request (syntax)";
        case 401:
            return "Unauthorized access (requires authentication)";
        case 402:
            return "Access forbidden (payment required)";
        case 403:
            return "Forbidden";
        case 404:
            return "URL not found";
        case 405:
            return "Method not Allowed";
        case 406:
            return "The request was made at a time when the server could not process the "
                   "request. (uncommon)";
        case 407:
            return "The request was made to a proxy server, and the proxy server requires a "
                   "password for access. (uncommon)";
        case 408:
            return "Request Timeout";
        case 409:
            return "The request matches multiple possible files, and could not be fulfilled. "
                   "(uncommon)";
        case 410:
            return "Gone - The object requested is not available, but may be available on a "
                   "temporary basis. (uncommon)";
        case 411:
            return "Length not provided by server (uncommon)";
        case 412:
            return "Request precondition failed (uncommon)";
        case 413:
            return "Request entity too large to be handled by server";
        case 414:
            return "Request-URI too large. If you see this often, it can indicate someone is "
                   "trying to hack your site.";
        case 415:
            return "Unsupported media type";
        case 500:
            return "Internal server error";
        case 501:
            return "Server functionality not implemented";
        case 502:
            return "Bad gateway";
        case 503:
            return "Service unavailable";
        case 504:
            return "The server, while acting as a gateway or proxy, timed out while waiting for "
                   "data from the upstream server.";
        case 505:
            return "Client HTTP version not supported by server";
        default:
            return "Unrecognized error code";
    }
}

std::string CFormat::ExplainReferrerDash(const std::string& referrer) {
    return referrer == "-" ? "No Referrer" : referrer;
}

std::string CFormat::htmlescape(const char* text) {
    std::string out;
    if (!text) return out;
    const EntityTable& table = Entities();
    for (const char* p = text; *p; ++p) {
        const char* name = table.names[static_cast<unsigned char>(*p)];
        if (name) {
            out += '&';
            out += name;
            out += ';';
        } else {
            out += *p;
        }
    }
    return out;
}

std::string CFormat::unhtmlescape(const char* text) {
    std::string out;
    if (!text) return out;
    const EntityTable& table = Entities();
    const char* p = text;
    while (const char* amp = std::strchr(p, '&')) {
        out.append(p, amp);
        const char* semi = std::strchr(amp + 1, ';');
        if (!semi) {
            p = amp;
            break;
        }
        const std::string_view name(amp + 1, static_cast<size_t>(semi - amp - 1));
        const int byte = table.Lookup(name);
        if (byte > 0)
            out += static_cast<char>(byte);
        else
            out.append(amp, semi + 1);
        p = semi + 1;
    }
    out += p;
    return out;
}

std::string CFormat::MakeValidFilename(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name)
        if (!std::strchr("\"#%'*/:;?\\", c) || c == '\0') out += c;
    return out;
}
