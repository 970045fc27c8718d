#pragma once

#include <QPalette>
#include <QString>

class QApplication;

namespace varnetto {

// Whether the desktop asks programs for dark colours, from what GTK desktops
// leave for every program: the GTK_THEME variable ("Adwaita:dark") and the
// gtk-3.0 settings file (a dark theme name or the prefer-dark switch).
bool desktopAsksForDark(const QString& gtkThemeVariable, const QString& gtkSettingsText);

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
