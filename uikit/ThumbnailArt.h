#pragma once

#include <QImage>

namespace varnetto {

// Pictures the image list composes its cells from. Made once on the UI
// thread; QImage copies are shared read-only, so workers may use them.
struct ThumbnailArt {
    QImage frame;          // 160 x 120
    QImage lockMark;       // 43 x 40, drawn into the cell's corner
    QImage brokenPicture;  // 160 x 120 cell for files that cannot be decoded
    QImage damageMark;     // 30 x 27, drawn into the cell of a damaged picture
};

}  // namespace varnetto
