#pragma once

// Names of the data library (liblogvane-store) seen by the engine and the program.
#define LOGVANE_STORE_API __attribute__((visibility("default")))
