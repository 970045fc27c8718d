#include "uikit/DesktopTheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleFactory>

namespace varnetto {

namespace {

bool namesDarkTheme(const QString& theme) {
    return theme.contains(QLatin1String("dark"), Qt::CaseInsensitive);
}

QString gtkSettingsText() {
    QFile file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/gtk-3.0/settings.ini"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Only a session bus that is there: with none, libdbus may try to start one.
bool sessionBusRuns() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

PortalColourScheme sessionPortalColourScheme() {
    if (!sessionBusRuns()) return PortalColourScheme::NoPreference;
    return portalColourScheme(QDBusConnection::sessionBus());
}

}  // namespace

PortalColourScheme portalColourScheme(const QDBusConnection& bus) {
    if (!bus.isConnected()) return PortalColourScheme::NoPreference;
    QDBusMessage read = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    read << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    const QDBusMessage reply = bus.call(read, QDBus::Block, kPortalAnswerMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return PortalColourScheme::NoPreference;
    // Read wraps the value in a variant inside a variant.
    QVariant value = reply.arguments().constFirst();
    for (int depth = 0; depth < 2 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    bool number = false;
    const uint scheme = value.toUInt(&number);
    if (!number) return PortalColourScheme::NoPreference;
    switch (scheme) {
        case uint(PortalColourScheme::PreferDark):
            return PortalColourScheme::PreferDark;
        case uint(PortalColourScheme::PreferLight):
            return PortalColourScheme::PreferLight;
        default:
            return PortalColourScheme::NoPreference;
    }
}

bool desktopAsksForDark(const QString& gtkThemeVariable, PortalColourScheme portal,
                        const QString& gtkSettingsText) {
    if (!gtkThemeVariable.isEmpty()) return namesDarkTheme(gtkThemeVariable);
    if (portal != PortalColourScheme::NoPreference) return portal == PortalColourScheme::PreferDark;
    static const QRegularExpression preferDark(
        QStringLiteral(R"(^\s*gtk-application-prefer-dark-theme\s*=\s*(1|true)\s*$)"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression themeName(QStringLiteral(R"(^\s*gtk-theme-name\s*=(.*)$)"),
                                              QRegularExpression::MultilineOption);
    if (preferDark.match(gtkSettingsText).hasMatch()) return true;
    const QRegularExpressionMatch name = themeName.match(gtkSettingsText);
    return name.hasMatch() && namesDarkTheme(name.captured(1));
}

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

QPalette darkPalette() {
    const QColor window(53, 53, 53);
    const QColor base(35, 35, 35);
    const QColor text(230, 230, 230);
    const QColor dimmed(128, 128, 128);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmed);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Light, QColor(80, 80, 80));
    palette.setColor(QPalette::Midlight, QColor(70, 70, 70));
    palette.setColor(QPalette::Mid, QColor(45, 45, 45));
    palette.setColor(QPalette::Dark, QColor(25, 25, 25));
    palette.setColor(QPalette::Shadow, QColor(10, 10, 10));
    palette.setColor(QPalette::Link, QColor(100, 160, 240));
    palette.setColor(QPalette::LinkVisited, QColor(170, 130, 230));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dimmed);
    return palette;
}

bool followDesktopColours(QApplication& application) {
    if (isDarkPalette(QApplication::palette())) return false;
    // The portal is asked only when the variable leaves the choice open.
    const QString variable = qEnvironmentVariable("GTK_THEME");
    const PortalColourScheme portal =
        variable.isEmpty() ? sessionPortalColourScheme() : PortalColourScheme::NoPreference;
    if (!desktopAsksForDark(variable, portal, gtkSettingsText())) return false;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }
    application.setPalette(darkPalette());
    return true;
}

}  // namespace varnetto
