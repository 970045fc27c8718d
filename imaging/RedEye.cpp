// Red-eye removal. A red eye is a compact, roughly round patch of strongly
// saturated red: every red pixel is found first, then only the connected
// patches that are small, about as wide as high and fill a disc's share of
// their bounding box (not a square's) are treated. Other reds stay.

#include "imaging/ImagingDetail.h"

#include <algorithm>
#include <vector>

namespace varnetto::detail {

namespace {

using vips::VImage;

struct Patch {
    int area = 0;
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
    std::vector<int> pixels;
};

// Strongly saturated red: red bright enough and far above green and blue.
// The thresholds are 8-bit levels, scaled to the picture's range.
VImage saturatedRed(const VImage& rgb, double scale) {
    const VImage r = rgb[0];
    const VImage g = rgb[1];
    const VImage b = rgb[2];
    const VImage greenOrBlue = (g > b).ifthenelse(g, b);
    return (r >= 80 * scale) & ((r - greenOrBlue * 1.8) > 20 * scale);
}

// Collects the 8-connected patch at start and clears it from mask.
Patch takePatch(std::vector<unsigned char>& mask, int width, int height, int start) {
    Patch patch;
    patch.minX = patch.maxX = start % width;
    patch.minY = patch.maxY = start / width;
    std::vector<int> pending{start};
    mask[start] = 0;
    while (!pending.empty()) {
        const int at = pending.back();
        pending.pop_back();
        patch.pixels.push_back(at);
        const int x = at % width;
        const int y = at / width;
        patch.minX = std::min(patch.minX, x);
        patch.maxX = std::max(patch.maxX, x);
        patch.minY = std::min(patch.minY, y);
        patch.maxY = std::max(patch.maxY, y);
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
                const int next = ny * width + nx;
                if (mask[next]) {
                    mask[next] = 0;
                    pending.push_back(next);
                }
            }
        }
    }
    patch.area = static_cast<int>(patch.pixels.size());
    return patch;
}

bool looksLikeEye(const Patch& patch, int width, int height) {
    const int w = patch.maxX - patch.minX + 1;
    const int h = patch.maxY - patch.minY + 1;
    const int longest = std::max(w, h);
    const int shortest = std::min(w, h);
    const int largest = std::max(6, std::min(width, height) / 8);
    if (patch.area < 6 || longest > largest) return false;
    if (longest * 2 > shortest * 3) return false;
    // A disc fills about 79 % of its bounding box, a square all of it.
    const double fill = static_cast<double>(patch.area) / (static_cast<double>(w) * h);
    return fill >= 0.6 && fill <= 0.9;
}

}  // namespace

Bitmap removeRedEye(const Bitmap& image) {
    if (image.bands() < 3) return image;
    const int width = image.width();
    const int height = image.height();
    const VImage rgb = toRgbAtDepth(image).extract_band(0, VImage::option()->set("n", 3));
    const VImage redMask = saturatedRed(rgb, fullScaleOf(rgb) / 255.0).copy_memory();
    const auto* maskData = static_cast<const unsigned char*>(redMask.data());
    std::vector<unsigned char> mask(maskData, maskData + static_cast<std::size_t>(width) * height);

    std::vector<unsigned char> eyes(mask.size(), 0);
    bool found = false;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        if (!mask[i]) continue;
        const Patch patch = takePatch(mask, width, height, static_cast<int>(i));
        if (!looksLikeEye(patch, width, height)) continue;
        found = true;
        // One pixel more all round catches the softer rim of the pupil.
        for (const int at : patch.pixels) {
            const int x = at % width;
            const int y = at / width;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && y + dy >= 0 && x + dx < width && y + dy < height)
                        eyes[(y + dy) * width + (x + dx)] = 255;
        }
    }
    if (!found) return image;

    const VImage eyeMask = imageFromPixels(eyes.data(), width, height, 1, VIPS_INTERPRETATION_B_W);
    const VImage r = rgb[0];
    const VImage g = rgb[1];
    const VImage b = rgb[2];
    const VImage reddish = (r > g) & (r > b);
    const bool deep = isDeep(rgb);
    const VImage pupil = VImage::bandjoin(
        {((g.cast(deep ? VIPS_FORMAT_UINT : VIPS_FORMAT_USHORT) + b) / 2).cast(rgb.format()), g,
         b});
    VImage corrected = (eyeMask & reddish).ifthenelse(pupil, rgb);
    if (image.bands() == 4) corrected = corrected.bandjoin(toRgbAtDepth(image).extract_band(3));
    return corrected.copy(VImage::option()->set(
        "interpretation", deep ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB));
}

}  // namespace varnetto::detail
