#pragma once

#include "imaging/CImageBox.h"

#include <cstdint>
#include <string>

namespace varnetto {

// image resampled to exactly width x height, the aspect ratio given up; image
// itself when it has that size already. Throws ImagingError.
Bitmap scaledExactly(const Bitmap& image, int width, int height);

// A thumbnail of path of exactly width x height: shrink-on-load to fit, then
// a last resample to the size. Throws ImagingError naming the file. damage:
// as for CImageBox::Thumbnail.
Bitmap thumbnailOfSize(const std::string& path, int width, int height,
                       std::int64_t pixelLimit = kDefaultPixelLimit, std::string* damage = nullptr);

}  // namespace varnetto
