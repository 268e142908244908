#pragma once

// Names of the analysis engine (liblogvane-engine) seen by the program.
#define LOGVANE_ENGINE_API __attribute__((visibility("default")))
