#pragma once

#include <QIcon>

namespace varnetto::viewerart {

// The full-screen viewer's toolbar pictures, 25 x 25, drawn in code: first,
// previous, next, last, fit, drag, zoom in, zoom out and auto levels (index
// 0 to 8), the normal and hot forms together.
QIcon toolbarIcon(int index);

}  // namespace varnetto::viewerart
