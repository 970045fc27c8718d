#pragma once

#include <QPalette>
#include <QString>

class QApplication;
class QDBusConnection;

namespace varnetto {

// What the desktop portal says of colours: "color-scheme" of
// org.freedesktop.appearance, as GNOME 42 and later publish the user's
// choice. A portal that does not answer says nothing either.
enum class PortalColourScheme : unsigned { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

// How long the start of the program waits for the portal at most.
inline constexpr int kPortalAnswerMilliseconds = 200;

// Asks the portal on bus for its colour scheme.
PortalColourScheme portalColourScheme(const QDBusConnection& bus);

// Whether the desktop asks programs for dark colours. An explicit GTK_THEME
// ("Adwaita:dark") decides, as it does for GTK programs; then the portal's
// preference; then the gtk-3.0 settings file (a dark theme name or the
// prefer-dark switch), which desktops without the portal leave.
bool desktopAsksForDark(const QString& gtkThemeVariable, PortalColourScheme portal,
                        const QString& gtkSettingsText);

// Dark when its window colour is darker than its text.
bool isDarkPalette(const QPalette& palette);

// A dark palette for the Fusion style.
QPalette darkPalette();

// The program takes the desktop's colours from Qt's platform theme. Where
// the desktop asks for dark and the platform theme gave light colours
// nevertheless (it cannot say), the Fusion style with a dark palette stands
// in. True when it did.
bool followDesktopColours(QApplication& application);

}  // namespace varnetto
