#include "imaging/Thumbnails.h"

#include "imaging/ImagingDetail.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

namespace varnetto {

namespace {

// EXIF allows 64 KB for the thumbnail; a header claiming more pixels than
// this is no thumbnail and would only cost memory.
constexpr std::int64_t kMaxExifThumbnailPixels = 1024 * 1024;

// A JPEG file that starts as one and ends with the end-of-image marker. A
// file cut short, or carrying other data after the picture, goes the long
// way, where a full decode tells what is wrong with it.
bool completeJpegFile(int descriptor) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || info.st_size < 8) return false;
    unsigned char head[3];
    unsigned char tail[2];
    if (::pread(descriptor, head, 3, 0) != 3 || ::pread(descriptor, tail, 2, info.st_size - 2) != 2)
        return false;
    return head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && tail[0] == 0xFF &&
           tail[1] == 0xD9;
}

// Either side worked out from the other and the picture's shape is off by
// at most the pixel the thumbnail's maker rounded away.
bool sameShape(int thumbWidth, int thumbHeight, int width, int height) {
    const double expectedHeight = double(thumbWidth) * height / width;
    const double expectedWidth = double(thumbHeight) * width / height;
    return std::abs(thumbHeight - expectedHeight) <= 1.0 ||
           std::abs(thumbWidth - expectedWidth) <= 1.0;
}

}  // namespace

Bitmap scaledExactly(const Bitmap& image, int width, int height) {
    if (image.width() == width && image.height() == height) return image;
    return detail::guarded("缩放图像", [&] {
        return image.resize(double(width) / image.width(),
                            vips::VImage::option()->set("vscale", double(height) / image.height()));
    });
}

Bitmap thumbnailOfSize(const std::string& path, int width, int height, std::int64_t pixelLimit,
                       std::string* damage) {
    // Only a complete file stands in by its EXIF thumbnail: it has no damage
    // to report.
    if (auto quick = exifThumbnail(path, width, height, pixelLimit)) return *quick;
    return scaledExactly(CImageBox::Thumbnail(path, width, height, pixelLimit, damage), width,
                         height);
}

std::optional<Bitmap> exifThumbnail(const std::string& path, int width, int height,
                                    std::int64_t pixelLimit) {
    const RegularFile file(path);
    if (width < 1 || height < 1 || !file.opened() || !completeJpegFile(file.descriptor()))
        return std::nullopt;
    try {
        // Reads the header only: size, orientation and the EXIF block.
        const vips::VImage picture = vips::VImage::jpegload_source(
            vips::VSource::new_from_descriptor(file.descriptor()),
            vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        if (std::int64_t(picture.width()) * picture.height() > pixelLimit) return std::nullopt;
        const char* field = "jpeg-thumbnail-data";
        if (picture.get_typeof(field) != VIPS_TYPE_BLOB) return std::nullopt;
        size_t length = 0;
        const auto* data = static_cast<const unsigned char*>(picture.get_blob(field, &length));
        if (length < 4 || data[0] != 0xFF || data[1] != 0xD8) return std::nullopt;

        VipsBlob* blob = vips_blob_copy(data, length);
        vips::VImage thumb;
        try {
            thumb = vips::VImage::jpegload_buffer(
                blob, vips::VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        } catch (...) {
            vips_area_unref(VIPS_AREA(blob));
            throw;
        }
        vips_area_unref(VIPS_AREA(blob));
        if (std::int64_t(thumb.width()) * thumb.height() > kMaxExifThumbnailPixels) {
            return std::nullopt;
        }
        // The thumbnail is stored as the picture is, so the shapes are
        // compared before either is turned upright.
        if (!sameShape(thumb.width(), thumb.height(), picture.width(), picture.height())) {
            return std::nullopt;
        }
        const int orientation = detail::orientationOf(picture);
        const bool quarterTurn = orientation >= 5;
        const int uprightWidth = quarterTurn ? thumb.height() : thumb.width();
        const int uprightHeight = quarterTurn ? thumb.width() : thumb.height();
        if (uprightWidth < width || uprightHeight < height) return std::nullopt;

        // The picture's orientation governs, whatever the thumbnail says.
        vips::VImage turned = thumb.copy();
        turned.set(VIPS_META_ORIENTATION, orientation);
        turned = turned.autorot();
        return scaledExactly(detail::toRgb(turned), width, height).copy_memory();
    } catch (const vips::VError& error) {
        detail::takeVipsError(error);
        return std::nullopt;
    } catch (const ImagingError&) {
        return std::nullopt;
    }
}

}  // namespace varnetto
