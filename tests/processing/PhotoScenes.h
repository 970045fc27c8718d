#pragma once

#include "imaging/CImageBox.h"

#include <algorithm>

namespace varnetto::testing {

// Smooth random relief with features about cell pixels across, values
// around 0 with a spread of about 1.
inline Bitmap relief(int width, int height, int cell, int seed) {
    const Bitmap noise = Bitmap::gaussnoise(
        width / cell + 3, height / cell + 3,
        Bitmap::option()->set("mean", 0.0)->set("sigma", 1.0)->set("seed", seed));
    return noise.resize(cell, Bitmap::option()->set("kernel", VIPS_KERNEL_CUBIC))
        .crop(cell, cell, width, height);
}

// A landscape as a camera gives it: a sky with clouds over hills of
// foliage, with sensor grain. seed varies the layout and how busy the
// foliage is; the features scale with the picture, so that its sizes show
// the same scene.
inline Bitmap photoScene(int width, int height, int seed) {
    const Bitmap xyz = Bitmap::xyz(width, height);
    const Bitmap x = xyz[0] / double(width);
    const Bitmap y = xyz[1] / double(height);
    const int side = std::max(width, height);
    const double horizon = 0.4 + 0.08 * (seed % 4);
    const Bitmap ridge = (x * (3.0 + seed % 5) + seed).sin() * 0.06 + horizon +
                         relief(width, height, std::max(2, side / 12), seed) * 0.03;
    const Bitmap land = (y > ridge).ifthenelse(1.0, 0.0);
    const Bitmap heap = relief(width, height, std::max(2, side / 10), seed + 1) * 0.8 +
                        relief(width, height, std::max(2, side / 40), seed + 2) * 0.3 - 0.2;
    const Bitmap some = (heap > 0.0).ifthenelse(heap, 0.0);
    const Bitmap cloud = (some < 1.0).ifthenelse(some, 1.0);
    // Foliage: leaves a few pixels across at any size, busier for some seeds.
    const double busy = 12.0 + 10.0 * (seed % 3);
    const Bitmap leaves = relief(width, height, std::max(2, side / 300), seed + 3) * busy +
                          relief(width, height, std::max(2, side / 60), seed + 4) * 25.0;
    const Bitmap grain = Bitmap::gaussnoise(
        width, height, Bitmap::option()->set("mean", 0.0)->set("sigma", 2.0)->set("seed", seed));
    const Bitmap sky = 235.0 - y * 90.0;
    const Bitmap skyR = sky * 0.55 + cloud * 80.0;
    const Bitmap skyG = sky * 0.75 + cloud * 60.0;
    const Bitmap skyB = sky + cloud * 20.0;
    const Bitmap r = skyR * (1 - land) + (leaves + 60.0 + 15 * (seed % 4)) * land + grain;
    const Bitmap g = skyG * (1 - land) + (leaves + 100.0 + 8 * (seed % 5)) * land + grain;
    const Bitmap b = skyB * (1 - land) + (leaves * 0.5 + 45.0) * land + grain;
    return Bitmap::bandjoin({r, g, b})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(Bitmap::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

}  // namespace varnetto::testing
