#pragma once

#include "imaging/CImageBox.h"

#include <cstdint>
#include <optional>
#include <string>

namespace varnetto {

// image resampled to exactly width x height, the aspect ratio given up; image
// itself when it has that size already. Throws ImagingError.
Bitmap scaledExactly(const Bitmap& image, int width, int height);

// A thumbnail of path of exactly width x height: the embedded EXIF thumbnail
// where it can stand for the picture, otherwise shrink-on-load to fit, then a
// last resample to the size. Throws ImagingError naming the file. damage: as
// for CImageBox::Thumbnail.
Bitmap thumbnailOfSize(const std::string& path, int width, int height,
                       std::int64_t pixelLimit = kDefaultPixelLimit, std::string* damage = nullptr);

// The EXIF thumbnail of a JPEG, upright and resampled to exactly width x
// height, when it can stand for the whole picture: at least that large, of the
// picture's shape (one turned apart from the picture shows the other shape),
// the picture within pixelLimit and its data complete, so that damage is
// still found by a full decode. nullopt otherwise; never throws.
std::optional<Bitmap> exifThumbnail(const std::string& path, int width, int height,
                                    std::int64_t pixelLimit = kDefaultPixelLimit);

}  // namespace varnetto
