#pragma once

#include <string>

#include "store/StoreApi.h"

// URL and path helpers shared by the engine, the data library and the program. Both '/' and
// '\\' are taken as separators on input; the local separator is '/'.

// base and file joined with `separator`: a separator is put between them unless file starts
// with one, doubled separators are collapsed and every separator becomes `separator`.
LOGVANE_STORE_API std::string UrlAddFile(const std::string& base, const std::string& file,
                                         char separator);
LOGVANE_STORE_API std::string UrlAddLocalFile(const std::string& base, const std::string& file);
LOGVANE_STORE_API std::string UrlAddRemoteFile(const std::string& base, const std::string& file);

// Every '\\' and '/' replaced by `separator`.
LOGVANE_STORE_API std::string UrlMakeFile(const std::string& path, char separator);
LOGVANE_STORE_API std::string UrlMakeLocalFile(const std::string& path);
LOGVANE_STORE_API std::string UrlMakeRemoteFile(const std::string& path);

// Up to and including the last '/' or '\\'; empty when there is none.
LOGVANE_STORE_API std::string UrlBeforeLastSlash(const std::string& path);
// After the last '/' or '\\'; empty when there is none.
LOGVANE_STORE_API std::string UrlAfterLastSlash(const std::string& path);
// Without one leading '/' or '\\'.
LOGVANE_STORE_API std::string UrlRemoveLeadingSlash(const std::string& path);

// A URL without any '.' is taken for a folder and gets `defaultPage` appended by UrlAddFile;
// any other URL is returned unchanged. A null defaultPage counts as empty.
LOGVANE_STORE_API std::string UrlAppendDefault(const std::string& url, const char* defaultPage,
                                               char separator);
LOGVANE_STORE_API std::string UrlLocalAppendDefault(const std::string& url,
                                                    const char* defaultPage);
LOGVANE_STORE_API std::string UrlRemoteAppendDefault(const std::string& url,
                                                     const char* defaultPage);

// Every byte but ASCII letters and digits as "%XX" (upper-case hexadecimal).
LOGVANE_STORE_API std::string UrlEncode(const std::string& text);
// '+' becomes a blank and "%XX" its byte; "%" with two non-hexadecimal characters is dropped
// with them; a "%" with fewer than two characters after it is dropped.
LOGVANE_STORE_API std::string UrlDecode(const std::string& text);
// Decodes `count` bytes of src into dst as above and stores the decoded length in *length
// (when length is not null). dst must hold count + 1 bytes; it is always zero-terminated and may
// be src itself (decoding never lengthens). Allocates nothing. A negative count decodes nothing.
LOGVANE_STORE_API void UrlDecode(char* dst, int* length, const char* src, int count);

// '0'-'9', 'A'-'F' for 0-15; 'X' for any other value.
LOGVANE_STORE_API char GetHexChar(int nibble);
// Every blank replaced by '-'.
LOGVANE_STORE_API std::string RemoveSpacesInFilename(const std::string& name);
// 1 when the first `length` bytes of text are a dotted IPv4 address (7-15 characters, digits
// and exactly three dots, every group at most 255, an empty group reading 0), else 0.
LOGVANE_STORE_API int is_ip_addr(const char* text, unsigned length);
// Trace hook; does nothing.
LOGVANE_STORE_API void DebugOutput(const char* text);

// Free forms of the CFormat members of the same names, with the same results.
LOGVANE_STORE_API std::string FormatHHMMSS(long seconds);
LOGVANE_STORE_API std::string FormatHHMMSSAbbrev(long seconds);
LOGVANE_STORE_API std::string PluralFormatHelper(int n, const std::string& text,
                                                 const std::string& singular,
                                                 const std::string& plural);
