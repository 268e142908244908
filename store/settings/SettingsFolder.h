#pragma once

#include <string>

#include "store/StoreApi.h"

// Where the per-user data files live and where a data file name is resolved.

// "<config>/Zentrik Labs/Logvane4/Settings", where <config> is $XDG_CONFIG_HOME when it is set
// to an absolute path, else "$HOME/.config". The folder is not created here.
LOGVANE_STORE_API std::string GetSettingsDir();
// The path of name + "-custom.xml" in the settings folder when that file exists (a user's
// copy wins), otherwise the path of name + ".xml" there, whether or not it exists.
LOGVANE_STORE_API std::string GetSettingsFile(const std::string& name);
// The user's documents folder: XDG_DOCUMENTS_DIR of "<config>/user-dirs.dirs" with "$HOME"
// expanded, else "$HOME/Documents".
LOGVANE_STORE_API std::string GetHomeDir();
// The folder of the running program (from /proc/self/exe), without a trailing '/'; empty when
// it cannot be read.
LOGVANE_STORE_API std::string GetExecutableDirectory();
