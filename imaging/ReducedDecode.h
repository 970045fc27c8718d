#pragma once

#include "imaging/CImageBox.h"

#include <cstdint>
#include <string>

namespace varnetto {

// A picture decoded at a fraction of its size, for a preview.
struct ReducedPicture {
    Bitmap picture;
    int fullWidth = 0;  // the size a whole decode has, upright
    int fullHeight = 0;
    int reduction = 1;
};

// JPEG decoders reduce by up to eight while decoding.
inline constexpr int kLargestReduction = 8;

// The largest reduction (1, 2, 4 or 8) at which a decode of a fullWidth x
// fullHeight picture still covers minWidth x minHeight; 1 when both minimums
// are 0 (the whole picture is wanted).
int reductionFor(int fullWidth, int fullHeight, int minWidth, int minHeight);

// path decoded as CImageBox::LoadFromFile decodes it (upright, its colour
// type kept), at 1/reduction of its width and height (rounded up): a JPEG
// while it is decoded, other formats after. Throws ImagingError naming the
// file.
ReducedPicture decodeReduced(const std::string& path, int reduction,
                             std::int64_t pixelLimit = kDefaultPixelLimit);

}  // namespace varnetto
