// The window mode as a module the program loads only when it opens a window: the batch mode
// then runs without mapping Qt, which takes time and memory at every start.

#include "desk/module/WindowModule.h"

#include "desk/window/LogvaneDeskApp.h"

extern "C" __attribute__((visibility("default"))) int LogvaneRunWindowMode(
    int* argc, char** argv, const CLogvaneDeskCommandLineInfo* info) {
    return CLogvaneDeskApp::RunWindowMode(*argc, argv, *info);
}
