#pragma once

#include <string>

// The folder of the shipped data files: "xml" beside the program, else the installed
// "<prefix>/share/logvane/xml"; empty when neither exists.
std::string GetShippedDataDir();

// Creates the settings folder when missing and copies every shipped data file whose name does
// not begin with "." into it, replacing the copy there (a failing copy is skipped). The
// user's "-custom.xml" files are never shipped, so they survive; "settings.xml" and
// "globalfilters.xml", which the program saves the user's choices into, are only copied when
// missing.
void RefreshSettingsFolder(const std::string& shippedDir, const std::string& settingsDir);
// The same from the program's shipped folder into GetSettingsDir().
void RefreshSettingsFolder();
