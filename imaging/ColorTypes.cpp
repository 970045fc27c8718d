// Colour types:
//   TrueColor24 24-bit true colour (alpha kept when the picture has one)
//   Palette256  a palette chosen by libimagequant, dithered
//   Gray256     256 grey levels
//   Palette16   as Palette256 with a 16-colour palette
//   Gray16      16 grey levels (0, 17, 34 ... 255)
//   Mono8       "8 位单色": monochrome without dithering: every pixel pure
//               black or white by a threshold at mid grey, stored as 8-bit
//               grey
//   BlackWhite  1 bit, dithered
//   NoColor     "无色": the colours are removed but the picture stays a
//               24-bit true-colour image (red, green and blue equal)
// A conversion to a type that can already hold the content (say 16 colours
// back to 24-bit) changes only the storage, so a reduction survives the way
// back to the starting type. Reductions are made in 8 bits (palettes, grey
// levels, thresholds and dithering are 8-bit): a 16-bit picture keeps its
// range only while its type stays or is widened.

#include "imaging/ImagingDetail.h"
#include "imaging/OutputFidelity.h"

namespace varnetto::detail {

namespace {

bool contentFits(ColorType current, ColorType target) {
    switch (target) {
        case ColorType::TrueColor24:
            return true;
        case ColorType::NoColor:
        case ColorType::Palette256:
            return isGrayType(current) || current == ColorType::Palette16 ||
                   current == ColorType::NoColor;
        case ColorType::Gray256:
            return isGrayType(current) || current == ColorType::NoColor;
        case ColorType::Palette16:
        case ColorType::Gray16:
            return current == ColorType::Gray16 || current == ColorType::Mono8 ||
                   current == ColorType::BlackWhite;
        case ColorType::Mono8:
        case ColorType::BlackWhite:
            return current == ColorType::Mono8 || current == ColorType::BlackWhite;
        default:
            return false;
    }
}

// Same content, the storage of target.
Bitmap restore(const Bitmap& image, ColorType target) {
    if (isGrayType(target)) return image.bands() <= 2 ? image : toGray(image);
    return toRgbAtDepth(image);
}

Bitmap reduce(const Bitmap& image, ColorType target) {
    switch (target) {
        case ColorType::Palette256:
            return quantize(image, 256);
        case ColorType::Palette16:
            return quantize(image, 16);
        case ColorType::Gray256:
            return toGray(image);
        case ColorType::Gray16:
            return ((toGray(image) / 17).round(VIPS_OPERATION_ROUND_RINT) * 17)
                .cast(VIPS_FORMAT_UCHAR)
                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
        case ColorType::Mono8:
            return (toGray(image) >= 128)
                .cast(VIPS_FORMAT_UCHAR)
                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
        case ColorType::BlackWhite:
            return ditherBlackWhite(image);
        case ColorType::NoColor: {
            Bitmap gray = toGray(image);
            Bitmap rgb = toRgb(gray);
            return hasAlpha(image) ? rgb.bandjoin(toRgb(image).extract_band(3)) : rgb;
        }
        default:
            return toRgb(image);
    }
}

}  // namespace

Bitmap convertColorType(const Bitmap& image, ColorType type) {
    // A stored type outside the table leaves the picture as it is.
    if (!isKnownColorType(type)) return image;
    const ColorType current = colorTypeOf(image);
    if (current == type) return image;
    if (contentFits(current, type)) return withColorType(restore(image, type), type);
    // Palettes and grey levels are chosen from what the screen shows, not
    // from the numbers of another colour space.
    return withColorType(reduce(inSrgb(image, false), type), type);
}

}  // namespace varnetto::detail
