#include "viewer/LinkOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace varnetto {

DesktopLinkOpener::DesktopLinkOpener()
    : platform_{[](const QUrl& url) { return QDesktopServices::openUrl(url); },
                [](const QString& name) { return QStandardPaths::findExecutable(name); },
                [](const QString& program, const QStringList& arguments) {
                    return QProcess::startDetached(program, arguments);
                }} {}

int DesktopLinkOpener::open(const QString& target) {
    const QUrl url(target, QUrl::TolerantMode);
    if (url.isValid() && !target.isEmpty() && platform_.openUrl(url)) return kLinkOpened;
    // Without a fallback the desktop's answer stands: nothing opens it.
    const QString program = platform_.findProgram(QStringLiteral("xdg-open"));
    if (program.isEmpty()) return kLinkNoAssociation;
    return platform_.start(program, {target}) ? kLinkOpened : kLinkFileNotFound;
}

}  // namespace varnetto
