#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"
#include "uikit/DesktopTheme.h"

#include <QStyle>

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

}  // namespace

class DesktopThemeTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void darkIsAskedForByTheThemeOrTheSwitch() {
        const struct {
            const char* variable;
            const char* settings;
            bool dark;
        } cases[] = {
            {"Adwaita:dark", "", true},
            {"Yaru-dark", "", true},
            {"Adwaita", "", false},
            {"", "[Settings]\ngtk-application-prefer-dark-theme=1\n", true},
            {"", "[Settings]\ngtk-application-prefer-dark-theme = true\n", true},
            {"", "[Settings]\ngtk-application-prefer-dark-theme=0\n", false},
            {"", "[Settings]\ngtk-theme-name=Arc-Dark\n", true},
            {"", "[Settings]\ngtk-theme-name=Adwaita\ngtk-icon-theme-name=Dark-Icons\n", false},
            {"", "", false},
        };
        for (const auto& c : cases) {
            QVERIFY2(desktopAsksForDark(c.variable, c.settings) == c.dark,
                     qPrintable(QString("%1 | %2").arg(c.variable, c.settings)));
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
