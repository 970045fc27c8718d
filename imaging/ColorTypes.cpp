// Colour types:
//   0 24-bit true colour (alpha kept when the picture has one)
//   1 256 colours: a palette chosen by libimagequant, dithered
//   2 256 grey levels
//   3 16 colours: as 1 with a 16-colour palette
//   4 16 grey levels (0, 17, 34 ... 255)
//   5 "8 位单色": monochrome without dithering: every pixel pure black or
//     white by a threshold at mid grey, stored as 8-bit grey
//   6 black and white, 1 bit, dithered
//   7 "无色": colourless: the colours are removed but the picture stays a
//     24-bit true-colour image (red, green and blue equal)
// A conversion to a type that can already hold the content (say 16 colours
// back to 24-bit) changes only the storage, so a reduction survives the way
// back to the starting type.

#include "imaging/ImagingDetail.h"

namespace varnetto::detail {

namespace {

bool contentFits(int current, int target) {
    switch (target) {
        case kTrueColor24:
            return true;
        case kNoColor:
        case kPalette256:
            return isGrayType(current) || current == kPalette16 || current == kNoColor;
        case kGray256:
            return isGrayType(current) || current == kNoColor;
        case kPalette16:
        case kGray16:
            return current == kGray16 || current == kMono8 || current == kBlackWhite;
        case kMono8:
        case kBlackWhite:
            return current == kMono8 || current == kBlackWhite;
        default:
            return false;
    }
}

// Same content, the storage of target.
Bitmap restore(const Bitmap& image, int target) {
    if (isGrayType(target)) return image.bands() <= 2 ? image : toGray(image);
    return toRgb(image);
}

Bitmap reduce(const Bitmap& image, int target) {
    switch (target) {
        case kPalette256:
            return quantize(image, 256);
        case kPalette16:
            return quantize(image, 16);
        case kGray256:
            return toGray(image);
        case kGray16:
            return ((toGray(image) / 17).round(VIPS_OPERATION_ROUND_RINT) * 17)
                .cast(VIPS_FORMAT_UCHAR)
                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
        case kMono8:
            return (toGray(image) >= 128)
                .cast(VIPS_FORMAT_UCHAR)
                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
        case kBlackWhite:
            return ditherBlackWhite(image);
        case kNoColor: {
            Bitmap gray = toGray(image);
            Bitmap rgb = toRgb(gray);
            return hasAlpha(image) ? rgb.bandjoin(toRgb(image).extract_band(3)) : rgb;
        }
        default:
            return toRgb(image);
    }
}

}  // namespace

Bitmap convertColorType(const Bitmap& image, int type) {
    // A stored type outside the table leaves the picture as it is.
    if (type < kTrueColor24 || type > kNoColor) return image;
    const int current = colorTypeOf(image);
    if (current == type) return image;
    if (contentFits(current, type)) return withColorType(restore(image, type), type);
    return withColorType(reduce(image, type), type);
}

}  // namespace varnetto::detail
