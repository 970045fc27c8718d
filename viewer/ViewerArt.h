#pragma once

#include <QIcon>
#include <QImage>

namespace varnetto::viewerart {

// The full-screen viewer's toolbar pictures, 25 x 25, drawn in code: first,
// previous, next, last, fit, drag, zoom in, zoom out and auto levels.
inline constexpr int kPictureCount = 9;
QImage toolbarPicture(int index, bool hot);
// Normal and hot forms together.
QIcon toolbarIcon(int index);

}  // namespace varnetto::viewerart
