#include "imaging/PictureCost.h"

#include "imaging/ImagingDetail.h"

namespace varnetto {

namespace {

// ImageMagick's pixel cache: four 16-bit channels a pixel.
constexpr std::uint64_t kMagickBytesPerPixel = 8;
// A progressive JPEG keeps a 16-bit coefficient for every sample.
constexpr std::uint64_t kCoefficientBytes = 2;
// LibRaw holds the 16-bit mosaic, its four 16-bit channels a pixel and the
// 16-bit RGB result together when the result is made.
constexpr std::uint64_t kRawDecoderBytesPerPixel = 2 + 8 + 6;

bool isProgressiveJpeg(const std::string& path, int& bands) {
    const detail::ErrorScope scope;
    try {
        const vips::VImage header = vips::VImage::jpegload(
            path.c_str(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        bands = header.bands();
        return header.get_typeof("interlaced") != 0 && header.get_int("interlaced") != 0;
    } catch (const vips::VError& error) {
        detail::takeVipsError(error);
        return false;
    }
}

}  // namespace

std::optional<PictureCost> pictureCost(const std::string& path) {
    detail::PictureHeader header;
    try {
        header = detail::readPictureHeader(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    PictureCost cost;
    cost.kind = header.kind;
    cost.width = static_cast<int>(header.width);
    cost.height = static_cast<int>(header.height);
    const auto pixels =
        static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height);
    std::uint64_t extra = 0;
    switch (header.kind) {
        case FileKind::Jpeg:
            cost.bands = 3;
            if (isProgressiveJpeg(path, cost.bands))
                extra = pixels * cost.bands * kCoefficientBytes;
            break;
        case FileKind::Bmp:
        case FileKind::Pcx:
        case FileKind::Psd:
        case FileKind::Wbmp:
            extra = pixels * kMagickBytesPerPixel;
            break;
        case FileKind::Gif:
        case FileKind::WebP:
            extra = pixels * 4;
            break;
        default:
            if (formatOf(header.kind).loader == Codec::LibRaw) {
                cost.bands = 3;
                extra = pixels * kRawDecoderBytesPerPixel;
            }
            break;
    }
    cost.decoderBytes = extra;
    // 16-bit pictures keep their two bytes a sample after decoding.
    cost.decodeBytes =
        pixels * static_cast<std::uint64_t>(cost.bands * header.bytesPerSample) + extra;
    return cost;
}

}  // namespace varnetto
