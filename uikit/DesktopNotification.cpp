#include "uikit/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace varnetto {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kServerChoosesTimeout = -1;

}  // namespace

void notifyDesktop(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Varnetto") << 0u << QStringLiteral("org.varnetto.Varnetto") << summary
         << body << QStringList() << QVariantMap() << kServerChoosesTimeout;
    // No reply is awaited: a missing service must not hold up the window.
    call.setAutoStartService(false);
    bus.send(call);
}

}  // namespace varnetto
