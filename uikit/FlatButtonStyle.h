#pragma once

class QPushButton;

namespace varnetto {

// A flat push button that still shows it is one: a light panel under the
// mouse, a sunken darker one while pressed, and a highlight-coloured border
// while it has the keyboard focus. The colours follow the palette.
void styleFlatButton(QPushButton* button);

}  // namespace varnetto
