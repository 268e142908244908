#pragma once

class CLogvaneDeskCommandLineInfo;

// The module's file name, and where the program looks for it: beside itself (the build tree)
// and in "../lib" (an installed program).
inline constexpr const char* kWindowModuleName = "liblogvane-window.so";

// The module's one entry point: runs the window mode and returns the program's exit code.
extern "C" {
using window_mode_entry_t = int (*)(int* argc, char** argv,
                                    const CLogvaneDeskCommandLineInfo* info);
int LogvaneRunWindowMode(int* argc, char** argv, const CLogvaneDeskCommandLineInfo* info);
}
inline constexpr const char* kWindowModeEntry = "LogvaneRunWindowMode";
