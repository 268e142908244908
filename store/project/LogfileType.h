#pragma once

#include <string>
#include <vector>

#include "store/StoreApi.h"

// Log format of a log file entry or of one file. 2, 3 and 7 are forms the engine detects on
// its own; 5 and 6 are reserved. Only the seven named in the display list have text forms.
enum class logfiletype_t : int {
    CLF = 0,
    ELF = 1,
    COMMASHORT = 2,
    COMMALONG = 3,
    W3C = 4,
    SPARSE = 7,
    DOMINO = 8,
    AUTO = 9,
    ELFEND = 10,
    ELFBEG = 11,
};

// Where the logs of a log file entry come from; text forms "FTP", "LOCAL", "WEB".
enum class import_t : int { FTP = 0, LOCAL = 1, WEB = 2 };

// Kind of a path of a log file entry; text forms "DIR", "FILE", "WILDCARD".
enum class file_t : int { DIR = 0, FILE = 1, WILDCARD = 2 };

// Display names of the log formats, in the order of the program's drop-down lists.
using logtype_t = std::vector<std::string>;

// The seven display names, "Auto Detect" first and "*Domino Log Format" last.
LOGVANE_STORE_API logtype_t GetLogTypes();
// Display name of a format, e.g. "NCSA Common Format"; empty for a value without one.
LOGVANE_STORE_API std::string ConvertLogfileTypeToString(const logfiletype_t& type);
// Format of a display name, compared without regard to case; AUTO when no name matches.
LOGVANE_STORE_API logfiletype_t ConvertStringToLogfileType(const std::string& displayName);

// Short text form used in files ("AUTO", "CLF", "ELF", "W3C", "DOMINO", "ELFEND", "ELFBEG");
// empty for a value without one.
LOGVANE_STORE_API std::string LogfileTypeToShortName(logfiletype_t type);
// Format of a short text form, compared without regard to case and tried in the order AUTO,
// CLF, ELF, W3C, DOMINO, ELFBEG, ELFEND. False, leaving `type` untouched, when none matches.
LOGVANE_STORE_API bool ShortNameToLogfileType(const std::string& text, logfiletype_t& type);

// "FTP", "LOCAL", "WEB"; empty for a value outside the enumeration.
LOGVANE_STORE_API std::string ImportTypeShortName(import_t type);
// "DIR", "FILE", "WILDCARD"; empty for a value outside the enumeration.
LOGVANE_STORE_API std::string PathTypeShortName(file_t type);
