#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <string>

// The program's ways out to the desktop: addresses and help pages open in the user's browser.
// Tests replace the opener to see what would have been opened.
using url_opener_t = std::function<void(const QUrl&)>;

// Installs `opener` (an empty one restores QDesktopServices::openUrl); returns the old one.
url_opener_t SetUrlOpener(url_opener_t opener);
void OpenUrl(const QUrl& url);

// The file of help topic `topic` ("HelpMenu/Topics.htm"): help/html beside the program, else
// the installed <prefix>/share/logvane/help/html; empty when the page exists in neither.
QString HelpTopicPath(const std::string& topic);
// Opens the topic's page; a missing page does nothing. Topics never reach outside the help
// folder ("..", absolute paths).
void OpenHelpTopic(const std::string& topic);

// The address a report's URL cell stands for: HTML entities decoded; a site-relative path
// ("/a.html") is placed under "http://" + `siteDomain`. Empty when nothing sensible remains.
QUrl MakeRealAddress(const std::string& storedUrl, const std::string& siteDomain);
