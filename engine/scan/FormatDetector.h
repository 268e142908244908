#pragma once

#include <cstddef>

// The number of bytes at the start of a file that detection and the per-file set-up look at.
inline constexpr std::size_t kDetectionWindow = 10000;

// Decides the log format (a logfiletype_t value: 0, 1, 2, 3, 4, 7, 10 or 11) from the first
// bytes of a file (at most kDetectionWindow are read). Never fails: text without any clue
// gives the sparse-field form 7, as does an empty window.
int DetectLogFormat(const char* window, std::size_t length);
