#pragma once

#include "imaging/CImageBox.h"

#include <QImage>

namespace varnetto {

// An 8-bit sRGB QImage of image (alpha kept) for the screen. The QImage owns
// the pixels libvips rendered: nothing is copied and nothing freed by hand.
// Throws ImagingError.
QImage toQImage(const Bitmap& image);

}  // namespace varnetto
