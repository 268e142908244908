#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "store/StoreApi.h"

class CFtpConnection;

// 1 when `path` exists and is not a folder, else 0 (also for a null path).
LOGVANE_STORE_API int FileExists(const char* path);
// 1 when `path` names an existing folder that can be entered, else 0. The process's current
// folder is not touched.
LOGVANE_STORE_API int DirExists(const char* path);
// Size of the file in bytes, 0 when it cannot be opened or is not a regular file. The full
// 64-bit size is returned: logs beyond 4 GB are common.
LOGVANE_STORE_API std::uint64_t GetFileSizeName(const char* path);

// Creates the folder and every missing parent. 1 when the folder itself was created; 0 when a
// parent could not be created, the folder already exists or creating it failed. Trailing '/'
// are ignored; only '/' separates (a backslash is part of a Linux file name).
LOGVANE_STORE_API int RecursiveCreateDir(const std::string& path);
// RecursiveCreateDir over an FTP session, with FTPDirExists as the test for parents; '/' and
// backslash both separate.
LOGVANE_STORE_API int RecursiveFTPCreateDir(CFtpConnection* connection, const std::string& path);
// 1 when the session can change into `path`; the session's current folder is restored. 0 when
// it cannot, or the connection is null.
LOGVANE_STORE_API int FTPDirExists(CFtpConnection* connection, const std::string& path);

// The instant of a local broken-down time as seconds since 1970 (mktime; tm_isdst of the
// argument is ignored and taken from the time zone rules). -1 when it cannot be represented.
LOGVANE_STORE_API long ConvertCTimeToTime(const struct tm& localTime);
// The same instant passed through the local broken-down time (localtime, then mktime with the
// daylight-saving flag kept), which gives the time back unchanged; -1 stays -1.
LOGVANE_STORE_API long ConvertCTimeToTime(time_t time);
