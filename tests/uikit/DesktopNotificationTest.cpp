#include "uikit/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>
#include <QVariantMap>

using namespace varnetto;

namespace {

// A notification service of the test's own, on a private session bus: it
// keeps what each call sent.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    QStringList calls;  // "application|summary|body" of each call

  public Q_SLOTS:
    uint Notify(const QString& application, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        calls << application + "|" + summary + "|" + body;
        return static_cast<uint>(calls.size());
    }
};

}  // namespace

class DesktopNotificationTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed (scripts/install-deps adds it)");
        bus_.start(daemon, {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        QVERIFY(bus_.waitForStarted());
        QTRY_VERIFY(bus_.canReadLine());
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        QVERIFY(!address_.isEmpty());
        // Read by the session bus the program connects to, before its first use.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
    }

    void cleanupTestCase() {
        if (bus_.state() == QProcess::NotRunning) return;
        bus_.kill();
        bus_.waitForFinished();
    }

    // Without a notification service the call is dropped, and once the
    // service runs it gets the texts as given.
    void theServiceGetsTheTitleAndTheText() {
        notifyDesktop("批量处理完成", "无人接收");
        // The bus answers a connection's calls in order: once this returns,
        // the call above has found no one.
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
            "org.freedesktop.Notifications"));
        FakeNotifications service;
        QDBusConnection own = QDBusConnection::connectToBus(address_, "notifications");
        QVERIFY(own.registerObject("/org/freedesktop/Notifications", &service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(own.registerService("org.freedesktop.Notifications"));

        const QString summary = "批量处理完成";
        const QString body = "1000 个已处理，0 个已跳过，2 个失败，用时 1 分 5 秒";
        notifyDesktop(summary, body);
        QTRY_COMPARE(service.calls, QStringList{"Varnetto|" + summary + "|" + body});

        own.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus("notifications");
    }

  private:
    QProcess bus_;
    QString address_;
};

QTEST_MAIN(DesktopNotificationTest)
#include "DesktopNotificationTest.moc"
