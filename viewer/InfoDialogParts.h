#pragma once

#include "viewer/DialogUnits.h"

#include <QString>

class QDialog;
class QLabel;
class QPushButton;

namespace varnetto {

// The pieces the about and help dialogs are made of, placed in dialog units.
namespace infodialog {

// The program's icon in the top-left corner.
void addIcon(QDialog* dialog, const DialogUnits& units, int left, int top);
// A static text; it grows to the right rather than cut its text.
QLabel* addText(QDialog* dialog, const DialogUnits& units, const char* text, int left, int top,
                int width, int height);
QPushButton* addOkButton(QDialog* dialog, const DialogUnits& units, int left, int top);

}  // namespace infodialog
}  // namespace varnetto
