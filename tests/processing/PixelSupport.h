#pragma once

#include "imaging/CImageBox.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace varnetto::testing {

using Rgb = std::array<int, 3>;

inline Bitmap solid(int width, int height, Rgb colour) {
    return Bitmap::black(width, height, Bitmap::option()->set("bands", 3))
        .new_from_image({double(colour[0]), double(colour[1]), double(colour[2])})
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// A piece whose first half (along its length) is one colour and second half
// another; where the halves meet tells whether it was stretched.
inline Bitmap twoTone(int width, int height, bool alongWidth, Rgb first, Rgb second) {
    if (alongWidth)
        return solid(width / 2, height, first)
            .join(solid(width - width / 2, height, second), VIPS_DIRECTION_HORIZONTAL);
    return solid(width, height / 2, first)
        .join(solid(width, height - height / 2, second), VIPS_DIRECTION_VERTICAL);
}

inline void writeBmp(const Bitmap& image, const std::string& path) {
    image.magicksave(path.c_str(), Bitmap::option()->set("format", "BMP"));
}

// Every pixel of the rectangle, shrunk by margin on each side to stay clear
// of resampling at edges, is within tolerance of colour.
inline ::testing::AssertionResult regionIs(const Bitmap& image, int x, int y, int width, int height,
                                           Rgb colour, int margin = 0, int tolerance = 2) {
    x += margin;
    y += margin;
    width -= 2 * margin;
    height -= 2 * margin;
    if (width <= 0 || height <= 0) return ::testing::AssertionFailure() << "empty region";
    if (x < 0 || y < 0 || x + width > image.width() || y + height > image.height())
        return ::testing::AssertionFailure()
               << "region " << x << "," << y << " " << width << "x" << height << " outside "
               << image.width() << "x" << image.height();
    const Bitmap region = image.crop(x, y, width, height);
    for (int band = 0; band < 3; ++band) {
        const Bitmap b = region.extract_band(band);
        const double lo = b.min();
        const double hi = b.max();
        if (lo < colour[band] - tolerance || hi > colour[band] + tolerance)
            return ::testing::AssertionFailure()
                   << "region " << x << "," << y << " " << width << "x" << height << " band "
                   << band << " spans " << lo << ".." << hi << ", expected " << colour[band];
    }
    return ::testing::AssertionSuccess();
}

inline bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bands() != b.bands()) return false;
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().max() == 0.0;
}

}  // namespace varnetto::testing
