#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Size of every text field of a hit record: at most 249 characters and a terminating NUL.
inline constexpr int kHitTextSize = 250;
inline constexpr int kHitTextMax = kHitTextSize - 1;

// Request method as the first letter of the request decides it.
enum hit_method_t : std::int32_t {
    HIT_METHOD_GET = 0,
    HIT_METHOD_HEAD = 1,
    HIT_METHOD_POST = 2,  // also PUT, PATCH, PROPFIND: any method starting with "P"
    HIT_METHOD_OTHER = 3,
};

// One parsed hit. A parser fills every field up to and including `status`; the scanner sets
// `hostIsName` and the three presence flags before the record reaches hit processing. Every
// text field is NUL-terminated and its length (characters stored, never above 249) follows it.
struct hit_t {
    std::int32_t hour;       // 0-23, after the time offset
    std::int32_t dayOfWeek;  // 0 is Sunday
    std::int32_t time;       // seconds since 1970 plus the time offset; accepted only when > 0
    std::int32_t method;     // hit_method_t

    char cookie[kHitTextSize];  // value of the project's session cookie, empty when none
    std::int32_t cookieLen;

    char host[kHitTextSize];  // client address or name as logged
    std::int32_t hostLen;
    std::int32_t hostIsName;  // 1 when host is not a dotted IPv4 address

    char path[kHitTextSize];  // requested path; W3C appends "?" and the query
    std::int32_t pathLen;

    char referrer[kHitTextSize];  // "-" when the log says so
    std::int32_t referrerLen;

    char agent[kHitTextSize];
    std::int32_t agentLen;

    char user[kHitTextSize];  // "-" when none
    std::int32_t userLen;

    char server[kHitTextSize];  // server address or host name where the format has one
    std::int32_t serverLen;

    // 64-bit so that a single response above 2 GB (disk images, backups) is not wrapped negative.
    std::int64_t bytes;
    std::int32_t status;

    std::int32_t referrerPresent;  // the file's format carries referrers
    std::int32_t agentPresent;     // the file's format carries user agents
    std::int32_t cookiePresent;    // cookieLen != 0

    std::string_view Cookie() const { return {cookie, static_cast<std::size_t>(cookieLen)}; }
    std::string_view Host() const { return {host, static_cast<std::size_t>(hostLen)}; }
    std::string_view Path() const { return {path, static_cast<std::size_t>(pathLen)}; }
    std::string_view Referrer() const { return {referrer, static_cast<std::size_t>(referrerLen)}; }
    std::string_view Agent() const { return {agent, static_cast<std::size_t>(agentLen)}; }
    std::string_view User() const { return {user, static_cast<std::size_t>(userLen)}; }
    std::string_view Server() const { return {server, static_cast<std::size_t>(serverLen)}; }
};

// A field added carelessly to the record multiplies through every 250-slot batch.
static_assert(sizeof(hit_t) == 1840, "hit_t layout changed");
static_assert(offsetof(hit_t, cookie) == 16 && offsetof(hit_t, bytes) == 1816);

// Number of slots of one hit batch.
inline constexpr int kHitBatchSize = 250;
