#pragma once

#include <QStringList>

class QWidget;

namespace varnetto {

// Gives every control under root that has no accessible name yet the text
// of the label it belongs to (its buddy) or, for a picture button, its tool
// tip, so screen readers and GUI automation can find it.
void nameControlsForAssistiveTools(QWidget* root);

// Controls under root (by class and object name) that still have no
// accessible name.
QStringList controlsWithoutAccessibleName(const QWidget* root);

}  // namespace varnetto
