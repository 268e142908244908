#include "desk/window/DeskServices.h"

#include <QDesktopServices>
#include <QFileInfo>

#include "desk/window/ReportText.h"
#include "store/format/Format.h"
#include "store/settings/SettingsFolder.h"

namespace {

url_opener_t& Opener() {
    static url_opener_t opener;
    return opener;
}

}  // namespace

url_opener_t SetUrlOpener(url_opener_t opener) {
    url_opener_t old = std::move(Opener());
    Opener() = std::move(opener);
    return old;
}

void OpenUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty()) return;
    if (Opener())
        Opener()(url);
    else
        QDesktopServices::openUrl(url);
}

QString HelpTopicPath(const std::string& topic) {
    const QString rel = FromLocalPath(topic);
    if (rel.isEmpty() || rel.startsWith('/') || rel.split('/').contains(QStringLiteral("..")))
        return {};
    const QString program = FromLocalPath(GetExecutableDirectory());
    if (program.isEmpty()) return {};
    for (const QString& base :
         {program + "/help/html/", program + "/../share/logvane/help/html/"}) {
        const QFileInfo page(base + rel);
        if (page.isFile()) return page.canonicalFilePath();
    }
    return {};
}

void OpenHelpTopic(const std::string& topic) {
    const QString path = HelpTopicPath(topic);
    if (!path.isEmpty()) OpenUrl(QUrl::fromLocalFile(path));
}

QUrl MakeRealAddress(const std::string& storedUrl, const std::string& siteDomain) {
    const QString text = FromReportBytes(CFormat::unhtmlescape(storedUrl.c_str())).trimmed();
    if (text.isEmpty()) return {};
    if (text.startsWith('/')) {
        if (siteDomain.empty()) return {};
        QString domain = FromReportBytes(siteDomain);
        while (domain.endsWith('/')) domain.chop(1);
        if (!domain.contains(QStringLiteral("://"))) domain.prepend(QStringLiteral("http://"));
        return QUrl(domain + text, QUrl::TolerantMode);
    }
    QUrl url(text, QUrl::TolerantMode);
    if (url.scheme().isEmpty()) url = QUrl(QStringLiteral("http://") + text, QUrl::TolerantMode);
    return url;
}
