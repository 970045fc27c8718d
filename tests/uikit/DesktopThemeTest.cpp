#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"
#include "uikit/DesktopTheme.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QThread>

#include <atomic>
#include <cmath>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// The share of a picture's visible pixels whose colour stands out from ground.
double shareStandingOut(const QImage& picture, const QColor& ground) {
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    int standing = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const QColor c = pixels.pixelColor(x, y);
            if (c.alpha() < 128) continue;
            ++visible;
            const double distance = std::hypot(c.red() - ground.red(), c.green() - ground.green(),
                                               c.blue() - ground.blue());
            if (distance > 90) ++standing;
        }
    }
    return visible == 0 ? 0.0 : double(standing) / visible;
}

// The desktop portal's settings, answering only the colour scheme, and as
// the portal does: a variant inside a variant.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
  public:
    std::atomic<unsigned> scheme{0};

  public Q_SLOTS:
    QDBusVariant Read(const QString& space, const QString& key) {
        if (space != "org.freedesktop.appearance" || key != "color-scheme") return {};
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme.load())));
    }
};

// A session bus of the test's own, and its connections, ended with it.
struct PrivateBus {
    QProcess daemon;
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus("reader");
        QDBusConnection::disconnectFromBus("portal");
        daemon.kill();
        daemon.waitForFinished();
    }
};

struct RunningThread {
    QThread thread;
    RunningThread() { thread.start(); }
    ~RunningThread() {
        thread.quit();
        thread.wait();
    }
};

}  // namespace

class DesktopThemeTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // An explicit GTK_THEME decides, then the portal, then GTK's settings.
    void darkIsAskedForByTheThemeThePortalOrTheSwitch() {
        constexpr auto none = PortalColourScheme::NoPreference;
        constexpr auto dark = PortalColourScheme::PreferDark;
        constexpr auto light = PortalColourScheme::PreferLight;
        const char* preferDark = "[Settings]\ngtk-application-prefer-dark-theme=1\n";
        const struct {
            const char* variable;
            PortalColourScheme portal;
            const char* settings;
            bool dark;
        } cases[] = {
            {"Adwaita:dark", light, "", true},
            {"Yaru-dark", none, "", true},
            {"Adwaita", dark, preferDark, false},
            {"", dark, "", true},
            {"", light, preferDark, false},
            {"", none, preferDark, true},
            {"", none, "[Settings]\ngtk-application-prefer-dark-theme = true\n", true},
            {"", none, "[Settings]\ngtk-application-prefer-dark-theme=0\n", false},
            {"", none, "[Settings]\ngtk-theme-name=Arc-Dark\n", true},
            {"", none, "[Settings]\ngtk-theme-name=Adwaita\ngtk-icon-theme-name=Dark-Icons\n",
             false},
            {"", none, "", false},
        };
        for (const auto& c : cases) {
            QVERIFY2(desktopAsksForDark(c.variable, c.portal, c.settings) == c.dark,
                     qPrintable(QString("%1 | %2 | %3")
                                    .arg(c.variable)
                                    .arg(unsigned(c.portal))
                                    .arg(c.settings)));
        }
    }

    // The portal's answer as it comes over a bus: a private one, with a
    // stand-in portal answering on a connection of its own.
    void portalIsReadOverTheBus() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed");
        PrivateBus bus;
        bus.daemon.start(daemon, {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.daemon.readLine()).trimmed();
        QDBusConnection reader = QDBusConnection::connectToBus(address, "reader");
        QVERIFY(reader.isConnected());
        // No portal on the bus yet.
        QCOMPARE(portalColourScheme(reader), PortalColourScheme::NoPreference);

        // The reader waits without an event loop: the portal answers from
        // a thread of its own.
        FakePortal portal;
        RunningThread thread;
        portal.moveToThread(&thread.thread);
        QDBusConnection service = QDBusConnection::connectToBus(address, "portal");
        QVERIFY(service.registerService("org.freedesktop.portal.Desktop"));
        QVERIFY(service.registerObject("/org/freedesktop/portal/desktop", &portal,
                                       QDBusConnection::ExportAllSlots));
        for (const auto scheme : {PortalColourScheme::PreferDark, PortalColourScheme::PreferLight,
                                  PortalColourScheme::NoPreference}) {
            portal.scheme = unsigned(scheme);
            QCOMPARE(portalColourScheme(reader), scheme);
        }
    }

    // Every toolbar picture shows on the light and the dark window colour.
    void toolbarPicturesShowOnBothGrounds() {
        const QColor grounds[] = {QPalette().color(QPalette::Window),
                                  darkPalette().color(QPalette::Window)};
        QStringList faint;
        for (int index = 0; index < artwork::kToolbarImageCount; ++index) {
            for (const QColor& ground : grounds) {
                const double share = shareStandingOut(artwork::toolbarImage(index, false), ground);
                if (share < 0.3)
                    faint << QString("%1 on %2: %3").arg(index).arg(ground.name()).arg(share);
            }
        }
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(", ")));
    }

    // Asked for dark while the platform gives light colours: Fusion, dark.
    void fusionStandsInForADarkDesktop() {
        TempDir config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.str()));
        qputenv("GTK_THEME", "Adwaita");
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        QVERIFY(!isDarkPalette(QApplication::palette()));
        QVERIFY(!followDesktopColours(*app));
        qputenv("GTK_THEME", "Adwaita:dark");
        QVERIFY(followDesktopColours(*app));
        QCOMPARE(QApplication::style()->name().toLower(), QString("fusion"));
        QVERIFY(isDarkPalette(QApplication::palette()));
        // Colours that are dark already are the desktop's own.
        QVERIFY(!followDesktopColours(*app));
        qunsetenv("GTK_THEME");
        qunsetenv("XDG_CONFIG_HOME");
    }
};

VARNETTO_QTEST_MAIN(DesktopThemeTest)
#include "DesktopThemeTest.moc"
