#pragma once

#include <QString>
#include <string>

// Texts from reports, logs and the engine are bytes exactly as logged. They are shown as UTF-8
// when they are valid UTF-8 and as Windows-1252 otherwise, so old logs keep their accents.
QString FromReportBytes(const std::string& bytes);
QString FromReportBytes(const char* bytes);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// A path typed or chosen by the user as the bytes the file system expects.
std::string ToLocalPath(const QString& path);
QString FromLocalPath(const std::string& path);
