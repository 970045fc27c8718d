#include "uikit/FlatButtonStyle.h"

#include <QPushButton>

namespace varnetto {

namespace {

// Hover and press change only the background and focus only the border, so
// a focused button under the mouse shows both.
const char* const kFlatButtonStyle = R"(
QPushButton {
    border: 1px solid transparent;
    border-radius: 3px;
    padding: 1px 4px;
    background: transparent;
}
QPushButton:focus {
    border-color: palette(highlight);
}
QPushButton:hover {
    background: palette(midlight);
}
QPushButton:pressed {
    background: palette(mid);
    padding: 2px 3px 0px 5px;
}
)";

}  // namespace

void styleFlatButton(QPushButton* button) {
    button->setFlat(true);
    button->setStyleSheet(QString::fromLatin1(kFlatButtonStyle));
}

}  // namespace varnetto
