#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/parse/DateConversion.h"

// Where the session cookie stands in a line of the current file.
enum cookie_mode_t : int {
    COOKIE_NONE = 0,
    COOKIE_BEGIN = 1,  // combined format, cookies before the client host
    COOKIE_END = 2,    // combined format, cookies after the user agent
    COOKIE_W3C = 3,    // the "cs(Cookie)" column
};

// Roles of the recognised W3C field names.
enum w3c_role_t : int {
    W3C_DATE,
    W3C_TIME,
    W3C_CLIENT,
    W3C_USERNAME,
    W3C_METHOD,
    W3C_URI_STEM,
    W3C_URI_QUERY,
    W3C_STATUS,
    W3C_BYTES,
    W3C_AGENT,
    W3C_REFERER,
    W3C_COOKIE,
    W3C_SERVER_IP,
    W3C_HOST,
    W3C_ROLE_COUNT
};

// Columns beyond this make every line of the file be rejected.
inline constexpr int kW3CMaxColumns = 100;

// The column map of the last "#Fields:" line: the 0-based column of each role, -1 when absent.
struct w3c_columns_t {
    std::int16_t column[W3C_ROLE_COUNT];
    std::int8_t roleOf[kW3CMaxColumns];  // role of each column, -1 for none
    int lastColumn;                      // column count - 1; -1 before any "#Fields:"
    int lastMappedColumn;                // highest column that has a role; -1 when none
};

// Per-file state the parsers read, set by the scanner before the first line of a file.
struct parse_context_t {
    const char* cookieName = nullptr;  // session cookie name, not NUL-terminated
    int cookieNameLen = 0;
    cookie_mode_t cookieMode = COOKIE_NONE;
    int timeOffsetHours = 0;
    bool europeanDates = false;
    bool w3cServerFromHost = false;  // take the W3C server from "cs-host" before "s-ip"
    w3c_columns_t w3c{};
    char headerDate[100] = {};  // the W3C "#Date: " text, for lines without a date column
    int headerDateLen = 0;
    // Bytes at the start of the current line that the caller has already found to be field
    // bytes (the scanner learns it while looking for the line end); 0 when unknown.
    std::size_t checkedLength = 0;
    mutable common_date_cache_t commonDateCache;
    mutable w3c_date_cache_t w3cDateCache;
};
