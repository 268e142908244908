#pragma once

#include <cstdio>
#include <string>

// The lines printed before a batch run: "Logvane 4", the rights and support notices and a
// blank line.
const char* GetBatchBanner();

// Runs one analysis of `projectPath` into `reportPath` without a window: prints the banner,
// the progress as it goes and then "\r\nSuccess!\r\n" or "Analysis failed:\r\n" with one
// "Error: %s\r\n" line per error. Returns true when the analysis succeeded.
bool RunBatchMode(const std::string& projectPath, const std::string& reportPath,
                  FILE* out = stdout);
