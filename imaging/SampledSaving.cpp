#include "imaging/SampledSaving.h"

#include "imaging/ImagingDetail.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace varnetto {

namespace {

// Bands start and end on whole JPEG blocks, WebP macroblocks and AV1
// superblocks, so that a join costs no bytes the picture would not.
constexpr int kBandRows = 64;
constexpr int kMostBands = 8;
// A corner this big carries the fixed part of a file and next to no pixels.
constexpr int kCornerSide = 16;

detail::EncoderSettings settingsOf(const CImageBox& control) {
    return {control.JpegQuality(), control.TiffCompression(), control.FileSizeLimit()};
}

}  // namespace

SampledSave MeasureSampledSave(const CImageBox& control, const std::string& extension,
                               std::int64_t maxPixels) {
    const Bitmap picture = control.GetBitmap();
    const int width = picture.width();
    const int height = picture.height();
    const std::int64_t rowsWanted = maxPixels / std::max(width, 1) / kBandRows * kBandRows;
    if (static_cast<std::int64_t>(width) * height <= maxPixels || rowsWanted >= height ||
        height < 2 * kBandRows)
        return {control.MeasureSave(extension), 1.0};

    const int bands =
        static_cast<int>(std::clamp<std::int64_t>(rowsWanted / kBandRows, 1, kMostBands));
    const int bandHeight =
        std::max(kBandRows, static_cast<int>(rowsWanted / bands / kBandRows * kBandRows));
    const double share = static_cast<double>(bands) * bandHeight / height;
    const detail::EncoderSettings settings = settingsOf(control);
    const SaveReport fixed = detail::measureEncoding(
        detail::guarded("测量文件大小",
                        [&] {
                            return picture.extract_area(0, 0, std::min(width, kCornerSide),
                                                        std::min(height, kCornerSide));
                        }),
        extension, {settings.jpegQuality, settings.tiffCompression, 0});
    const Bitmap sample = detail::guarded("测量文件大小", [&] {
        std::vector<Bitmap> pieces;
        for (int i = 0; i < bands; ++i) {
            const int centre = static_cast<int>((2LL * i + 1) * height / (2 * bands));
            const int top = std::clamp((centre - bandHeight / 2) / kBandRows * kBandRows, 0,
                                       height - bandHeight);
            pieces.push_back(picture.extract_area(0, top, width, bandHeight));
        }
        return Bitmap::arrayjoin(pieces, vips::VImage::option()->set("across", 1));
    });
    detail::EncoderSettings sampled = settings;
    if (settings.sizeLimit > 0)
        sampled.sizeLimit =
            fixed.bytes +
            static_cast<std::int64_t>(std::llround((settings.sizeLimit - fixed.bytes) * share));
    SampledSave out{detail::measureEncoding(sample, extension, sampled), share};
    out.report.bytes = fixed.bytes + static_cast<std::int64_t>(
                                         std::llround((out.report.bytes - fixed.bytes) / share));
    return out;
}

}  // namespace varnetto
