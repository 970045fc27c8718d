#pragma once

// What a written picture keeps of its source beyond the pixels: resolution,
// colour profile and metadata.

#include "common/OutputChoices.h"
#include "imaging/CImageBox.h"

namespace varnetto {

// picture with source's resolution, or 72 dpi when source states none.
// Canvases made from nothing (borders, captions, blank pictures) claim
// libvips' own 1 pixel per millimetre, which would otherwise reach the file.
Bitmap withResolutionOf(const Bitmap& picture, const Bitmap& source);

// True when picture carries a colour profile whose colours are not sRGB's
// (Display P3, Adobe RGB, a CMYK profile...).
bool hasForeignProfile(const Bitmap& picture);

// picture in sRGB: converted through its profile (relative colorimetric,
// black-point compensation) when that is another. With tag, a picture
// without a profile is given libvips' sRGB one.
Bitmap inSrgb(const Bitmap& picture, bool tag);

// picture marked with what its file is to keep: the savers read the marks.
// An unmarked picture keeps its profile (where the format carries one) and
// all its metadata.
Bitmap withOutputChoices(const Bitmap& picture, ColorHandling color, MetadataHandling metadata);

}  // namespace varnetto
