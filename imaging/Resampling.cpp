#include "imaging/ImagingDetail.h"

namespace varnetto::detail {

namespace {

// The libvips kernel that stands for each filter:
//   Bilinear -> linear
//   Hermite  -> cubic (Catmull-Rom: the interpolating cubic nearest to
//               Hermite's, which libvips lacks)
//   Bell     -> linear (both short, never negative, free of ringing)
//   Spline   -> mitchell (the smoothest cubic libvips has; a B-spline would
//               blur more)
//   Lanczos  -> lanczos3
//   Mitchell -> mitchell
// A stored value outside the list behaves as Bilinear.
VipsKernel kernelFor(ResampleFilter filter) {
    switch (filter) {
        case ResampleFilter::Hermite:
            return VIPS_KERNEL_CUBIC;
        case ResampleFilter::Spline:
        case ResampleFilter::Mitchell:
            return VIPS_KERNEL_MITCHELL;
        case ResampleFilter::Lanczos:
            return VIPS_KERNEL_LANCZOS3;
        default:
            return VIPS_KERNEL_LINEAR;
    }
}

}  // namespace

Bitmap resampleTo(const Bitmap& image, int width, int height, bool resample,
                  ResampleFilter filter) {
    if (width == image.width() && height == image.height()) return image;
    const double xScale = static_cast<double>(width) / image.width();
    const double yScale = static_cast<double>(height) / image.height();
    const VipsKernel kernel = resample ? kernelFor(filter) : VIPS_KERNEL_NEAREST;
    auto options = vips::VImage::option()->set("vscale", yScale)->set("kernel", kernel);
    // One exact kernel pass: the default integer pre-shrink re-reads an
    // in-memory source many times and is far slower on large pictures. The
    // kernel alone cannot reduce by huge factors, so those keep the pre-shrink.
    constexpr double kLargestSinglePassReduction = 64.0;
    if (xScale * kLargestSinglePassReduction >= 1.0 && yScale * kLargestSinglePassReduction >= 1.0)
        options->set("gap", 0.0);
    // Colours under transparent pixels must not bleed into visible ones.
    const bool alpha = hasAlpha(image) && resample;
    const Bitmap source = alpha ? image.premultiply() : image;
    Bitmap out = source.resize(xScale, options);
    if (alpha) out = out.unpremultiply();
    if (out.format() != image.format()) out = out.cast(image.format());
    // Rounding inside resize can miss the size by a pixel.
    if (out.width() != width || out.height() != height) {
        out =
            out.embed(0, 0, width, height, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
    return out;
}

}  // namespace varnetto::detail
