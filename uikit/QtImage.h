#pragma once

#include <QImage>
#include <vips/vips8>

namespace varnetto {

// An 8-bit sRGB copy of image (3 or 4 bands kept) as a QImage.
QImage toQImage(const vips::VImage& image);

}  // namespace varnetto
