#pragma once

#include <cstdint>
#include <string>

// The first time stamp of a log, from its first 1,024 bytes: the W3C "#Date: " directive, or
// else the first bracketed common-format date. Seconds since 1970; 0 when the file cannot be
// read or neither date is found or readable.
std::int64_t GetFirstTimestamp(const std::string& path);

// The same over bytes already read.
std::int64_t FirstTimestampOf(const char* head, std::size_t length);
